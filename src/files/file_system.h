// The file operations with which pages are read and replaced on disk, behind one interface
// so that tests can make any one of them fail (or stop the process) at a chosen moment.
//
// Contract: every call returns a description of what went wrong (the system's error text,
// such as "No space left on device"), or an empty text on success. Paths are used exactly
// as given; nothing is trimmed or normalised. A descriptor handed out by CreateTemp belongs
// to the caller, who gives it back through Close.
//
// Every name is looked up in a Folder. In the working folder (a default Folder) a name is a
// path, and symbolic links on it are followed. In a folder opened with OpenFolder a name is
// one entry of that very folder, even after its path has been made to lead elsewhere, and a
// symbolic link there is never followed: it is "not a regular file", and cannot be read,
// entered or opened as a folder. So a file is written only where it was first looked for.
// StatLink and RealPath are the two calls that look at a link itself, or resolve it.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "text/chars.h"

namespace lumora::files {

// A folder held open, or the working folder. Closes itself; moves but never copies.
class Folder {
  public:
    Folder() = default;  // the working folder
    explicit Folder(int fd) : fd_(fd) {}
    Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Folder& operator=(Folder&& other) noexcept {
        if (this != &other) {
            Release();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Folder() { Release(); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The descriptor for the system's *at calls (AT_FDCWD for the working folder).
    int fd() const { return fd_ < 0 ? AT_FDCWD : fd_; }
    bool opened() const { return fd_ >= 0; }

  private:
    void Release();
    int fd_ = -1;
};

// What a file is, found without opening it.
struct FileInfo {
    // kLink only where a symbolic link is not followed: in an opened folder, or by StatLink.
    enum class Kind { kMissing, kRegular, kDirectory, kLink, kOther };
    Kind kind = Kind::kOther;
    unsigned mode = 0;  // permission bits, set-id and sticky bits included
    uid_t owner = 0;
    gid_t group = 0;
    std::uint64_t links = 0;
    std::uint64_t size = 0;  // bytes
    // Which file it is, and when its content last changed: a file saved again, or put in
    // its place, differs in at least one of them.
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    // Whether this user may write to the file: at least one write bit is set and the
    // system grants write access (a read-only file system grants none). Never for a link.
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

    // Opens the folder `name` in `in` (see the rules for names above).
    virtual Text OpenFolder(const Folder& in, const Text& name, Folder& folder) = 0;
    // Nothing there (or, in the working folder, a link leading nowhere) is no error: the
    // kind is kMissing.
    virtual Text Stat(const Folder& in, const Text& name, FileInfo& info) = 0;
    // As Stat, but a symbolic link that `name` ends in is not followed, in the working
    // folder too: the kind is then kLink and the facts are the link's own. (Links on the
    // way to it are followed in the working folder, as by Stat.)
    virtual Text StatLink(const Folder& in, const Text& name, FileInfo& info) = 0;
    // The absolute path of the file `path` in the working folder leads to, without any
    // symbolic link, "." or ".." left in it. Fails when something on the way is missing.
    virtual Text RealPath(const Text& path, Text& real) = 0;
    // The whole content of a regular file. Anything else is refused (after an open that
    // cannot block), with "not a regular file".
    virtual Text ReadAll(const Folder& in, const Text& name, Text& bytes) = 0;
    // At most the first `most` bytes of a regular file, under the same rules. (Files that
    // only stand in for the disk may read the whole file and cut it.)
    virtual Text ReadStart(const Folder& in, const Text& name, std::size_t most, Text& bytes) {
        Text error = ReadAll(in, name, bytes);
        if (bytes.size() > most)
            bytes.resize(most);
        return error;
    }
    // The names in a folder ("." and ".." left out).
    virtual Text ListFolder(const Folder& folder, std::vector<Text>& names) = 0;
    // A new empty file in `folder`, readable and writable by the user alone: without a
    // name where the file system allows it, otherwise created as `tempName`.
    virtual Text CreateTemp(const Folder& folder, const Text& tempName, NewFile& file) = 0;
    // Appends all of `bytes`.
    virtual Text Write(int fd, TextView bytes) = 0;
    // Gives the file this owner and group, as far as the user may: a change the system
    // does not permit is left out without an error.
    virtual Text SetOwner(int fd, uid_t owner, gid_t group) = 0;
    virtual Text SetMode(int fd, unsigned mode) = 0;
    // Makes the file's data and attributes durable.
    virtual Text Sync(int fd) = 0;
    // Gives a file made without a name the name `name` in `in` (which must not exist).
    virtual Text Link(int fd, const Folder& in, const Text& name) = 0;
    virtual Text Close(int fd) = 0;
    // Moves `from` onto `to`, both in `in`, in one step, replacing any file there.
    virtual Text Rename(const Folder& in, const Text& from, const Text& to) = 0;
    // Moves `from` to `to`, both in `in`, in one step only when nothing is at `to`;
    // otherwise fails with "File exists" and changes nothing.
    virtual Text RenameNew(const Folder& in, const Text& from, const Text& to) = 0;
    // A new folder (nothing done when a folder is already there).
    virtual Text MakeFolder(const Folder& in, const Text& name) = 0;
    virtual Text Remove(const Folder& in, const Text& name) = 0;
    // Makes the folder's entries (new names, renames) durable.
    virtual Text SyncFolder(const Folder& folder) = 0;

    // A path in the working folder.
    Text Stat(const Text& path, FileInfo& info) { return Stat(Folder(), path, info); }
    Text StatLink(const Text& path, FileInfo& info) { return StatLink(Folder(), path, info); }
    Text ReadAll(const Text& path, Text& bytes) { return ReadAll(Folder(), path, bytes); }
};

// The operating system's files.
FileSystem& RealFileSystem();

// The operating system's files, made as if no file system could create a file without a
// name: CreateTemp always creates the named file. For tests of that path.
std::unique_ptr<FileSystem> NewNamedTempFileSystem();

}  // namespace lumora::files
