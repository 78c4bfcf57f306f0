#include "scan/show_existing.h"

#include <algorithm>
#include <vector>

#include "error/error.h"
#include "files/file_system.h"
#include "html/head_scan.h"
#include "text/encoding.h"

namespace lumora::scan {

namespace {

constexpr TextView kEntryEnd = "\r\n\r\n";

struct Entry {
    html::Span span;
    int order;  // within one tag: keywords, description, marker
    TextView label;
};

void AddEntries(std::vector<Entry>& entries, const std::vector<html::Span>& tags, int order,
                TextView label) {
    for (const html::Span& tag : tags) entries.push_back({tag, order, label});
}

}  // namespace

Text ShowExistingReportForPage(TextView pageBytes, TextView encoding) {
    // The tags are shown as characters: the page is decoded first. Mark-up is ASCII in
    // every encoding a page may use, so the head reads the same in the decoded text.
    // A page that is UTF-8 already is read where it lies rather than copied.
    text::DecodeResult decoded;
    TextView page;
    if (std::optional<text::PageView> asIs = text::ReadableAsIs(pageBytes, encoding)) {
        page = asIs->text;
    } else {
        decoded = text::DecodePage(pageBytes, encoding);
        if (!decoded.ok())
            return EncodingFailure(*decoded.error).Message();
        page = decoded.page.text;
    }
    const html::Head head = html::ScanHead(page);
    std::vector<Entry> entries;
    if (head.title)
        entries.push_back({*head.title, 0, "TITLE: "});
    AddEntries(entries, head.keywordsTags, 1, "KEYWORDS meta tag: ");
    AddEntries(entries, head.descriptionTags, 2, "DESCRIPTION meta tag: ");
    AddEntries(entries, head.doneMarkerTags, 3, "LMRA meta tag: ");
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.span.begin != b.span.begin ? a.span.begin < b.span.begin : a.order < b.order;
    });

    Text report;
    for (const Entry& entry : entries) {
        report += entry.label;
        report += entry.span.In(page);
        report += kEntryEnd;
    }
    if (head.keywordsTags.empty())
        report += "No keywords meta tag found.";
    return report;
}

Text ShowExistingReport(const Text& path) {
    Text bytes;
    if (!files::RealFileSystem().ReadAll(path, bytes).empty())
        return "Error when looking for keywords meta tag.";
    return ShowExistingReportForPage(bytes);
}

}  // namespace lumora::scan
