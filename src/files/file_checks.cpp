#include "files/file_checks.h"

#include <filesystem>
#include <system_error>

namespace lumora::files {

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

Text FolderOfPath(TextView path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == TextView::npos)
        return Text();
    return Text(path.substr(0, slash + 1));
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

}  // namespace lumora::files
