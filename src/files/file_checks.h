// Checks and classification of the files the program reads.
#pragma once

#include "text/chars.h"

namespace lumora::files {

inline constexpr Char kPathSeparator = '/';

bool FileExists(const Text& path);  // a regular file (or a link to one) exists
bool FolderExists(const Text& path);

// The folder of a path with its closing separator, or empty when the path has none.
Text FolderOfPath(TextView path);

// Outcome of the name test of an input file (before any message is shown).
enum class InputNameStatus {
    kOk,              // accepted extension and the file exists
    kFileMissing,     // accepted extension, no such file (program texts 5 and 6)
    kWrongExtension,  // any other extension (program texts 3 and 4)
    kInvalidName,     // no usable dot (Error::Code::kInvalidName)
};
InputNameStatus CheckInputFileName(const Text& name);

}  // namespace lumora::files
