// A unified diff between two versions of a page, as `diff -u` writes it and `patch`
// applies it: what `insert --dry-run` shows instead of writing.
#pragma once

#include "text/chars.h"

namespace lumora::site {

// Lines keep their own line ends (LF, CR LF or CR), so a diff of a CR LF page applies
// back to it byte for byte (patch cannot apply one of a page whose lines end in a lone CR);
// a last line without a line end is marked as diff marks it.
// Empty when the two are equal. `oldName` and `newName` go into the header lines.
Text UnifiedDiff(TextView oldBytes, TextView newBytes, TextView oldName, TextView newName,
                 int context = 3);

}  // namespace lumora::site
