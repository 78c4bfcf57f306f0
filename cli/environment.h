// What the tool is given by the process it runs in: where it lives, its terminal, Ctrl-C,
// and the files it works on.
#pragma once

#include <atomic>
#include <functional>

#include "engine/engine.h"

namespace lumora::cli {

struct CliEnvironment {
    Text executableFolder;            // where the data files are looked for first
    bool progressOnTerminal = false;  // standard error is a terminal
    // Set when the user presses Ctrl-C; the pass then stops soon after.
    const std::atomic<bool>* interrupted = nullptr;
    // Where the pages are read and written; null: the operating system's files.
    engine::FileSystem* fileSystem = nullptr;
    // Reads the page named "-" (standard input) whole into `bytes`; gives why it could not,
    // "" when it could. Unset: an empty page.
    std::function<Text(Text& bytes)> readInput;
};

// The name of the page read from standard input, as it is given and as messages name it.
inline constexpr const char* kInputPage = "-";

// The file system the pages of a run go through.
inline engine::FileSystem& FileSystemOf(const CliEnvironment& environment) {
    return environment.fileSystem != nullptr ? *environment.fileSystem : engine::RealFileSystem();
}

}  // namespace lumora::cli
