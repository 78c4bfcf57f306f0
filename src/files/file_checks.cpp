#include "files/file_checks.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lumora::files {

namespace {

constexpr std::size_t kPieceSize = 16384;

// Closes the file on every way out of a classifier.
class RawFile {
  public:
    explicit RawFile(const Text& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~RawFile() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // Bytes read into `piece` (at most `wanted`); sets `error` on a read failure.
    std::size_t Read(Char* piece, std::size_t wanted, bool& error) {
        const std::size_t got = std::fread(piece, 1, wanted, file_);
        if (got < wanted && std::ferror(file_) != 0)
            error = true;
        return got;
    }

  private:
    std::FILE* file_;
};

// Line-end flags of the bytes examined so far, and the first forbidden control character.
struct ByteScan {
    bool hasLf = false;
    bool hasCr = false;
    std::int64_t examined = 0;
    std::int64_t forbiddenAt = 0;  // 1-based position, 0 while none was met

    // Examines one piece; false as soon as a forbidden control character is met.
    bool Examine(const Char* piece, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned b = Code(piece[i]);
            if (b >= 32)
                continue;
            if (b == '\n') {
                hasLf = true;
            } else if (b == '\r') {
                hasCr = true;
            } else if (b != '\t') {
                forbiddenAt = examined + static_cast<std::int64_t>(i) + 1;
                examined += static_cast<std::int64_t>(i) + 1;
                return false;
            }
        }
        examined += static_cast<std::int64_t>(count);
        return true;
    }

    int LineEndType() const {
        if (hasLf && !hasCr)
            return 2;
        if (hasCr && !hasLf)
            return 3;
        return 1;
    }
};

// Length of the file, or -1 when it cannot be determined.
std::int64_t LengthOf(const Text& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return -1;
    return static_cast<std::int64_t>(size);
}

}  // namespace

bool FileExists(const Text& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool FolderExists(const Text& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

std::int64_t ClassifyInputFile(const Text& path) {
    if (!FileExists(path))
        return 0;
    const std::int64_t length = LengthOf(path);
    if (length == 0)
        return 4;
    RawFile file(path);
    if (!file.IsOpen() || length < 0)
        return 5;

    std::array<Char, kPieceSize> piece{};
    ByteScan scan;
    bool error = false;
    for (;;) {
        const std::size_t got = file.Read(piece.data(), piece.size(), error);
        if (!scan.Examine(piece.data(), got))
            return -scan.forbiddenAt;
        if (error)
            return 5;  // a page that cannot be read completely is not classified
        if (got < piece.size())
            break;
    }
    return scan.LineEndType();
}

int CheckTextFile(const Text& path, std::int32_t maxChars) {
    if (!FileExists(path))
        return -1;
    RawFile file(path);
    if (!file.IsOpen())
        return -3;
    const std::int64_t length = LengthOf(path);
    if (length == 0)
        return -2;
    if (length < 0)
        return -3;

    // Exactly the first maxChars characters are examined, whatever the piece size, so a
    // limit above one piece does not let a second whole piece through.
    std::array<Char, kPieceSize> piece{};
    ByteScan scan;
    bool error = false;
    std::int64_t remaining = maxChars > 0 ? maxChars : 0;
    while (remaining > 0) {
        const std::size_t wanted = remaining < static_cast<std::int64_t>(piece.size())
                                       ? static_cast<std::size_t>(remaining)
                                       : piece.size();
        const std::size_t got = file.Read(piece.data(), wanted, error);
        if (!scan.Examine(piece.data(), got))
            return 0;
        if (error)
            return -3;
        if (got < wanted)
            break;
        remaining -= static_cast<std::int64_t>(got);
    }
    return scan.LineEndType();
}

Text FolderOfPath(TextView path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == TextView::npos)
        return Text();
    return NormalisePathCase(path.substr(0, slash + 1));
}

Text NormalisePathCase(TextView path) {
    if (path.size() < 2 || path[1] != ':')
        return Text(path);
    Text result = Lower(path);
    result[0] = ToUpper(path[0]);
    return result;
}

InputNameStatus CheckInputFileName(const Text& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == Text::npos)
        return InputNameStatus::kInvalidName;
    const std::size_t slash = name.rfind(kPathSeparator);
    // A dot before the last separator belongs to a folder name.
    if (slash != Text::npos && dot < slash)
        return InputNameStatus::kInvalidName;

    const Text ext = Lower(TextView(name).substr(dot + 1));
    if (ext.find("htm") != Text::npos || ext == "php") {
        return FileExists(name) ? InputNameStatus::kOk : InputNameStatus::kFileMissing;
    }
    return InputNameStatus::kWrongExtension;
}

Text LineEndingsPrompt(int type, TextView extra) {
    if (type == -2)
        return kZeroLengthPrompt;
    Text prompt = "This file has ";
    if (type == 2) {
        prompt += "Unix/Linux line endings.";
    } else if (type == 3) {
        prompt += "Macintosh line endings.";
    } else {
        prompt += "line endings of an unknown type.";
    }
    if (!extra.empty()) {
        prompt += "\r\n\r\n";
        prompt += extra;
    }
    return prompt;
}

}  // namespace lumora::files
