// The few file operations with which a page is replaced on disk, behind an interface so
// that tests can make any one of them fail (or stop the process) at a chosen moment.
#pragma once

#include "text/chars.h"

namespace lumora::files {

// Every call returns a description of what went wrong (the system's error text, such as
// "No space left on device"), or an empty text on success.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The whole content of a file.
    virtual Text ReadAll(const Text& path, Text& bytes) = 0;
    // A new file, empty and private to the user, with a unique name in `folder`.
    virtual Text CreateTemp(const Text& folder, Text& tempPath) = 0;
    // Replaces the content of an existing file (one made by CreateTemp) by `bytes`.
    virtual Text Write(const Text& path, TextView bytes) = 0;
    // Makes the file's data durable.
    virtual Text Sync(const Text& path) = 0;
    // Gives `to` the permission bits of `from`.
    virtual Text CopyMode(const Text& from, const Text& to) = 0;
    // Moves `from` onto `to` in one step, replacing any file there.
    virtual Text Rename(const Text& from, const Text& to) = 0;
    virtual Text Remove(const Text& path) = 0;
    // Makes the folder's entries (new names, renames) durable.
    virtual Text SyncFolder(const Text& folder) = 0;
};

// The operating system's files.
FileSystem& RealFileSystem();

}  // namespace lumora::files
