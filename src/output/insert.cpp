#include "output/insert.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "files/page_file.h"

namespace lumora::output {

namespace {

constexpr TextView kCrLf = "\r\n";
constexpr TextView kHeadEnd = "</head>";
constexpr TextView kMetaStart = "<meta ";
constexpr TextView kQuotedKeywords = "\"keywords\"";
constexpr std::size_t kNone = TextView::npos;

enum class Rewrite { kDone, kTagNotClosed, kNowhereToInsert };

// The keywords meta tag of a lower-cased line: false when the line names no keywords in
// double quotes after a "<meta "; otherwise `start` is the position of that "<meta " and
// `end` that of the first ">" after the name, kNone when the tag does not close on the line.
bool FindKeywordsMetaTag(TextView lower, std::size_t& start, std::size_t& end) {
    const std::size_t k = lower.find(kQuotedKeywords);
    if (k == kNone || k == 0)
        return false;
    start = lower.rfind(kMetaStart, k - 1);
    if (start == kNone)
        return false;
    end = lower.find('>', k + 1);
    return true;
}

// Drops the blanks at both ends of a line and of its lower-cased copy alike (lower-casing
// leaves blanks where they are), so positions found in the copy still fit the line.
void TrimBoth(TextView& line, TextView& lower) {
    const TextView trimmed = TrimBlanks(line);
    const std::size_t offset =
        trimmed.empty() ? 0 : static_cast<std::size_t>(trimmed.data() - line.data());
    line = trimmed;
    lower = lower.substr(offset, trimmed.size());
}

Rewrite RewritePage(TextView page, TextView tag, Text& out) {
    out.clear();
    out.reserve(page.size() + page.size() / 16 + tag.size() + 16);
    bool headDone = false;
    bool tagWritten = false;
    Text lowerLine;
    std::size_t next = 0;
    while (next < page.size()) {
        // A line ends at CR or CR LF; a lone LF is part of the line.
        const std::size_t cr = page.find('\r', next);
        TextView line = page.substr(next, cr == kNone ? kNone : cr - next);
        next = cr == kNone ? page.size() : cr + 1;
        if (cr != kNone && next < page.size() && page[next] == '\n')
            ++next;

        if (headDone) {
            out.append(line).append(kCrLf);
            continue;
        }
        lowerLine.assign(line);
        LowerInPlace(lowerLine);
        TextView lower = lowerLine;

        std::size_t start = 0;
        std::size_t end = 0;
        if (FindKeywordsMetaTag(lower, start, end)) {
            // An old tag running on over the next line cannot be cut out safely.
            if (end == kNone)
                return Rewrite::kTagNotClosed;
            out.append(line.substr(0, start)).append(tag).append(kCrLf);
            tagWritten = true;
            line.remove_prefix(end + 1);
            lower.remove_prefix(end + 1);
            TrimBoth(line, lower);
        }

        const std::size_t h = lower.find(kHeadEnd);
        if (h != kNone) {
            out.append(line.substr(0, h));
            if (!tagWritten) {
                out.append(tag).append(kCrLf).append(kCrLf);
                tagWritten = true;
            }
            // </head> keeps the page's own case and gets no line end of its own.
            out.append(line.substr(h, kHeadEnd.size()));
            const TextView rest = TrimBlanks(line.substr(h + kHeadEnd.size()));
            if (!rest.empty())
                out.append(rest).append(kCrLf);
            headDone = true;
        } else if (!line.empty()) {
            out.append(line).append(kCrLf);
        }
    }
    return tagWritten ? Rewrite::kDone : Rewrite::kNowhereToInsert;
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
    files::FileInfo info;
    if (Text problem = files::CheckReplaceable(page, info, fs); !problem.empty()) {
        // The message names the page as the user gave it, not where a link led.
        if (page != pagePath && problem.starts_with(page))
            problem.replace(0, page.size(), pagePath);
        return {Kind::kRefused, std::move(problem)};
    }
    Text oldBytes;
    if (Text error = fs.ReadAll(page, oldBytes); !error.empty())
        return {Kind::kFailed, pagePath + " could not be read: " + error};

    Text newBytes;
    switch (RewritePage(oldBytes, tag, newBytes)) {
        case Rewrite::kTagNotClosed:
            return {Kind::kTagNotClosed, {}};
        case Rewrite::kNowhereToInsert:
            return {Kind::kNowhereToInsert, {}};
        case Rewrite::kDone:
            break;
    }
    // The backup is in place before the page changes, so a failure in between leaves the
    // old page and its copy, never a new page without the promised backup.
    if (backupPath) {
        if (Text error = files::ReplaceFile(fs, *backupPath, oldBytes, info, *backupPath);
            !error.empty())
            return {Kind::kFailed, std::move(error)};
    }
    if (Text error = files::ReplaceFile(fs, page, newBytes, info, pagePath); !error.empty())
        return {Kind::kFailed, std::move(error)};
    return {Kind::kInserted, {}};
}

InsertMessage MessageFor(const InsertOutcome& outcome) {
    switch (outcome.kind) {
        case InsertOutcome::Kind::kInserted:
            return {"Meta tag inserted successfully into document.", "Done"};
        case InsertOutcome::Kind::kTagNotClosed:
            return {
                "Meta tag not inserted because existing meta tag\r\n"
                "extends over more than one line or is invalid.\r\n"
                "Suggestion: Delete the existing meta tag.",
                "Not inserted"};
        case InsertOutcome::Kind::kNowhereToInsert:
            return {
                "Meta tag not inserted because the page has neither a keywords meta tag\r\n"
                "nor a </head> tag before which it could go.",
                "Not inserted"};
        case InsertOutcome::Kind::kRefused:
            return {outcome.error, "Not inserted"};
        case InsertOutcome::Kind::kFailed:
            break;
    }
    return {outcome.error, "Error"};
}

}  // namespace lumora::output
