// The command-line tool: one command, the options of the main window, on one page or on
// many pages and folders at once (see site_run.h).
#pragma once

#include <atomic>
#include <ostream>

#include "environment.h"

namespace lumora::cli {

// Runs the tool as `lumora-cli` would, writing to `out` and `err`. Returns the exit status:
// 0 output produced, 1 page or option refused, 2 usage error, 130 stopped by Ctrl-C.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace lumora::cli
