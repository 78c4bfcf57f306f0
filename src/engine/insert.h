// Writing the composed keywords meta tag into the page: the one way the command-line tool
// (one page or a whole site) and the window insert a tag, check a page before they ask
// anything, and show a dry run. Unlike Analyse, this reads and writes files, through the
// FileSystem it is given.
#pragma once

#include <optional>

#include "engine/engine.h"

namespace lumora::engine {

// Where the page as it was is kept before the tag goes in. A backup already there is
// never overwritten: it holds the page from before the first insert.
enum class BackupPlace {
    kNone,
    kBesidePage,  // "page.htm" -> "page.bak.htm"; refused (kNoBackupName) without a "."
    kInFolder,    // in InsertOptions::backupFolder, under the page's path from its root
};

// How every page of a run is inserted into.
struct InsertOptions {
    BackupPlace backup = BackupPlace::kBesidePage;
    Text backupFolder;  // for kInFolder: made as needed
    // The byte limit the tag was composed with, for the refusal of a tag that no keyword
    // fitted in; nullopt: no limit.
    std::optional<int> maxBytes;
    Text encoding;        // the page's encoding as the user chose it; "" detects it
    bool dryRun = false;  // check all insert checks, write nothing, give the diff
    // With dryRun: only whether the page would change (InsertResult::changed), no diff.
    bool checkOnly = false;
};

struct InsertRequest {
    Text path;  // the page, exactly as the user named it
    // The folder argument the page was found in ("" for a page named directly): backups
    // in a folder go under the page's path relative to it, and below it no symbolic link
    // is followed.
    Text root;
    TextView analysedBytes;  // the page as it was analysed: a dry run's "before"
    Text tag;                // the composed tag; empty when no word qualified
    InsertOptions options;
};

struct InsertResult {
    // Why nothing (or, for kNotDurable, not everything) was done; the page then stays as
    // it was unless `changed`.
    std::optional<Error> error;
    // The page was rewritten; with a dry run, it would be.
    bool changed = false;
    std::optional<Text> keptBackup;  // an earlier backup that was left as it was
    // With a dry run: the unified diff of what would change, empty when nothing would.
    std::optional<Text> diff;
    bool ok() const { return !error.has_value(); }
};

// Checks the tag (one keywords meta tag, with a keyword in it) and the backup's name,
// then writes the tag into the page: every keywords meta tag of the head replaced in
// place, or the tag put where the head ends; no other byte changes. A page that already
// holds the tag as it would be written is not written at all. The page is only ever
// replaced whole, and only while it is still the file that was read. A dry run checks
// what an insert checks (a page that may be replaced, a place for the tag) on the bytes
// that were analysed, and writes nothing.
InsertResult Insert(const InsertRequest& request, FileSystem& fs);

// What the page would become, without writing anything: asked before the user is asked
// anything about a page that will not change or cannot take the tag.
struct InsertPlan {
    std::optional<Error> refusal;  // the tag, or the page, cannot take part
    bool upToDate = false;         // the page already holds the tag as it would be written
    Text page;                     // the page's new bytes
    // PlanInsertInto with options.dryRun: the unified diff of what would change.
    std::optional<Text> diff;
};
// The page is read from `path` as it is now; options.backup, backupFolder and dryRun play
// no part.
InsertPlan PlanInsert(const Text& path, const Text& tag, const InsertOptions& options,
                      FileSystem& fs);

// The same for a page given as bytes rather than as a file (standard input): checked as
// insert checks a page's bytes, with nothing read or written; `pageName` names it in the
// refusal and the diff.
InsertPlan PlanInsertInto(TextView page, const Text& tag, const InsertOptions& options,
                          const Text& pageName);

// Where BackupPlace::kBesidePage keeps the page: "bak" put before the last extension of
// the path ("page.htm" -> "page.bak.htm"); nullopt when the path has no ".".
std::optional<Text> BackupBeside(TextView path);

// What an insert that succeeded tells the user (lines parted by CR LF), naming the page
// and any kept backup as `result` and `pageName` give them, and the title of its box.
Text InsertedMessage(const InsertResult& result, const Text& pageName);
inline constexpr const char* kInsertedTitle = "Done";

}  // namespace lumora::engine
