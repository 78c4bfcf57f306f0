// Reading a page file for the engine: the checks that come before a pass, as error values.
// The fronts (command line, window) call this and hand the bytes to Analyse.
#pragma once

#include <optional>

#include "engine/engine.h"
#include "files/file_system.h"

namespace lumora::engine {

// Where pages are read and written: the fronts hand the engine the operating system's
// files, the tests one that fails on demand.
using FileSystem = files::FileSystem;
inline FileSystem& RealFileSystem() {
    return files::RealFileSystem();
}

// Reads the page at `path`, taken exactly as given. Refuses, without opening it, a name
// that is not an HTML page's, a missing file and anything that is not a regular file
// (a folder, FIFO or device). A file with a NUL byte in its first 64 KiB, and no UTF-16
// byte order mark, is refused as RefusePage refuses it after only that much is read; the
// caller still applies RefusePage to the whole page. Every error names the file.
std::optional<Error> ReadPageFile(const Text& path, FileSystem& fs, Text& bytes);

}  // namespace lumora::engine
