#include "engine/engine.h"
#include "files/file_checks.h"

namespace lumora::engine {

namespace {

// As much of a page as shows whether it is one: a NUL byte here refuses the file before
// the rest of it, which may be gigabytes, is read.
constexpr std::size_t kFirstBlock = 64 * 1024;

// The first block of the file; empty when it cannot be read here, and the whole reading
// then tells why.
Text FirstBlockOf(files::FileSystem& fs, const Text& path) {
    Text block;
    if (!fs.ReadStart(files::Folder(), path, kFirstBlock, block).empty())
        block.clear();
    return block;
}

}  // namespace

std::optional<Error> RefusePageName(const Text& path) {
    using files::InputNameStatus;
    // The name alone is judged: whether the file is there is the caller's to find out.
    switch (files::CheckInputName(path)) {
        case InputNameStatus::kInvalidName:
            return Error{Error::Code::kInvalidName, path, 0, {}};
        case InputNameStatus::kWrongExtension:
            return Error{Error::Code::kWrongExtension, path, 0, {}};
        case InputNameStatus::kOk:
        case InputNameStatus::kFileMissing:
            break;
    }
    return std::nullopt;
}

std::optional<Error> ReadPageFile(const Text& path, files::FileSystem& fs, Text& bytes) {
    bytes.clear();
    // Looked at before anything else and before it is opened: opening a FIFO for reading
    // would wait for a writer, and a device is no page whatever its name.
    files::FileInfo info;
    if (Text failure = fs.Stat(path, info); !failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    if (info.kind == files::FileInfo::Kind::kDirectory ||
        info.kind == files::FileInfo::Kind::kLink || info.kind == files::FileInfo::Kind::kOther)
        return Error{Error::Code::kNotRegularFile, path, 0, {}};
    if (std::optional<Error> refusal = RefusePageName(path))
        return refusal;
    if (info.kind == files::FileInfo::Kind::kMissing)
        return Error{Error::Code::kFileMissing, path, 0, {}};
    // An empty block is left to the whole reading: the file may be empty or unreadable.
    if (std::optional<Error> refusal = RefusePage(FirstBlockOf(fs, path));
        refusal && refusal->code == Error::Code::kNotText) {
        refusal->path = path;
        return refusal;
    }
    if (Text failure = fs.ReadAll(path, bytes); !failure.empty())
        return Error{Error::Code::kFileUnreadable, path, 0, failure};
    return std::nullopt;
}

}  // namespace lumora::engine
