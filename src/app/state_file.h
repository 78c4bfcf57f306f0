// Where the program keeps its state file, and the file's twenty lines.
#pragma once

#include <optional>

#include "app/options.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::app {

// "<base>/<folderName>/<fileName>", base being $XDG_CONFIG_HOME, else ~/.config, else the
// temporary folder; the program's folder is created when missing.
Text FolderPath(const Text& fileName, const Text& folderName);

// The twenty lines, each ending in CR LF: texts in double quotes as typed, list indices
// and check-box values as plain numbers.
Text FormatState(const Options& options);

// Writes the state file at `path` in one step and durably (see files::ReplaceFile): a
// crash or a full disk leaves the old file or the new one, never a part. An existing file
// keeps its owner, group and mode; a new one is private to the user. Returns the message
// naming the file, or empty.
Text SaveStateFile(const Text& path, const Options& options,
                   files::FileSystem& fs = files::RealFileSystem());

// The options of a state file's content, or nothing when the content is damaged (too
// short, a value of the wrong type, a list index outside its list).
std::optional<Options> ParseState(TextView content);

}  // namespace lumora::app
