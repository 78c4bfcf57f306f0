#include "files/file_checks.h"

namespace lumora::files {

namespace {

bool IsKind(const Text& path, FileSystem& fs, FileInfo::Kind kind) {
    FileInfo info;
    return !path.empty() && fs.Stat(path, info).empty() && info.kind == kind;
}

}  // namespace

bool FileExists(const Text& path, FileSystem& fs) {
    return IsKind(path, fs, FileInfo::Kind::kRegular);
}

bool FolderExists(const Text& path, FileSystem& fs) {
    return IsKind(path, fs, FileInfo::Kind::kDirectory);
}

Text FolderOfPath(TextView path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    if (slash == TextView::npos)
        return Text();
    return Text(path.substr(0, slash + 1));
}

InputNameStatus CheckInputFileName(const Text& name, FileSystem& fs) {
    const InputNameStatus status = CheckInputName(name);
    if (status == InputNameStatus::kOk && !FileExists(name, fs))
        return InputNameStatus::kFileMissing;
    return status;
}

InputNameStatus CheckInputName(const Text& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == Text::npos)
        return InputNameStatus::kInvalidName;
    const std::size_t slash = name.rfind(kPathSeparator);
    // A dot before the last separator belongs to a folder name.
    if (slash != Text::npos && dot < slash)
        return InputNameStatus::kInvalidName;

    const Text ext = Lower(TextView(name).substr(dot + 1));
    if (ext.find("htm") != Text::npos || ext == "php")
        return InputNameStatus::kOk;
    return InputNameStatus::kWrongExtension;
}

}  // namespace lumora::files
