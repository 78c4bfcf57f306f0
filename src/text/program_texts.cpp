#include "text/program_texts.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "text/encoding.h"

namespace lumora::text {

namespace {

constexpr std::int32_t kNothingRead = 0;
constexpr std::int32_t kCannotOpen = -1;
constexpr std::int32_t kTooManyLanguages = -3;
constexpr std::int32_t kEmptyFile = -6;
constexpr std::int32_t kReadError = -7;
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

std::int32_t ProgramTexts::Load(const Text& path) {
    languages_.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return kCannotOpen;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return kCannotOpen;
    Text content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return kReadError;
    return LoadFromContent(content);
}

std::int32_t ProgramTexts::LoadFromContent(TextView bytes) {
    languages_.clear();
    if (bytes.empty())
        return kEmptyFile;
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

        if (line.empty() || line.front() == '#')
            continue;
        if (IsLanguageHeader(line)) {
            languages.emplace_back();
            if (languages.size() > static_cast<std::size_t>(kMaxTextLanguages)) {
                return kTooManyLanguages;
            }
            continue;
        }
        std::size_t textStart = 0;
        const long number = ReadTextNumber(line, textStart);
        const TextView textPart = number > 0 ? line.substr(textStart) : TextView();
        if (textPart.empty())
            return LineError(kMissingBase, lineNumber);
        if (textPart.size() > kMaxProgramTextLength)
            return LineError(kTooLongBase, lineNumber);
        if (languages.empty())
            languages.emplace_back();  // texts before any header form the first language
        if (!languages.back().emplace(static_cast<int>(number), Text(textPart)).second) {
            return LineError(kDuplicateBase, lineNumber);
        }
        ++count;
    }
    if (count == 0)
        return kNothingRead;
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

Text ProgramTexts::LoadErrorMessage(std::int32_t result, TextView path) {
    const std::int64_t r = result;
    if (r > 0)
        return {};
    switch (r) {
        case 0:
            return "No program text was read.";
        case -1:
            return "Cannot open file containing program text.\r\n" + Text(path);
        case -2:
            return "Particular memory allocation error.";
        case -3:
            return "Too much program text.";
        case -4:
            return "Text not recovered.";
        case -6:
            return "File is empty.";
        case -7:
            return "Error reading file.";
        case -8:
            return "General memory allocation error.";
        default:
            break;
    }
    if (r >= -kMissingBase)
        return "Error " + std::to_string(r);
    if (r >= -kTooLongBase) {
        return "Missing string at line " + std::to_string(-(r + kMissingBase)) + ".";
    }
    if (r >= -kDuplicateBase) {
        return "String too long at line " + std::to_string(-(r + kTooLongBase)) + ".";
    }
    return "Duplicate in program text at line " + std::to_string(-(r + kDuplicateBase)) + ".";
}

Text VersionText(int major, int minor) {
    return std::to_string(major) + "." + std::to_string(minor) + "7";
}

}  // namespace lumora::text
