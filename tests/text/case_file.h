// Tables of cases kept as plain text under tests/data/: one case per block of
// "field: value" lines, blocks separated by blank lines, lines starting with '#' left out.
// Values take the escapes \n \r \t \\ and \xNN, so that line ends, control characters and
// stray bytes stay visible (and \x20 a blank that starts a value); everything else is UTF-8
// as written.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace lumora::testing {

struct Case {
    std::string where;  // "file:line", for the messages of failing checks
    std::map<std::string, std::string> fields;

    bool Has(const std::string& name) const { return fields.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& otherwise = "") const {
        return Has(name) ? fields.at(name) : otherwise;
    }
};

inline std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
        } else if (s[++i] == 'x') {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i] == 'n' ? '\n' : s[i] == 'r' ? '\r' : s[i] == 't' ? '\t' : s[i];
        }
    }
    return out;
}

inline std::vector<Case> ReadCases(const std::string& name) {
    std::ifstream in(std::string(LUMORA_SOURCE_DIR) + "/tests/data/" + name);
    std::vector<Case> cases;
    bool inBlock = false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#') {
            inBlock = inBlock && !line.empty();
            continue;
        }
        if (!inBlock)
            cases.push_back({name + ":" + std::to_string(number), {}});
        inBlock = true;
        const std::size_t colon = line.find(':');
        const std::size_t value = line.find_first_not_of(' ', colon + 1);
        cases.back().fields[line.substr(0, colon)] =
            Unescape(value == std::string::npos ? "" : line.substr(value));
    }
    EXPECT_FALSE(cases.empty()) << "no cases in " << name;
    return cases;
}

}  // namespace lumora::testing
