// Where the program keeps its state file, and the file's twenty lines.
#pragma once

#include <optional>

#include "app/options.h"
#include "text/chars.h"

namespace lumora::app {

// "<base>/<folderName>/<fileName>", base being $XDG_CONFIG_HOME, else ~/.config, else the
// temporary folder; the program's folder is created when missing.
Text FolderPath(const Text& fileName, const Text& folderName);

// The twenty lines, each ending in CR LF: texts in double quotes as typed (UTF-8), list
// indices and check-box values as plain numbers.
Text FormatState(const Options& options);

// The options of a state file's content, or nothing when the content is damaged (too
// short, a value of the wrong type, a list index outside its list). Content that is not
// valid UTF-8 is a file of the earlier single-byte format and is read as such.
std::optional<Options> ParseState(TextView content);

}  // namespace lumora::app
