// Checks and classification of the files the program reads.
#pragma once

#include <cstdint>

#include "text/chars.h"

namespace lumora::files {

inline constexpr Char kPathSeparator = '/';

bool FileExists(const Text& path);  // a regular file (or a link to one) exists
bool FolderExists(const Text& path);

// Classification of an input page:
//  0 no such file, 1 ordinary text (CR and LF both or neither), 2 LF only, 3 CR only,
//  4 zero length, 5 cannot be opened or read,
//  -p a control character other than tab, LF and CR at 1-based position p.
std::int64_t ClassifyInputFile(const Text& path);

// Classification of a list file, looking at its first `maxChars` characters only:
//  -1 no such file, -2 zero length, -3 cannot be opened, 0 a forbidden control
//  character, 1, 2, 3 as for ClassifyInputFile.
int CheckTextFile(const Text& path, std::int32_t maxChars);

// The folder of a path with its closing separator, or empty when the path has none.
Text FolderOfPath(TextView path);
// "c:\..." style drive paths get an upper-case drive letter and a lower-case rest; any
// other path is returned unchanged.
Text NormalisePathCase(TextView path);

// Outcome of the name test of an input file (before any message is shown).
enum class InputNameStatus {
    kOk,              // accepted extension and the file exists
    kFileMissing,     // accepted extension, no such file (program texts 5 and 6)
    kWrongExtension,  // any other extension (program texts 3 and 4)
    kInvalidName,     // no usable dot (kInvalidNamePrompt, kInvalidNameTitle)
};
InputNameStatus CheckInputFileName(const Text& name);
inline constexpr const char* kInvalidNamePrompt = "Invalid input file specification";
inline constexpr const char* kInvalidNameTitle = "Invalid input";

// Prompt of the line-endings warning for a file type (2 LF only, 3 CR only, other
// unknown), followed by CR LF CR LF and `extra` when that is not empty. Type -2 gives
// the zero-length text.
Text LineEndingsPrompt(int type, TextView extra);
inline constexpr const char* kZeroLengthPrompt = "This is a zero-length file.";
inline constexpr const char* kWarningTitle = "Warning";

}  // namespace lumora::files
