// Writing the keywords meta tag into the page itself, with an optional backup of the page
// as it was. The page on disk is only ever replaced whole, so that at any moment its path
// holds either the old or the new content.
#pragma once

#include <optional>

#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::output {

// "page.htm" -> "page.bak.htm"; "index.html" -> "index.bak.html". "bak" goes after the
// last "." of the whole path, even one in a folder name ("/my.site/page" ->
// "/my.bak.site/page"); nullopt when the path has no ".".
std::optional<Text> BackupPathFor(TextView path);

struct InsertOutcome {
    enum class Kind {
        kInserted,
        kNowhereToInsert,  // no keywords tag, no </head>, no <body>
        kNoKeyword,        // the tag's content is empty
        kNotATag,          // the text is not one keywords meta tag
        kRefused,          // the page may not be replaced (see files::CheckReplaceable)
        kWideEncoding,     // a UTF-16 page, whose mark-up is not in single bytes
        kFailed,
    };
    Kind kind;
    // For kRefused (the page may not be replaced: missing, not a regular file, read-only,
    // hard links) and kFailed: the message, naming the file; for kNowhereToInsert and
    // kWideEncoding the page's name as given.
    Text error;
};

// The page's new bytes for `tag` (UTF-8), or why it cannot take it; nothing is read or
// written. InsertMetaTag and the dry run both use it, so a dry run shows exactly what an
// insert writes.
struct InsertPlan {
    std::optional<InsertOutcome> refusal;
    Text page;
};
InsertPlan PlanInsert(TextView oldBytes, const Text& tag, TextView encoding, const Text& pagePath);

// Writes `tag` into the page, changing nothing else: every keywords meta tag of the head
// is replaced by it in place, otherwise it goes on a line of its own before the </head>
// that ends the head, or before the <body> tag (see html::SpliceKeywordsTag). A tag that
// is not one keywords meta tag, or holds no keyword, is refused, as is a page with nowhere
// to put it; the page is then left alone. Nothing on disk changes unless the new page is
// complete; the page is replaced as files::ReplaceFile does it, keeping its owner, group
// and mode, and one reached through a symbolic link is replaced where it lives. With
// `backupPath`, that file is written the same way first and ends up holding exactly the
// page as it was. Nothing is written for a refused page.
//
// `tag` is UTF-8; it is written in the page's own encoding, found as a pass finds it
// (`encoding` overrides the detection), each character that encoding cannot hold as a
// numeric character reference.
InsertOutcome InsertMetaTag(const Text& pagePath, const Text& tag,
                            const std::optional<Text>& backupPath, files::FileSystem& fs,
                            TextView encoding = {});

// The message box that reports an outcome.
struct InsertMessage {
    Text prompt;
    Text title;
};
InsertMessage MessageFor(const InsertOutcome& outcome);

}  // namespace lumora::output
