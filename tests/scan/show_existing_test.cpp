#include "scan/show_existing.h"

#include <gtest/gtest.h>

namespace lumora::scan {
namespace {

constexpr const char* kNoKeywords = "No keywords meta tag found.";

// The report of the tags that insert would replace, in page order, each whole as written
// (which tags the head holds is the head scanner's affair).
TEST(ShowExistingReport, EntriesOfTheDecodedHeadInPageOrder) {
    const Text keywords = "<meta name=\"keywords\" content=\"a, b\">";
    const Text description = "<META NAME=\"Description\" CONTENT=\"About A\">";
    const struct {
        const char* name;
        Text page, report;
    } cases[] = {
        {"title and tags in page order",
         "<html>\r\n<head>\r\n   <Title>Page A</TITLE>\r\n" + description + "\r\n" + keywords +
             "\r\n</head>\r\n",
         "TITLE: Page A\r\n\r\nDESCRIPTION meta tag: " + description +
             "\r\n\r\nKEYWORDS meta tag: " + keywords + "\r\n\r\n"},
        {"any quoting, title shown whole",
         "<title>One\r\ntwo</title>\r\n<head><title>T</title>\r<meta name='keywords'>\r<meta "
         "name=keywords>" +
             description,
         "TITLE: One\r\ntwo\r\n\r\nKEYWORDS meta tag: <meta name='keywords'>\r\n\r\n"
         "KEYWORDS meta tag: <meta name=keywords>\r\n\r\nDESCRIPTION meta tag: " +
             description + "\r\n\r\n"},
        {"a tag over several lines, shown whole, and the marker",
         "<meta\nname=\"keywords\"\ncontent=\"lmra done\">\n<meta name=a content='LMRA done'>",
         "KEYWORDS meta tag: <meta\nname=\"keywords\"\ncontent=\"lmra done\">\r\n\r\n"
         "LMRA meta tag: <meta\nname=\"keywords\"\ncontent=\"lmra done\">\r\n\r\n"
         "LMRA meta tag: <meta name=a content='LMRA done'>\r\n\r\n"},
        {"an unclosed tag is none", description + "<meta name=\"lmra done\" content=\"x",
         "DESCRIPTION meta tag: " + description + "\r\n\r\n" + kNoKeywords},
        {"ISO-2022-JP characters, whose bytes look like mark-up",
         "<meta name=\"keywords\" content=\"\x1B$B\"(B>\x1B(B\">",
         "KEYWORDS meta tag: <meta name=\"keywords\" content=\"\u203B\u4ED6\">\r\n\r\n"},
        {"UTF-16, full of NUL bytes", Text("\xFF\xFE<\0t\0i\0t\0l\0e\0>\0\xE9\0", 18),
         "TITLE: \u00E9\r\n\r\n" + Text(kNoKeywords)},
        {"empty page", "", kNoKeywords},
    };
    for (const auto& c : cases) EXPECT_EQ(ShowExistingReportForPage(c.page), c.report) << c.name;
}

}  // namespace
}  // namespace lumora::scan
