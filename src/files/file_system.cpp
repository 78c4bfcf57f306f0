#include "files/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "memory/huge_pages.h"

namespace lumora::files {

namespace {

constexpr const char* kNotRegular = "not a regular file";

Text LastError() {
    return std::strerror(errno);
}

Text ResultOf(int status) {
    return status == 0 ? Text() : LastError();
}

FileInfo::Kind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileInfo::Kind::kRegular;
    if (S_ISDIR(mode))
        return FileInfo::Kind::kDirectory;
    if (S_ISLNK(mode))
        return FileInfo::Kind::kLink;
    return FileInfo::Kind::kOther;
}

// In an opened folder a name is one entry, never followed through a link.
int NoFollowIn(const Folder& in) {
    return in.opened() ? O_NOFOLLOW : 0;
}

class PosixFileSystem final : public FileSystem {
  public:
    explicit PosixFileSystem(bool unnamedTemps) : unnamedTemps_(unnamedTemps) {}

    Text OpenFolder(const Folder& in, const Text& name, Folder& folder) override {
        folder = Folder();
        const int fd =
            ::openat(in.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | NoFollowIn(in));
        if (fd < 0)
            return LastError();
        folder = Folder(fd);
        return {};
    }

    Text Stat(const Folder& in, const Text& name, FileInfo& info) override {
        return StatAt(in, name, info, !in.opened());
    }

    Text StatLink(const Folder& in, const Text& name, FileInfo& info) override {
        return StatAt(in, name, info, false);
    }

    Text RealPath(const Text& path, Text& real) override {
        real.clear();
        std::error_code error;
        // realpath(3), on the path made absolute first.
        std::filesystem::path resolved = std::filesystem::canonical(path, error);
        if (error)
            return error.message();
        real = resolved.string();
        return {};
    }

    Text ReadAll(const Folder& in, const Text& name, Text& bytes) override {
        return Read(in, name, bytes, kWhole);
    }

    Text ReadStart(const Folder& in, const Text& name, std::size_t most, Text& bytes) override {
        return Read(in, name, bytes, most);
    }

    Text ListFolder(const Folder& folder, std::vector<Text>& names) override {
        names.clear();
        // A descriptor of its own: readdir moves it along, and closedir closes it.
        const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            const Text error = LastError();
            ::close(fd);
            return error;
        }
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const Text name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        const Text error = errno != 0 ? LastError() : Text();
        ::closedir(dir);
        return error;
    }

    Text CreateTemp(const Folder& folder, const Text& tempName, NewFile& file) override {
        file = NewFile{};
        if (unnamedTemps_) {
            const int fd = ::openat(folder.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0) {
                file.fd = fd;
                return {};
            }
            // Older kernels report EISDIR; some file systems cannot make such files.
            if (errno != EOPNOTSUPP && errno != EISDIR)
                return LastError();
        }
        const int fd = ::openat(folder.fd(), tempName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return LastError();
        file.fd = fd;
        file.named = true;
        return {};
    }

    Text Write(int fd, TextView bytes) override {
        while (!bytes.empty()) {
            const ssize_t put = ::write(fd, bytes.data(), bytes.size());
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return LastError();
            bytes.remove_prefix(static_cast<std::size_t>(put));
        }
        return {};
    }

    Text SetOwner(int fd, uid_t owner, gid_t group) override {
        if (::fchown(fd, owner, group) == 0)
            return {};
        if (errno != EPERM)
            return LastError();
        // Not allowed to give the file away: the group alone may still be one of ours.
        if (::fchown(fd, static_cast<uid_t>(-1), group) == 0 || errno == EPERM)
            return {};
        return LastError();
    }

    Text SetMode(int fd, unsigned mode) override {
        return ResultOf(::fchmod(fd, static_cast<mode_t>(mode)));
    }

    Text Sync(int fd) override { return ResultOf(::fsync(fd)); }

    Text Link(int fd, const Folder& in, const Text& name) override {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), in.fd(), name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return {};
        if (errno != ENOENT)
            return LastError();
        // Without /proc, the descriptor itself can be linked (where the user is allowed to).
        return ResultOf(::linkat(fd, "", in.fd(), name.c_str(), AT_EMPTY_PATH));
    }

