// The command-line tool: one command, the options of the main window, on one page or on
// many pages and folders at once (see site_run.h).
#pragma once

#include <atomic>
#include <ostream>

#include "engine/engine.h"

namespace lumora::cli {

struct CliEnvironment {
    Text executableFolder;            // where the data files are looked for first
    bool progressOnTerminal = false;  // standard error is a terminal
    // Set when the user presses Ctrl-C; the pass then stops soon after.
    const std::atomic<bool>* interrupted = nullptr;
    // Where the pages are read and written; null: the operating system's files.
    engine::FileSystem* fileSystem = nullptr;
};

// The file system the pages of a run go through.
engine::FileSystem& FileSystemOf(const CliEnvironment& environment);

// Runs the tool as `lumora-cli` would, writing to `out` and `err`. Returns the exit status:
// 0 output produced, 1 page or option refused, 2 usage error, 130 stopped by Ctrl-C.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace lumora::cli
