// Tables of cases kept as text under tests/data: a case begins with a line "== what it is
// about", followed by lines "field: value" (a field may come more than once). A value is
// taken as written, with \n, \r, \t, \\ and \xHH standing for bytes a text file would not
// show or keep (a blank at the end of a line is written \x20). Lines beginning with '#' are
// notes.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace lumora::testing {

struct Case {
    std::string name;
    std::multimap<std::string, std::string> fields;

    bool Has(const std::string& field) const { return fields.count(field) != 0; }
    std::string Get(const std::string& field, const std::string& otherwise = "") const {
        const auto at = fields.find(field);
        return at == fields.end() ? otherwise : at->second;
    }
    std::vector<std::string> All(const std::string& field) const {
        std::vector<std::string> values;
        for (auto [at, end] = fields.equal_range(field); at != end; ++at)
            values.push_back(at->second);
        return values;
    }
};

inline std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (const char c = text[++i]; c == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

inline std::vector<Case> ReadCases(const std::string& file) {
    std::ifstream in(std::string(LUMORA_SOURCE_DIR) + "/tests/data/" + file, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << file;
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("== ", 0) == 0) {
            cases.push_back({line.substr(3), {}});
        } else if (!line.empty() && line[0] != '#') {
            const std::size_t colon = line.find(':');
            if (cases.empty() || colon == std::string::npos) {
                ADD_FAILURE() << file << ": no case or field in \"" << line << "\"";
                continue;
            }
            const std::size_t value = line.compare(colon, 2, ": ") == 0 ? colon + 2 : colon + 1;
            cases.back().fields.emplace(line.substr(0, colon), Unescape(line.substr(value)));
        }
    }
    EXPECT_FALSE(cases.empty()) << file;
    return cases;
}

}  // namespace lumora::testing
