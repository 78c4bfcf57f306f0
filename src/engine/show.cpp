#include <algorithm>
#include <vector>

#include "engine/engine.h"
#include "engine/reading.h"
#include "html/head_scan.h"
#include "text/encoding.h"

namespace lumora::engine {

namespace {

constexpr TextView kEntryEnd = "\r\n\r\n";

struct Entry {
    html::Span span;
    int order;  // within one tag: keywords, description, marker
    TextView label;
};

Text Report(TextView page, const html::Head& head) {
    std::vector<Entry> entries;
    if (head.title)
        entries.push_back({*head.title, 0, "TITLE: "});
    const auto add = [&](const std::vector<html::Span>& tags, int order, TextView label) {
        for (const html::Span& tag : tags) entries.push_back({tag, order, label});
    };
    add(head.keywordsTags, 1, "KEYWORDS meta tag: ");
    add(head.descriptionTags, 2, "DESCRIPTION meta tag: ");
    add(head.doneMarkerTags, 3, "LMRA meta tag: ");
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

}  // namespace

ExistingTags ExistingTagsOf(TextView page, const html::Head& head) {
    ExistingTags existing;
    if (head.title)
        existing.title = Text(head.title->In(page));
    for (const html::Span& tag : head.descriptionTags)
        existing.descriptions.emplace_back(tag.In(page));
    for (const html::Span& tag : head.keywordsTags) existing.keywords.emplace_back(tag.In(page));
    return existing;
}

ShowResult Show(TextView pageBytes, TextView encoding) {
    ShowResult result;
    PageFacts& facts = result.shown.page;
    facts.size = static_cast<std::int64_t>(pageBytes.size());
    if (auto refusal = RefusePage(pageBytes)) {
        result.error = std::move(refusal);
        return result;
    }
    // The tags are shown as characters: the page is decoded first, as a pass decodes it. A
    // page that is UTF-8 already is read where it lies rather than copied.
    text::DecodeResult decoded;
    TextView page;
    if (auto asIs = text::ReadableAsIs(pageBytes, encoding)) {
        facts.encoding = std::move(asIs->encoding);
        facts.byteOrderMark = asIs->byteOrderMark;
        page = asIs->text;
    } else {
        decoded = text::DecodePage(pageBytes, encoding);
        if (!decoded.ok()) {
            result.error = EncodingFailure(*decoded.error);
            return result;
        }
        facts.encoding = decoded.page.encoding;
        facts.byteOrderMark = decoded.page.byteOrderMark;
        page = decoded.page.text;
    }
    LineSplitter lines(page);
    TextView line;
    std::int64_t start = 0;
    while (lines.Next(line, start)) {
    }
    facts.lineEnds = lines.Found();
    const html::Head head = html::ScanHead(page);
    result.shown.existing = ExistingTagsOf(page, head);
    result.shown.report = Report(page, head);
    return result;
}

}  // namespace lumora::engine
