// Where the program finds lmr_text.dat and the common-word lists: beside the executable
// (the build tree), else in the installed data folder.
#pragma once

#include "text/chars.h"

namespace lumora::app {

// The folder of the running executable, empty when it cannot be determined.
Text ExecutableFolder();

// The first folder holding lmr_text.dat of: `executableFolder`, its ../share/lumora; else the
// data folder of the configured installation prefix.
Text FindDataDir(const Text& executableFolder);

}  // namespace lumora::app
