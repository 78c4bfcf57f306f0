// Writing the keywords meta tag into the page itself, with an optional backup of the page
// as it was. The page on disk is only ever replaced whole, so that at any moment its path
// holds either the old or the new content.
#pragma once

#include <optional>
#include <utility>

#include "error/error.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::output {

// "page.htm" -> "page.bak.htm"; "index.html" -> "index.bak.html". "bak" goes after the
// last "." of the whole path, even one in a folder name ("/my.site/page" ->
// "/my.bak.site/page"); nullopt when the path has no ".".
std::optional<Text> BackupPathFor(TextView path);
// Whether a file name (without folder) is one BackupPathFor gives: "STEM.bak.EXT", EXT
// without a ".".
bool IsBackupName(TextView name);

// The backup of a page in a folder of backups: `folder` followed by the page's path
// relative to `root`, the folder argument the page was found in ("" for a page named
// directly). A page named directly keeps its path as given; one that starts at "/" or
// climbs out with ".." is placed by its whole path from the root.
Text BackupPathIn(const Text& folder, const Text& pagePath, const Text& root);

// Where the page as it was is kept: a first backup is never overwritten, so that it holds
// the page from before the first insert (an author's own keywords, say).
struct Backup {
    Backup(Text backupPath, bool makeMissingFolders = false,  // NOLINT: a path is a backup
           Text topFolder = {})
        : path(std::move(backupPath)), makeFolders(makeMissingFolders), top(std::move(topFolder)) {}
    Text path;
    bool makeFolders = false;  // a separate folder of backups: missing folders are made
    // The folder the user named that `path` lies in ("" for none): below it, no symbolic
    // link is followed (see files::OpenFolderOf).
    Text top;
};

// What an insert came to. Refusals (see files::CheckReplaceable, and a tag or page that
// cannot take part) leave the page alone; so does every failure but kNotDurable, which
// comes after a file was already replaced.
struct InsertResult {
    std::optional<Error> error;
    bool changed = false;            // the page was rewritten
    std::optional<Text> keptBackup;  // an earlier backup that was left as it was
    bool ok() const { return !error.has_value(); }
};

// The page's new bytes for `tag` (UTF-8), or why it cannot take it; nothing is read or
// written. InsertMetaTag and the dry run both use it, so a dry run shows exactly what an
// insert writes.
struct InsertPlan {
    std::optional<Error> refusal;
    Text page;
};
InsertPlan PlanInsert(TextView oldBytes, const Text& tag, TextView encoding, const Text& pagePath);

// Writes `tag` into the page, changing nothing else: every keywords meta tag of the head
// is replaced by it in place, otherwise it goes where the head ends, before </head> or
// where a browser ends it by itself (see html::SpliceKeywordsTag, which also keeps an
// XHTML page well-formed). A tag that is not one keywords meta tag, or holds no keyword,
// is refused, as is a page without any mark-up; the page is then left alone. Nothing on
// disk changes unless the new page is complete; the page is replaced as files::ReplaceFile
// does it, keeping its owner, group and mode, and only while it is still the file that
// was read (kChangedMeanwhile otherwise). A page named directly that is a symbolic link is
// replaced where it lives. The page's folder is opened once, before the page is read, and
// everything after happens in that folder; for a page found in the folder `root` (a
// folder argument; "" when the page was named directly), no symbolic link below `root` is
// followed. With `backup`, a file not yet there is written the same way first and ends up
// holding exactly the page as it was; one already there is kept. Nothing is written for a
// refused page, nor for one that already holds the tag exactly as it would be written.
//
// `tag` is UTF-8; it is written in the page's own encoding, found as a pass finds it
// (`encoding` overrides the detection), each character that encoding cannot hold as a
// numeric character reference.
InsertResult InsertMetaTag(const Text& pagePath, const Text& tag,
                           const std::optional<Backup>& backup, files::FileSystem& fs,
                           TextView encoding = {}, const Text& root = {});

}  // namespace lumora::output
