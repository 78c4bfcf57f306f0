#include "engine/page_file.h"

#include <cerrno>
#include <cstring>

#include "files/file_checks.h"

namespace lumora::engine {

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
    if (Text failure = fs.ReadAll(path, bytes); !failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    return std::nullopt;
}

}  // namespace lumora::engine
