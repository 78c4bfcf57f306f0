#include <gtest/gtest.h>

#include "engine/engine.h"

namespace lumora::engine {
namespace {

constexpr const char* kNoKeywords = "No keywords meta tag found.";

TEST(Show, EntriesOfTheHeadAsABrowserReadsIt) {
    const Text keywords = "<meta name=\"keywords\" content=\"a, b\">";
    const Text description = "<META NAME=\"Description\" CONTENT=\"About A\">";
    const Text longLine = "<meta name=\"keywords\" content=\"" + Text(100000, 'x') + "\">";
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
        {"comments, scripts and the body hide tags",
         "<!-- " + keywords + " -->\r\n<script>'" + keywords + "'</script>\r\n</head>\r\n" +
             keywords + "\r\n<body>" + keywords,
         "KEYWORDS meta tag: " + keywords + "\r\n\r\n"},
        {"unclosed comment", "<title>T</title>\r\n<!-- a\r\n" + keywords,
         "TITLE: T\r\n\r\n" + Text(kNoKeywords)},
        {"text starts the body", "<head>\nText\n" + keywords, kNoKeywords},
        {"lf only", "<head>\n" + keywords + "\n</head>\n<body>\n" + keywords,
         "KEYWORDS meta tag: " + keywords + "\r\n\r\n"},
        {"positions beyond 16 bits", "<head>\n" + Text(40000, ' ') + longLine,
         "KEYWORDS meta tag: " + longLine + "\r\n\r\n"},
        {"ISO-2022-JP characters, whose bytes look like mark-up",
         "<meta name=\"keywords\" content=\"\x1B$B\"(B>\x1B(B\">",
         "KEYWORDS meta tag: <meta name=\"keywords\" content=\"\u203B\u4ED6\">\r\n\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Show(c.page).shown.report, c.report) << c.name;
}

}  // namespace
}  // namespace lumora::engine
