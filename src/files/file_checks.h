// Checks and classification of the files the program reads.
#pragma once

#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::files {

inline constexpr Char kPathSeparator = '/';

// A regular file (or a link to one) is at `path`; a folder (or a link to one). Whatever
// cannot be looked at is taken for nothing there.
bool FileExists(const Text& path, FileSystem& fs);
bool FolderExists(const Text& path, FileSystem& fs);

// The folder of a path with its closing separator, or empty when the path has none.
Text FolderOfPath(TextView path);

// Outcome of the name test of an input file (before any message is shown).
enum class InputNameStatus {
    kOk,              // accepted extension and the file exists
    kFileMissing,     // accepted extension, no such file (program texts 5 and 6)
    kWrongExtension,  // any other extension (program texts 3 and 4)
    kInvalidName,     // no usable dot (Error::Code::kInvalidName)
};
InputNameStatus CheckInputFileName(const Text& name, FileSystem& fs);
// The same by the name alone, without a look at the disk: never kFileMissing.
InputNameStatus CheckInputName(const Text& name);

}  // namespace lumora::files
