#include "files/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

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
    return FileInfo::Kind::kOther;
}

class PosixFileSystem final : public FileSystem {
  public:
    explicit PosixFileSystem(bool unnamedTemps) : unnamedTemps_(unnamedTemps) {}

    Text Stat(const Text& path, FileInfo& info) override {
        info = FileInfo{};
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
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
        // The superuser is granted write access to every file, so the bits are asked too.
        info.writable =
            (st.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
        return {};
    }

    Text ReadAll(const Text& path, Text& bytes) override {
        bytes.clear();
        // O_NONBLOCK: should the path have become a FIFO since it was looked at, the open
        // returns at once and the check below refuses it.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
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
            bytes.reserve(static_cast<std::size_t>(info.st_size));
            memory::AdviseHugePages(bytes.data(), bytes.capacity());
        }
        Text error;
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
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

    Text ListFolder(const Text& folder, std::vector<Text>& names) override {
        names.clear();
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return LastError();
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

    Text CreateTemp(const Text& folder, const Text& tempPath, NewFile& file) override {
        file = NewFile{};
        if (unnamedTemps_) {
            const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0) {
                file.fd = fd;
                return {};
            }
            // Older kernels report EISDIR; some file systems cannot make such files.
            if (errno != EOPNOTSUPP && errno != EISDIR)
                return LastError();
        }
        const int fd =
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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

    Text Link(int fd, const Text& path) override {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return {};
        if (errno != ENOENT)
            return LastError();
        // Without /proc, the descriptor itself can be linked (where the user is allowed to).
        return ResultOf(::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH));
    }

    Text Close(int fd) override { return ResultOf(::close(fd)); }

    Text Rename(const Text& from, const Text& to) override {
        return ResultOf(::rename(from.c_str(), to.c_str()));
    }

    Text RenameNew(const Text& from, const Text& to) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        if (errno != EINVAL && errno != ENOSYS)
            return LastError();
        // File systems that cannot rename without replacing: a second name, then the first
        // one removed; the link fails if the name is taken.
        if (::link(from.c_str(), to.c_str()) != 0)
            return LastError();
        ::unlink(from.c_str());
        return {};
    }

    Text MakeFolder(const Text& path) override {
        if (::mkdir(path.c_str(), 0777) == 0)
            return {};
        struct stat st {};
        if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return {};
        return LastError();
    }

    Text Remove(const Text& path) override { return ResultOf(::unlink(path.c_str())); }

    Text SyncFolder(const Text& folder) override {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        Text error = ResultOf(::fsync(fd));
        if (::close(fd) != 0 && error.empty())
            error = LastError();
        return error;
    }

  private:
    bool unnamedTemps_;
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fileSystem(true);
    return fileSystem;
}

std::unique_ptr<FileSystem> NewNamedTempFileSystem() {
    return std::make_unique<PosixFileSystem>(false);
}

}  // namespace lumora::files
