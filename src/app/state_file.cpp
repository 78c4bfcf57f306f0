#include "app/state_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "text/encoding.h"

namespace lumora::app {

namespace {

constexpr int kStateLines = 20;

Text Quoted(const Text& text) {
    return "\"" + text + "\"";
}

// One value per line. A quoted value is the text between the first and the last quote of
// the line, so a text holding quotes itself comes back as it was typed.
Text Unquote(TextView line) {
    line = TrimBlanks(line);
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
        return Text(line.substr(1, line.size() - 2));
    }
    return Text(line);
}

std::optional<int> ParseIndex(const Text& value, int count) {
    if (value.empty() || value.size() > 9)
        return std::nullopt;
    int n = 0;
    for (Char c : value) {
        if (!IsDigit(c))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n >= count)
        return std::nullopt;
    return n;
}

std::vector<TextView> SplitLines(TextView content) {
    std::vector<TextView> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find_first_of("\r\n", start);
        if (end == TextView::npos)
            end = content.size();
        lines.push_back(content.substr(start, end - start));
        if (end < content.size() && content[end] == '\r' && end + 1 < content.size() &&
            content[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace

Text FolderPath(const Text& fileName, const Text& folderName) {
    namespace fs = std::filesystem;
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = fs::path(home) / ".config";
    } else {
        std::error_code error;
        base = fs::temp_directory_path(error);
    }
    const fs::path folder = base / folderName;
    std::error_code error;
    fs::create_directories(folder, error);
    return (folder / fileName).string();
}

Text FormatState(const Options& o) {
    Text text;
    auto line = [&text](const Text& value) { text += value + "\r\n"; };
    auto number = [&line](int value) { line(std::to_string(value)); };
    line(Quoted(o.inputFile));
    line(Quoted(o.beginMetaTagWith));
    line(Quoted(o.wordsToIgnore));
    line(Quoted(o.maxKeywords));
    line(Quoted(o.maxBytes));
    number(o.shortWordSizeIndex);
    number(o.thresholdIndex);
    number(o.tableWeightIndex);
    number(o.existingKeywordsWeightIndex);
    number(o.boldWeightIndex);
    number(o.ignoreShortWords ? 1 : 0);
    number(o.ignoreCommonWords ? 1 : 0);
    number(o.preserveCase ? 1 : 0);
    number(o.spaceAfterComma ? 1 : 0);
    number(o.titleWeightIndex);
    number(o.descriptionWeightIndex);
    number(o.italicWeightIndex);
    number(o.divWeightIndex);
    number(o.spanWeightIndex);
    number(o.languageIndex);
    return text;
}

std::optional<Options> ParseState(TextView bytes) {
    // Written in UTF-8; a file of the earlier single-byte format still loads.
    const Text content = text::ReadStoredText(bytes);
    const std::vector<TextView> lines = SplitLines(content);
    if (lines.size() < kStateLines)
        return std::nullopt;
    std::vector<Text> v;
    for (int i = 0; i < kStateLines; ++i) v.push_back(Unquote(lines[static_cast<std::size_t>(i)]));

    Options o;
    o.inputFile = v[0];
    o.beginMetaTagWith = v[1];
    o.wordsToIgnore = v[2];
    o.maxKeywords = v[3];
    o.maxBytes = v[4];
    struct IndexField {
        int line;
        int count;
        int* field;
    };
    const IndexField indices[] = {
        {5, 9, &o.shortWordSizeIndex},       {6, 9, &o.thresholdIndex},
        {7, 10, &o.tableWeightIndex},        {8, 10, &o.existingKeywordsWeightIndex},
        {9, 10, &o.boldWeightIndex},         {14, 10, &o.titleWeightIndex},
        {15, 10, &o.descriptionWeightIndex}, {16, 10, &o.italicWeightIndex},
        {17, 10, &o.divWeightIndex},         {18, 10, &o.spanWeightIndex},
        {19, 7, &o.languageIndex},
    };
    for (const auto& f : indices) {
        const auto value = ParseIndex(v[static_cast<std::size_t>(f.line)], f.count);
        if (!value)
            return std::nullopt;
        *f.field = *value;
    }
    bool* checks[] = {&o.ignoreShortWords, &o.ignoreCommonWords, &o.preserveCase,
                      &o.spaceAfterComma};
    for (int i = 0; i < 4; ++i) {
        const auto value = ParseIndex(v[static_cast<std::size_t>(10 + i)], 2);
        if (!value)
            return std::nullopt;
        *checks[i] = *value == 1;
    }
    return o;
}

}  // namespace lumora::app
