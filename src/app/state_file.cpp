#include "app/state_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "files/page_file.h"
#include "output/meta_tag.h"
#include "text/encoding.h"

namespace lumora::app {

namespace {

// Files of the earlier format end after the language; the encoding line came later, and the
// word rules after it (files without that line keep the classic rules).
constexpr int kStateLines = 20;
constexpr std::size_t kEncodingLine = 20;
constexpr std::size_t kRulesLine = 21;

Text Quoted(const Text& text) {
    Text line = "\"" + text + "\"";
    for (Char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return line;
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

// A plain decimal integer from `low` to `high`: digits only, no sign, no blanks inside.
std::optional<int> ParseNumber(const Text& value, int low, int high) {
    if (value.empty() || value.size() > 9)
        return std::nullopt;
    int n = 0;
    for (Char c : value) {
        if (!IsDigit(c))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

// A limit box's text: empty (no limit) or a decimal integer in the box's range.
Text ParseLimit(const Text& value, int low, int high, int fallback) {
    if (value.empty() || ParseNumber(value, low, high))
        return value;
    return std::to_string(fallback);
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

// The system's folder for temporary files: $TMPDIR (or $TMP, $TEMP, $TEMPDIR), else /tmp;
// empty when that is no folder.
Text TemporaryFolder(files::FileSystem& fs) {
    Text folder = "/tmp";
    for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
        if (const char* value = ::secure_getenv(name); value != nullptr) {
            folder = value;
            break;
        }
    }
    files::FileInfo info;
    if (!fs.Stat(folder, info).empty() || info.kind != files::FileInfo::Kind::kDirectory)
        return {};
    return folder;
}

// Lines of a state file hold no control character but a tab; a binary file, or one in
// UTF-16, has them all over.
bool IsStateLine(TextView line) {
    return std::none_of(line.begin(), line.end(),
                        [](Char c) { return (Code(c) < 0x20 && c != '\t') || c == 0x7F; });
}

}  // namespace

Text FolderPath(const Text& fileName, const Text& folderName, files::FileSystem& fs) {
    using Path = std::filesystem::path;  // joining names only; the disk is asked through fs
    Path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = Path(home) / ".config";
    } else {
        base = TemporaryFolder(fs);
    }
    const Path folder = base / folderName;
    // A folder that cannot be made shows when the file is saved, naming it.
    files::MakeFolders(fs, folder.string());
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
    number(o.minFrequencyIndex);
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
    line(Quoted(EncodingOverrideOf(o.encodingIndex)));
    line(o.wordRulesIndex == 1 ? "today" : "classic");
    return text;
}

std::optional<Error> SaveStateFile(const Text& path, const Options& options,
                                   files::FileSystem& fs) {
    files::FileInfo like;
    if (Text error = fs.Stat(path, like); !error.empty())
        return Error{Error::Code::kStateNotSaved, path, 0, std::move(error)};
    if (like.kind == files::FileInfo::Kind::kMissing) {
        like.owner = ::geteuid();
        like.group = ::getegid();
        like.mode = 0600;  // the user's own settings, recent page names included
    }
    auto error = files::ReplaceFile(fs, path, FormatState(options), like, path);
    if (error) {
        // Replacing fails in one of two ways: the old file stays, or the new one is in its
        // place but may not survive a crash.
        error->code = error->code == Error::Code::kNotDurable ? Error::Code::kStateNotDurable
                                                              : Error::Code::kStateNotSaved;
    }
    return error;
}

std::optional<Options> ParseState(TextView bytes) {
    // Written in UTF-8; a file of the earlier single-byte format still loads.
    const Text content = text::ReadStoredText(bytes);
    std::vector<TextView> lines = SplitLines(content);
    while (lines.size() > kStateLines && lines.back().empty()) lines.pop_back();
    if (lines.size() < kStateLines || lines.size() > kRulesLine + 1)
        return std::nullopt;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsStateLine(lines[i]))
            return std::nullopt;
    }
    std::vector<Text> v;
    for (int i = 0; i < kStateLines; ++i) v.push_back(Unquote(lines[static_cast<std::size_t>(i)]));

    Options o;  // every field starts at its default
    o.inputFile = v[0];
    o.beginMetaTagWith = v[1];
    o.wordsToIgnore = v[2];
    o.maxKeywords =
        ParseLimit(v[3], output::kMinKeywords, output::kMaxKeywords, output::kDefaultMaxKeywords);
    o.maxBytes = ParseLimit(v[4], 0, output::kMaxBytes, output::kDefaultMaxBytes);
    struct IndexField {
        int line;
        int count;  // the list's length: indices 0 to count - 1
        int* field;
    };
    const IndexField indices[] = {
        {5, 9, &o.shortWordSizeIndex},       {6, 9, &o.minFrequencyIndex},
        {7, 10, &o.tableWeightIndex},        {8, 10, &o.existingKeywordsWeightIndex},
        {9, 10, &o.boldWeightIndex},         {14, 10, &o.titleWeightIndex},
        {15, 10, &o.descriptionWeightIndex}, {16, 10, &o.italicWeightIndex},
        {17, 10, &o.divWeightIndex},         {18, 10, &o.spanWeightIndex},
        {19, 7, &o.languageIndex},
    };
    for (const auto& f : indices) {
        if (const auto value = ParseNumber(v[static_cast<std::size_t>(f.line)], 0, f.count - 1))
            *f.field = *value;
    }
    bool* checks[] = {&o.ignoreShortWords, &o.ignoreCommonWords, &o.preserveCase,
                      &o.spaceAfterComma};
    for (int i = 0; i < 4; ++i) {
        if (const auto value = ParseNumber(v[static_cast<std::size_t>(10 + i)], 0, 1))
            *checks[i] = *value == 1;
    }
    if (lines.size() > kEncodingLine)
        o.encodingIndex = EncodingIndexOf(Unquote(lines[kEncodingLine]));
    if (lines.size() > kRulesLine)
        o.wordRulesIndex = Unquote(lines[kRulesLine]) == "today" ? 1 : 0;
    return o;
}

LoadedState LoadStateFile(const Text& path, files::FileSystem& fs) {
    const auto unreadable = [&path](Text why) {
        return LoadedState{std::nullopt,
                           Error{Error::Code::kStateUnreadable, path, 0, std::move(why)}};
    };
    files::FileInfo info;
    if (Text error = fs.Stat(path, info); !error.empty())
        return unreadable(std::move(error));
    if (info.kind == files::FileInfo::Kind::kMissing)
        return {};
    if (info.kind != files::FileInfo::Kind::kRegular)
        return unreadable("It is not a regular file.");
    if (info.size > kMostStateBytes)
        return unreadable("It is larger than any settings file.");
    Text content;
    // Opened without blocking and checked again once open: what stands there now is read.
    if (Text error = fs.ReadAll(path, content); !error.empty())
        return unreadable(std::move(error));
    if (content.size() > kMostStateBytes)
        return unreadable("It is larger than any settings file.");
    std::optional<Options> options = ParseState(content);
    if (!options)
        return unreadable("It is not in the format of a settings file.");
    return {std::move(options), std::nullopt};
}

}  // namespace lumora::app
