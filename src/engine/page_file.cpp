#include "engine/page_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/file_checks.h"

namespace lumora::engine {

std::optional<Error> ReadPageFile(const Text& path, files::FileSystem& fs, Text& bytes) {
    bytes.clear();
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
    // Looked at before it is opened: opening a FIFO for reading would wait for a writer.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Error{Error::Code::kFileMissing, path, 0, {}};
        return Error{Error::Code::kFileUnreadable, path, 0, std::strerror(errno)};
    }
    if (!S_ISREG(info.st_mode))
        return Error{Error::Code::kNotRegularFile, path, 0, {}};
    const Text failure = fs.ReadAll(path, bytes);
    if (!failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    return std::nullopt;
}

}  // namespace lumora::engine
