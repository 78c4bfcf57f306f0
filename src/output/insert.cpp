#include "output/insert.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "files/page_file.h"
#include "html/splice.h"
#include "text/encoding.h"

namespace lumora::output {

namespace {

constexpr std::size_t kNone = TextView::npos;

// A page reached through a symbolic link is replaced where it really lives, so that the
// link stays a link. A link that cannot be resolved (one leading nowhere) is left to the
// checks of the page, which tell what it is; a path that cannot even be looked at fails
// here, as the opening of its folder would.
Text RealPageOf(const Text& path, files::FileSystem& fs, Text& page) {
    page = path;
    files::FileInfo info;
    if (Text error = fs.StatLink(path, info); !error.empty())
        return error;
    Text real;
    if (info.kind == files::FileInfo::Kind::kLink && fs.RealPath(path, real).empty())
        page = std::move(real);
    return {};
}

InsertResult Refused(Error error) {
    InsertResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

std::optional<Text> BackupPathFor(TextView path) {
    const std::size_t dot = path.rfind('.');
    if (dot == kNone)
        return std::nullopt;
    Text backup(path.substr(0, dot + 1));
    backup += "bak";
    backup += path.substr(dot);
    return backup;
}

Text BackupPathIn(const Text& folder, const Text& pagePath, const Text& root) {
    namespace fs = std::filesystem;
    fs::path relative;
    if (!root.empty() && pagePath.starts_with(root)) {
        relative = fs::path(pagePath.substr(root.size())).relative_path();
    } else {
        relative = fs::path(pagePath).lexically_normal();
        const bool climbs = !relative.empty() && *relative.begin() == "..";
        if (relative.is_absolute() || climbs) {
            std::error_code ec;
            relative = fs::absolute(pagePath, ec).lexically_normal().relative_path();
        }
    }
    return (fs::path(folder) / relative).string();
}

bool IsBackupName(TextView name) {
    const std::size_t dot = name.rfind('.');
    return dot != kNone && name.substr(0, dot).ends_with(".bak");
}

InsertPlan PlanInsert(TextView oldBytes, const Text& tag, TextView encoding, const Text& pagePath) {
    using Code = Error::Code;
    // Only the encoding's name is wanted: a UTF-8 page is not copied to find it.
    Text pageEncoding;
    if (std::optional<text::PageView> asIs = text::ReadableAsIs(oldBytes, encoding)) {
        pageEncoding = std::move(asIs->encoding);
    } else {
        text::DecodeResult decoded = text::DecodePage(oldBytes, encoding);
        if (!decoded.ok())
            return {EncodingFailure(*decoded.error, pagePath), {}};
        pageEncoding = std::move(decoded.page.encoding);
    }
    if (pageEncoding.starts_with("UTF-16"))
        return {Error{Code::kWideEncoding, pagePath}, {}};
    // The tag is found and placed by the page's bytes, which after an ISO-2022 escape may
    // be parts of characters, whatever the page is read as. Every other encoding we read
    // keeps the bytes of a character other than its first at 0x30 and above, clear of
    // < > " ' & = /.
    if (std::optional<Text> markupLike = text::Iso2022EscapeIn(oldBytes))
        return {Error{Code::kStatefulEncoding, pagePath, 0, {}, 0, std::move(*markupLike)}, {}};
    text::EncodeResult encodedTag = text::EncodeForPage(tag, pageEncoding);
    if (!encodedTag.ok())
        return {EncodingFailure(*encodedTag.error, pagePath), {}};

    html::SpliceResult spliced = html::SpliceKeywordsTag(oldBytes, encodedTag.bytes);
    if (spliced.refusal) {
        switch (*spliced.refusal) {
            case html::SpliceRefusal::kNotAKeywordsTag:
                return {Error{Code::kNotATag}, {}};
            case html::SpliceRefusal::kNoKeyword:
                return {Error{Code::kNoKeyword}, {}};
            case html::SpliceRefusal::kNowhereToInsert:
                return {Error{Code::kNowhereToInsert, pagePath}, {}};
        }
    }
    return {std::nullopt, std::move(spliced.page)};
}

InsertResult InsertMetaTag(const Text& pagePath, const Text& tag,
                           const std::optional<Backup>& backup, files::FileSystem& fs,
                           TextView encoding, const Text& root) {
    // A page found in a folder walk is never a link (the walk takes none); one named
    // directly may be, and is replaced where it lives.
    Text page = pagePath;
    files::Folder folder;
    Text name;
    Text failure = root.empty() ? RealPageOf(pagePath, fs, page) : Text();
    if (failure.empty())
        failure = files::OpenFolderOf(fs, page, root, false, folder, name);
    if (!failure.empty()) {
        const bool missing = failure == std::strerror(ENOENT);
        return Refused(missing
                           ? Error{Error::Code::kNoSuchFile, pagePath}
                           : Error{Error::Code::kCannotExamine, pagePath, 0, std::move(failure)});
    }
    files::FileInfo info;
    // The message names the page as the user gave it, not where a link led.
    if (std::optional<Error> problem = files::CheckReplaceable(fs, folder, name, pagePath, info))
        return Refused(std::move(*problem));
    Text oldBytes;
    if (Text error = fs.ReadAll(folder, name, oldBytes); !error.empty())
        return Refused(Error{Error::Code::kReadFailed, pagePath, 0, std::move(error)});

    InsertPlan plan = PlanInsert(oldBytes, tag, encoding, pagePath);
    if (plan.refusal)
        return Refused(std::move(*plan.refusal));
    const Text& newBytes = plan.page;
    InsertResult result;
    // No change, no write: the page keeps its file, its time and any backup.
    if (newBytes == oldBytes)
        return result;
    // The backup is in place before the page changes, so a failure in between leaves the
    // old page and its copy, never a new page without the promised backup.
    if (backup) {
        // Beside the page as given, the backup goes into the folder already open.
        const bool besidePage = page == pagePath && !backup->makeFolders &&
                                files::FolderOf(backup->path) == files::FolderOf(pagePath);
        files::Folder own;
        Text backupName;
        if (besidePage) {
            backupName = backup->path.substr(backup->path.rfind('/') + 1);
        } else if (Text error = files::OpenFolderOf(fs, backup->path, backup->top,
                                                    backup->makeFolders, own, backupName);
                   !error.empty()) {
            return Refused(Error{Error::Code::kReplaceFailed, backup->path, 0, std::move(error)});
        }
        const files::Folder& backupFolder = besidePage ? folder : own;
        files::FileInfo there;
        if (Text error = fs.Stat(backupFolder, backupName, there); !error.empty())
            return Refused(Error{Error::Code::kCannotExamine, backup->path, 0, std::move(error)});
        if (there.kind == files::FileInfo::Kind::kRegular) {
            result.keptBackup = backup->path;
        } else if (there.kind != files::FileInfo::Kind::kMissing) {
            return Refused(Error{Error::Code::kNotRegularFile, backup->path});
        } else if (auto error = files::WriteNewFile(fs, backupFolder, backupName, oldBytes, info,
                                                    backup->path)) {
            return Refused(std::move(*error));
        }
    }
    result.error = files::ReplaceFile(fs, folder, name, newBytes, info, pagePath, &info);
    result.changed = !result.error || result.error->code == Error::Code::kNotDurable;
    return result;
}

}  // namespace lumora::output
