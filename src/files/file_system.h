// The file operations with which pages are read and replaced on disk, behind one interface
// so that tests can make any one of them fail (or stop the process) at a chosen moment.
//
// Contract: every call returns a description of what went wrong (the system's error text,
// such as "No space left on device"), or an empty text on success. Paths are used exactly
// as given; nothing is trimmed or normalised. A descriptor handed out by CreateTemp belongs
// to the caller, who gives it back through Close.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "text/chars.h"

namespace lumora::files {

// What a page is, found without opening it (symbolic links are followed).
struct FileInfo {
    enum class Kind { kMissing, kRegular, kDirectory, kOther };
    Kind kind = Kind::kOther;
    unsigned mode = 0;  // permission bits, set-id and sticky bits included
    uid_t owner = 0;
    gid_t group = 0;
    std::uint64_t links = 0;
    std::uint64_t size = 0;  // bytes
    // Whether this user may write to the file: at least one write bit is set and the
    // system grants write access (a read-only file system grants none).
    bool writable = false;
};

// A new file made by CreateTemp. `named` is false for a file that has no name yet (it
// vanishes with the process until Link gives it one); true where the file system could
// not make such a file and the requested temporary name was created instead.
struct NewFile {
    int fd = -1;
    bool named = false;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Nothing at `path` (or a link leading nowhere) is no error: the kind is kMissing.
    virtual Text Stat(const Text& path, FileInfo& info) = 0;
    // The whole content of a regular file. Anything else is refused (after an open that
    // cannot block), with "not a regular file".
    virtual Text ReadAll(const Text& path, Text& bytes) = 0;
    // The names in a folder ("." and ".." left out).
    virtual Text ListFolder(const Text& folder, std::vector<Text>& names) = 0;
    // A new empty file in `folder`, readable and writable by the user alone: without a
    // name where the file system allows it, otherwise created at `tempPath`.
    virtual Text CreateTemp(const Text& folder, const Text& tempPath, NewFile& file) = 0;
    // Appends all of `bytes`.
    virtual Text Write(int fd, TextView bytes) = 0;
    // Gives the file this owner and group, as far as the user may: a change the system
    // does not permit is left out without an error.
    virtual Text SetOwner(int fd, uid_t owner, gid_t group) = 0;
    virtual Text SetMode(int fd, unsigned mode) = 0;
    // Makes the file's data and attributes durable.
    virtual Text Sync(int fd) = 0;
    // Gives a file made without a name the name `path` (which must not exist).
    virtual Text Link(int fd, const Text& path) = 0;
    virtual Text Close(int fd) = 0;
    // Moves `from` onto `to` in one step, replacing any file there.
    virtual Text Rename(const Text& from, const Text& to) = 0;
    // Moves `from` to `to` in one step only when nothing is at `to`; otherwise fails with
    // "File exists" and changes nothing.
    virtual Text RenameNew(const Text& from, const Text& to) = 0;
    // A new folder (nothing done when a folder is already there).
    virtual Text MakeFolder(const Text& path) = 0;
    virtual Text Remove(const Text& path) = 0;
    // Makes the folder's entries (new names, renames) durable.
    virtual Text SyncFolder(const Text& folder) = 0;
};

// The operating system's files.
FileSystem& RealFileSystem();

// The operating system's files, made as if no file system could create a file without a
// name: CreateTemp always creates the named file. For tests of that path.
std::unique_ptr<FileSystem> NewNamedTempFileSystem();

}  // namespace lumora::files
