// The state file, lmr.usr: the options carried from one run to the next.
//
// Twenty-one lines, each ending in CR LF: texts in double quotes as typed, then list
// indices and check-box values as plain decimal numbers, then the page encoding chosen,
// by name in double quotes ("" for Detect). The file is written in UTF-8. It is read as
// UTF-8 when its bytes are valid UTF-8, else as Latin-1, so files written by earlier
// versions keep loading. A number that is not a plain decimal integer in its documented
// range gives that line's default, and an encoding name the drop-down does not list gives
// Detect. A file of the earlier twenty lines loads with Detect; only a file too short to
// hold those twenty lines is refused as a whole.
#pragma once

#include <optional>

#include "app/options.h"
#include "error/error.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::app {

// "<base>/<folderName>/<fileName>", base being $XDG_CONFIG_HOME, else ~/.config, else the
// temporary folder; the program's folder is created in `fs` when missing.
Text FolderPath(const Text& fileName, const Text& folderName, files::FileSystem& fs);

// The file's content for `options`. A line break inside a text (a one-line box cannot
// show one) is written as a blank, so that it cannot shift the lines that follow.
Text FormatState(const Options& options);

// Writes the state file at `path` in one step and durably (see files::ReplaceFile): a
// crash or a full disk leaves the old file or the new one, never a part. An existing file
// keeps its owner, group and mode; a new one is private to the user. Returns why it could
// not, naming the file.
std::optional<Error> SaveStateFile(const Text& path, const Options& options, files::FileSystem& fs);

// The options of a state file's content, or nothing when the content is not in the state
// file's format: twenty or twenty-one lines (blank lines after them aside) without control
// characters. Content that is not valid UTF-8 is a file of the earlier
// single-byte format and is read as such.
std::optional<Options> ParseState(TextView content);

// No state file is larger: anything larger is not one.
inline constexpr std::uint64_t kMostStateBytes = 64 * 1024;

// The state file's options; neither options nor an error when there is no file yet; the
// error kStateUnreadable when something else stands there (a folder, a FIFO, a device, a
// file too large or not in the format). Nothing is opened that could block.
struct LoadedState {
    std::optional<Options> options;
    std::optional<Error> error;
};
LoadedState LoadStateFile(const Text& path, files::FileSystem& fs);

}  // namespace lumora::app
