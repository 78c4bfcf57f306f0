// The insert command for one page: the tag written into the page, or with a dry run the
// diff of what would be written. Used alike for one page and for a whole site.
#pragma once

#include <optional>

#include "engine/engine.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::cli {

struct InsertRequest {
    Text path;                    // the page as the user named it
    TextView bytes;               // the page as it was analysed (the dry run's "before")
    Text tag;                     // the composed tag; empty when no word qualified
    std::optional<int> maxBytes;  // the tag's byte limit, for the refusal of a tag without keyword
    Text encoding;                // --encoding: the page's encoding, "" to detect it
    bool backup = true;
    // Backups go into this folder, under the page's path relative to `root` (the folder
    // argument the page was found in, "" for a page named directly), not beside the page.
    Text backupFolder;
    Text root;
    bool dryRun = false;
    files::FileSystem* fileSystem = nullptr;  // null: the operating system's files
};

struct InsertReport {
    bool ok = false;
    bool written = false;    // the page on disk changed
    bool unchanged = false;  // the page already held the tag as it would be written
    // What is printed on standard output, without the final line end: the final message,
    // or for a dry run the unified diff (empty when nothing would change) or the refusal.
    // Names in a refusal are escaped for the console; a diff keeps the page's own bytes.
    Text text;
    std::optional<Text> keptBackup;  // an earlier backup that was left as it was
    // A refusal as JSON gives it, which escapes by itself: the name as it is.
    Text plainText;
};

// A dry run checks what insert checks (a tag with keywords, a backup name, a page that may
// be replaced, a place for the tag) and writes nothing.
InsertReport InsertPage(const InsertRequest& request);

}  // namespace lumora::cli
