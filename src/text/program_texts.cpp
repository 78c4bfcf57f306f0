#include "text/program_texts.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "text/encoding.h"

namespace lumora::text {

namespace {

constexpr std::int32_t kNothingRead = 0;
constexpr std::int32_t kCannotOpen = -1;
constexpr std::int32_t kTooManyLanguages = -3;
constexpr std::int32_t kEmptyFile = -6;
constexpr std::int32_t kReadError = -7;
constexpr std::int32_t kNeededTextMissing = -10;
constexpr std::int32_t kControlCharacter = -11;
constexpr std::int32_t kMissingBase = 500;
constexpr std::int32_t kTooLongBase = 1000;
constexpr std::int32_t kDuplicateBase = 1500;

// Text numbers stay well inside this so that a long run of digits cannot overflow.
constexpr long kLargestTextNumber = 999999999;

constexpr TextView kLanguageHeader = "@language";
constexpr TextView kByteOrderMark = "\xEF\xBB\xBF";

// The error code for line `line`, kept inside the 32-bit range.
std::int32_t LineError(std::int32_t base, std::int64_t line) {
    const std::int64_t code = -(base + line);
    return code < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(code);
}

bool StartsWith(TextView text, TextView prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "@language" alone or followed by a blank and a name; "@languages" is not a header.
bool IsLanguageHeader(TextView line) {
    if (!StartsWith(line, kLanguageHeader))
        return false;
    return line.size() == kLanguageHeader.size() || line[kLanguageHeader.size()] == ' ' ||
           line[kLanguageHeader.size()] == '\t';
}

// Reads "<number>=" at the start of the line; returns the number (0 when the line has
// no such start) and sets `textStart` just past the "=".
long ReadTextNumber(TextView line, std::size_t& textStart) {
    long number = 0;
    std::size_t i = 0;
    while (i < line.size() && IsDigit(line[i])) {
        number = number * 10 + (line[i] - '0');
        if (number > kLargestTextNumber)
            return 0;
        ++i;
    }
    if (i == 0 || i >= line.size() || line[i] != '=')
        return 0;
    textStart = i + 1;
    return number;
}

}  // namespace

std::int32_t ProgramTexts::Fail(std::int32_t result, std::int64_t line) {
    languages_.clear();
    lastResult_ = result;
    problemLine_ = line;
    return result;
}

std::int32_t ProgramTexts::Load(const Text& path, files::FileSystem& fs) {
    languages_.clear();
    // Only a regular file is opened: opening a FIFO or a device could block.
    files::FileInfo info;
    if (!fs.Stat(path, info).empty() || info.kind != files::FileInfo::Kind::kRegular)
        return Fail(kCannotOpen, 0);
    Text content;
    if (const Text error = fs.ReadAll(path, content); !error.empty()) {
        // What refuses the opening of a file just seen (no permission, the file gone or
        // replaced meanwhile) cannot open it; anything else failed while reading.
        const bool refused = error == std::strerror(EACCES) || error == std::strerror(EPERM) ||
                             error == std::strerror(ENOENT) || error == "not a regular file";
        return Fail(refused ? kCannotOpen : kReadError, 0);
    }
    const std::int32_t count = LoadFromContent(content);
    if (count <= 0)
        return count;
    // A file cut short at the end of a line parses cleanly; what it lost shows here.
    for (const int n : tx::kNeeded) {
        if (Get(n).empty()) {
            const std::int64_t lines =
                static_cast<std::int64_t>(std::count(content.begin(), content.end(), '\n')) +
                (content.back() == '\n' ? 0 : 1);
            problemDetail_ = n;
            return Fail(kNeededTextMissing, lines);
        }
    }
    return count;
}

std::int32_t ProgramTexts::LoadFromContent(TextView bytes) {
    languages_.clear();
    lastResult_ = 0;
    problemLine_ = 0;
    problemDetail_ = 0;
    if (bytes.empty())
        return Fail(kEmptyFile, 0);
    if (StartsWith(bytes, kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    // The texts are held in UTF-8; a file of the earlier single-byte format still loads.
    const Text decoded = ReadStoredText(bytes);
    const TextView content = decoded;

    std::vector<std::map<int, Text>> languages;
    std::int32_t count = 0;
    std::int64_t lineNumber = 0;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == TextView::npos)
            end = content.size();
        TextView line = content.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // Text is never made of control characters: one means the file is damaged (or is
        // not this file at all).
        for (const Char c : line) {
            if (Code(c) < 32 && c != '\t') {
                problemDetail_ = static_cast<int>(Code(c));
                return Fail(kControlCharacter, lineNumber);
            }
        }

        if (line.empty() || line.front() == '#')
            continue;
        if (IsLanguageHeader(line)) {
            languages.emplace_back();
            if (languages.size() > static_cast<std::size_t>(kMaxTextLanguages)) {
                return Fail(kTooManyLanguages, lineNumber);
            }
            continue;
        }
        std::size_t textStart = 0;
        const long number = ReadTextNumber(line, textStart);
        const TextView textPart = number > 0 ? line.substr(textStart) : TextView();
        if (textPart.empty())
            return Fail(LineError(kMissingBase, lineNumber), lineNumber);
        if (textPart.size() > kMaxProgramTextLength)
            return Fail(LineError(kTooLongBase, lineNumber), lineNumber);
        if (languages.empty())
            languages.emplace_back();  // texts before any header form the first language
        if (!languages.back().emplace(static_cast<int>(number), Text(textPart)).second) {
            return Fail(LineError(kDuplicateBase, lineNumber), lineNumber);
        }
        ++count;
    }
    if (count == 0)
        return Fail(kNothingRead, 0);
    languages_ = std::move(languages);
    return count;
}

Text ProgramTexts::Get(int n, int language) const {
    if (language < 0 || static_cast<std::size_t>(language) >= languages_.size())
        return {};
    const auto& texts = languages_[static_cast<std::size_t>(language)];
    const auto found = texts.find(n);
    if (found == texts.end())
        return {};
    return found->second.substr(0, kMaxProgramTextLength);
}

Text ProgramTexts::ErrorMessage(TextView path) const {
    if (languages_.size() > 0 || lastResult_ > 0)
        return {};
    const Text file(path);
    switch (lastResult_) {
        case kNeededTextMissing:
            return file + " lacks text " + std::to_string(problemDetail_) +
                   ", which the program needs: the file is damaged or cut short (it ends at "
                   "line " +
                   std::to_string(problemLine_) + ").";
        case kControlCharacter:
            return "Damaged text at line " + std::to_string(problemLine_) + " of " + file +
                   ": it holds the control character " + std::to_string(problemDetail_) + ".";
        case kTooManyLanguages:
            return "Too much program text: line " + std::to_string(problemLine_) + " of " + file +
                   " starts a seventh language.";
        default:
            return LoadErrorMessage(lastResult_, path);
    }
}

Text ProgramTexts::LoadErrorMessage(std::int32_t result, TextView path) {
    const std::int64_t r = result;
    if (r > 0)
        return {};
    const Text file(path);
    auto named = [&file](const char* message) { return message + Text("\r\n") + file; };
    switch (r) {
        case 0:
            return named("No program text was read.");
        case -1:
            return named("Cannot open file containing program text.");
        case -2:
            return named("Particular memory allocation error.");
        case -3:
            return named("Too much program text.");
        case -4:
            return named("Text not recovered.");
        case -6:
            return named("File is empty.");
        case -7:
            return named("Error reading file.");
        case -8:
            return named("General memory allocation error.");
        default:
            break;
    }
    if (r >= -kMissingBase)
        return named(("Error " + std::to_string(r)).c_str());
    if (r >= -kTooLongBase) {
        return "Missing string at line " + std::to_string(-(r + kMissingBase)) + " of " + file +
               ".";
    }
    if (r >= -kDuplicateBase) {
        return "String too long at line " + std::to_string(-(r + kTooLongBase)) + " of " + file +
               ".";
    }
    return "Duplicate in program text at line " + std::to_string(-(r + kDuplicateBase)) + " of " +
           file + ".";
}

Text VersionText(int major, int minor) {
    return std::to_string(major) + "." + std::to_string(minor) + "7";
}

}  // namespace lumora::text
