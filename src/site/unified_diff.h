// A unified diff between two versions of a page, as `diff -u` writes it and `patch`
// applies it: what `insert --dry-run` shows instead of writing.
#pragma once

#include "text/chars.h"

namespace lumora::site {

// Lines keep their own line ends (LF, CR LF or CR), so a diff of a CR LF page applies
// back to it byte for byte (patch cannot apply one of a page whose lines end in a lone CR);
// a last line without a line end is marked as diff marks it.
// Empty when the two are equal. `oldName` and `newName` go into the header lines, as
// DiffName writes them.
Text UnifiedDiff(TextView oldBytes, TextView newBytes, TextView oldName, TextView newName,
                 int context = 3);

// A name as a diff's header line holds it so that GNU patch reads it back byte for byte:
// as it is, unless it holds a blank (patch ends a bare name there), a control character
// (C0, DEL, C1) or a byte that is not UTF-8, or starts with a double quote; then as a
// C-style quoted string: "\"", "\\", "\t", "\n", and "\ooo" (octal) for every other
// control byte and every byte that is not UTF-8. Other characters stay as they are.
Text DiffName(TextView name);

}  // namespace lumora::site