    Text Close(int fd) override { return ResultOf(::close(fd)); }

    Text Rename(const Folder& in, const Text& from, const Text& to) override {
        return ResultOf(::renameat(in.fd(), from.c_str(), in.fd(), to.c_str()));
    }

    Text RenameNew(const Folder& in, const Text& from, const Text& to) override {
        if (::renameat2(in.fd(), from.c_str(), in.fd(), to.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        if (errno != EINVAL && errno != ENOSYS)
            return LastError();
        // File systems that cannot rename without replacing: a second name, then the first
        // one removed; the link fails if the name is taken.
        if (::linkat(in.fd(), from.c_str(), in.fd(), to.c_str(), 0) != 0)
            return LastError();
        ::unlinkat(in.fd(), from.c_str(), 0);
        return {};
    }

    Text MakeFolder(const Folder& in, const Text& name) override {
        if (::mkdirat(in.fd(), name.c_str(), 0777) == 0)
            return {};
        struct stat st {};
        if (errno == EEXIST &&
            ::fstatat(in.fd(), name.c_str(), &st, in.opened() ? AT_SYMLINK_NOFOLLOW : 0) == 0 &&
            S_ISDIR(st.st_mode))
            return {};
        return LastError();
    }

    Text Remove(const Folder& in, const Text& name) override {
        return ResultOf(::unlinkat(in.fd(), name.c_str(), 0));
    }

    Text SyncFolder(const Folder& folder) override {
        const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        Text error = ResultOf(::fsync(fd));
        if (::close(fd) != 0 && error.empty())
            error = LastError();
        return error;
    }

  private:
    static Text StatAt(const Folder& in, const Text& name, FileInfo& info, bool follow) {
        info = FileInfo{};
        const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
        struct stat st {};
        if (::fstatat(in.fd(), name.c_str(), &st, flags) != 0) {
            if (errno == ENOENT) {
                info.kind = FileInfo::Kind::kMissing;
                return {};
            }
            return LastError();
        }
        info.kind = KindOf(st.st_mode);
        info.mode = st.st_mode & 07777;
        info.owner = st.st_uid;
        info.group = st.st_gid;
        info.links = st.st_nlink;
        info.size = static_cast<std::uint64_t>(st.st_size);
        info.device = st.st_dev;
        info.inode = st.st_ino;
        info.modified = st.st_mtim;
        // The superuser is granted write access to every file, so the bits are asked too.
        info.writable = info.kind != FileInfo::Kind::kLink && (st.st_mode & 0222) != 0 &&
                        ::faccessat(in.fd(), name.c_str(), W_OK, AT_EACCESS | flags) == 0;
        return {};
    }

    static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

    // The file's first `most` bytes (all of it for kWhole).
    static Text Read(const Folder& in, const Text& name, Text& bytes, std::size_t most) {
        bytes.clear();
        // O_NONBLOCK: should the path have become a FIFO since it was looked at, the open
        // returns at once and the check below refuses it.
        const int fd = ::openat(in.fd(), name.c_str(),
                                O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | NoFollowIn(in));
        if (fd < 0)
            return errno == ELOOP && in.opened() ? Text(kNotRegular) : LastError();
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            const Text error = LastError();
            ::close(fd);
            return error;
        }
        if (!S_ISREG(info.st_mode)) {
            ::close(fd);
            return kNotRegular;
        }
        if (info.st_size > 0) {
            bytes.reserve(std::min(most, static_cast<std::size_t>(info.st_size)));
            memory::AdviseHugePages(bytes.data(), bytes.capacity());
        }
        Text error;
        char chunk[1 << 16];
        while (bytes.size() < most) {
            const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, most - bytes.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = LastError();
                break;
            }
            if (got == 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        ::close(fd);
        return error;
    }
    bool unnamedTemps_;
};

}  // namespace

void Folder::Release() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

FileSystem& RealFileSystem() {
    static PosixFileSystem fileSystem(true);
    return fileSystem;
}

std::unique_ptr<FileSystem> NewNamedTempFileSystem() {
    return std::make_unique<PosixFileSystem>(false);
}

}  // namespace lumora::files
