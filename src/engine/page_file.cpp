#include "engine/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/file_checks.h"

namespace lumora::engine {

namespace {

// As much of a page as shows whether it is one: a NUL byte here refuses the file before
// the rest of it, which may be gigabytes, is read.
constexpr std::size_t kFirstBlock = 64 * 1024;

// The first block of a regular file, read from the disk; empty when it cannot be read here,
// and the whole reading then tells why.
Text FirstBlockOf(const Text& path) {
    // As the whole reading opens it: should it have become a FIFO, the open does not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    Text block;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        block.resize(kFirstBlock);
        std::size_t got = 0;
        while (got < kFirstBlock) {
            const ssize_t n = ::read(fd, block.data() + got, kFirstBlock - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        block.resize(got);
    }
    ::close(fd);
    return block;
}

}  // namespace

std::optional<Error> ReadPageFile(const Text& path, files::FileSystem& fs, Text& bytes) {
    bytes.clear();
    // Looked at before anything else and before it is opened: opening a FIFO for reading
    // would wait for a writer, and a device is no page whatever its name.
    files::FileInfo info;
    if (Text failure = fs.Stat(path, info); !failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    if (info.kind == files::FileInfo::Kind::kDirectory ||
        info.kind == files::FileInfo::Kind::kOther)
        return Error{Error::Code::kNotRegularFile, path, 0, {}};
    using files::InputNameStatus;
    switch (files::CheckInputFileName(path)) {
        case InputNameStatus::kInvalidName:
            return Error{Error::Code::kInvalidName, path, 0, {}};
        case InputNameStatus::kWrongExtension:
            return Error{Error::Code::kWrongExtension, path, 0, {}};
        case InputNameStatus::kOk:
        case InputNameStatus::kFileMissing:
            break;
    }
    if (info.kind == files::FileInfo::Kind::kMissing)
        return Error{Error::Code::kFileMissing, path, 0, {}};
    // An empty block is left to the whole reading: the file may be empty or unreadable.
    if (std::optional<Error> refusal = RefusePage(FirstBlockOf(path));
        refusal && refusal->code == Error::Code::kNotText) {
        refusal->path = path;
        return refusal;
    }
    if (Text failure = fs.ReadAll(path, bytes); !failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    return std::nullopt;
}

}  // namespace lumora::engine
