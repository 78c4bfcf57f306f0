#include "scan/show_existing.h"

#include <algorithm>
#include <vector>

#include "files/file_system.h"
#include "html/head_scan.h"

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

Text ShowExistingReportForPage(TextView pageBytes) {
    const html::Head head = html::ScanHead(pageBytes);
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
        report += entry.span.In(pageBytes);
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
