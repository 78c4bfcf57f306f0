#include "files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumora::files {

namespace {

Text LastError() {
    return std::strerror(errno);
}

// Closes a descriptor; a failing close after a write may be the first report of lost
// data, so its error counts unless an earlier one is already known.
Text CloseKeepingError(int fd, Text error) {
    if (::close(fd) != 0 && error.empty())
        error = LastError();
    return error;
}

class PosixFileSystem final : public FileSystem {
  public:
    Text ReadAll(const Text& path, Text& bytes) override {
        bytes.clear();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_size > 0)
            bytes.reserve(static_cast<std::size_t>(info.st_size));
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

    Text CreateTemp(const Text& folder, Text& tempPath) override {
        Text pattern = folder;
        if (pattern.empty() || pattern.back() != '/')
            pattern += '/';
        pattern += ".lumora-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            return LastError();
        tempPath = pattern;
        return CloseKeepingError(fd, {});
    }

    Text Write(const Text& path, TextView bytes) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        Text error;
        while (!bytes.empty()) {
            const ssize_t put = ::write(fd, bytes.data(), bytes.size());
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                error = LastError();
                break;
            }
            bytes.remove_prefix(static_cast<std::size_t>(put));
        }
        return CloseKeepingError(fd, error);
    }

    Text Sync(const Text& path) override { return SyncPath(path, O_RDONLY); }

    Text CopyMode(const Text& from, const Text& to) override {
        struct stat info {};
        if (::stat(from.c_str(), &info) != 0 || ::chmod(to.c_str(), info.st_mode & 07777) != 0)
            return LastError();
        return {};
    }

    Text Rename(const Text& from, const Text& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? Text() : LastError();
    }

    Text Remove(const Text& path) override {
        return ::unlink(path.c_str()) == 0 ? Text() : LastError();
    }

    Text SyncFolder(const Text& folder) override {
        return SyncPath(folder, O_RDONLY | O_DIRECTORY);
    }

  private:
    static Text SyncPath(const Text& path, int flags) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        if (fd < 0)
            return LastError();
        Text error;
        if (::fsync(fd) != 0)
            error = LastError();
        return CloseKeepingError(fd, error);
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace lumora::files
