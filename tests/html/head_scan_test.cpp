#include "html/head_scan.h"

#include <gtest/gtest.h>

#include <vector>

#include "html/splice.h"
#include "support/case_file.h"

namespace lumora::html {
namespace {

// The cases of tests/data/html_head.txt: what the scan finds, and where a new tag goes.
TEST(ScanHead, CasesOfTheDataFile) {
    const Text tag = "<META NAME=\"keywords\" CONTENT=\"bread, sourdough\">";
    const char* const lineEnds[] = {"none", "lf", "crlf", "cr"};  // in the order of LineEnd
    for (const testing::Case& c : testing::ReadCases("html_head.txt")) {
        SCOPED_TRACE(c.name);
        const Text page = c.Get("page");
        const Head head = ScanHead(page);
        // What the scan found, written as the cases write it; compared where a case says.
        testing::Case found;
        const auto add = [&](const char* field, const std::vector<Span>& tags) {
            for (const Span& span : tags) found.fields.emplace(field, span.In(page));
            if (tags.empty())
                found.fields.emplace(field, "(none)");
        };
        add("keywords", head.keywordsTags);
        add("description", head.descriptionTags);
        add("marker", head.doneMarkerTags);
        found.fields.emplace("head-end",
                             head.headEndTag ? page.substr(*head.headEndTag) : "(none)");
        found.fields.emplace("title", head.title ? Text(head.title->In(page)) : "(none)");
        found.fields.emplace("xhtml", head.xhtml ? "yes" : "no");
        found.fields.emplace("line-end", lineEnds[static_cast<int>(head.lineEnd)]);
        EXPECT_EQ(FirstLineEnd(page), head.lineEnd);
        for (const auto& [field, value] : c.fields) {
            if (field != "page" && field != "spliced") {
                EXPECT_EQ(found.All(field), c.All(field)) << field;
            }
        }
        if (c.Has("spliced")) {
            Text expected = c.Get("spliced");
            expected.replace(expected.find("{tag}"), 5, tag);
            const SpliceResult result = SpliceKeywordsTag(page, tag);
            EXPECT_FALSE(result.refusal);
            EXPECT_EQ(result.page, expected);
            EXPECT_EQ(SpliceKeywordsTag(result.page, tag).page, result.page);
        }
    }
}

// Pages built to make a careless scanner go back over what it has read. Each would take
// hours if any of these spots went quadratic; the suite's per-test time limit (set where
// the tests are registered) turns that into a failure.
TEST(ScanHead, LinearOnLongPathologicalPages) {
    constexpr std::size_t kSize = 4 << 20;
    const auto repeat = [](TextView piece) {
        Text page;
        page.reserve(kSize + piece.size());
        while (page.size() < kSize) page += piece;
        return page;
    };
    const Text pages[] = {
        repeat("<meta name=keywords content=x>"),    // a head of nothing but tags
        "<script>" + repeat("</scrip<!--<script "),  // near-misses of a script's end
        "<title>" + repeat("</titl"),                // near-misses of a title's end
        "<!--" + repeat("-- -!"),                    // near-misses of a comment's end
        "<meta " + repeat("a=\"1\" b "),             // one tag, endless attributes
        "<meta a=\"" + repeat("x"),                  // an attribute value never closed
        repeat("<!x"),                               // declarations never closed
        repeat("x < y "),                            // text all through, no mark-up
    };
    for (const Text& page : pages) {
        const Head head = ScanHead(page);
        EXPECT_LE(head.bodyStart, page.size()) << page.substr(0, 20);
    }
}

}  // namespace
}  // namespace lumora::html
