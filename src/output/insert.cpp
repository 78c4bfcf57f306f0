#include "output/insert.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "html/splice.h"

namespace lumora::output {

namespace {

constexpr std::size_t kNone = TextView::npos;

Text FolderOf(const Text& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == kNone)
        return ".";
    return slash == 0 ? Text("/") : path.substr(0, slash);
}

// Puts `bytes` at `target` by way of a new file beside it, renamed over `target` only once
// it is complete and durable, so `target` never holds a part of it. `modeFrom` lends the
// permissions. The new file does not outlive a failure.
Text ReplaceFile(files::FileSystem& fs, const Text& target, TextView bytes, const Text& modeFrom) {
    const Text folder = FolderOf(target);
    Text temp;
    Text error = fs.CreateTemp(folder, temp);
    if (!error.empty())
        return error;
    error = fs.Write(temp, bytes);
    if (error.empty())
        error = fs.Sync(temp);
    if (error.empty())
        error = fs.CopyMode(modeFrom, temp);
    if (error.empty())
        error = fs.Rename(temp, target);
    if (!error.empty()) {
        fs.Remove(temp);
        return error;
    }
    return fs.SyncFolder(folder);
}

// A page reached through a symbolic link is replaced where it really lives, so that the
// link stays a link.
Text RealPageOf(const Text& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path real = std::filesystem::canonical(path, ec);
        if (!ec)
            return real.string();
    }
    return path;
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

InsertOutcome InsertMetaTag(const Text& pagePath, const Text& tag,
                            const std::optional<Text>& backupPath, files::FileSystem& fs) {
    using Kind = InsertOutcome::Kind;
    const Text page = RealPageOf(pagePath);
    Text oldBytes;
    if (Text error = fs.ReadAll(page, oldBytes); !error.empty())
        return {Kind::kFailed, std::move(error)};

    const html::SpliceResult spliced = html::SpliceKeywordsTag(oldBytes, tag);
    if (spliced.refusal) {
        switch (*spliced.refusal) {
            case html::SpliceRefusal::kNotAKeywordsTag:
                return {Kind::kNotATag, {}};
            case html::SpliceRefusal::kNoKeyword:
                return {Kind::kNoKeyword, {}};
            case html::SpliceRefusal::kNowhereToInsert:
                return {Kind::kNowhereToInsert, {}};
        }
    }
    const Text& newBytes = spliced.page;
    // The backup is in place before the page changes, so a failure in between leaves the
    // old page and its copy, never a new page without the promised backup.
    if (backupPath) {
        if (Text error = ReplaceFile(fs, *backupPath, oldBytes, page); !error.empty())
            return {Kind::kFailed, std::move(error)};
    }
    if (Text error = ReplaceFile(fs, page, newBytes, page); !error.empty())
        return {Kind::kFailed, std::move(error)};
    return {Kind::kInserted, {}};
}

InsertMessage MessageFor(const InsertOutcome& outcome) {
    switch (outcome.kind) {
        case InsertOutcome::Kind::kInserted:
            return {"Meta tag inserted successfully into document.", "Done"};
        case InsertOutcome::Kind::kNowhereToInsert:
            return {
                "Meta tag not inserted because the page has neither a keywords meta tag\r\n"
                "nor an end of its head (</head>) or a <body> tag where it could go.",
                "Not inserted"};
        case InsertOutcome::Kind::kNoKeyword:
            return {"Meta tag not inserted because it holds no keyword.", "Not inserted"};
        case InsertOutcome::Kind::kNotATag:
            return {"No meta tag to insert.", "Error"};
        case InsertOutcome::Kind::kFailed:
            break;
    }
    return {outcome.error, "Error"};
}

}  // namespace lumora::output
