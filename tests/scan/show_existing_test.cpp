#include "scan/show_existing.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace lumora::scan {
namespace {

using testing::TempDir;

constexpr const char* kNoKeywords = "No keywords meta tag found.";
constexpr const char* kError = "Error when looking for keywords meta tag.";

TEST(ShowExistingReport, EntriesOfTheHead) {
    const Text keywords = "<meta name=\"keywords\" content=\"a, b\">";
    const Text description = "<META NAME=\"Description\" CONTENT=\"About A\">";
    const Text longLine = "<meta name=\"keywords\" content=\"" + Text(100000, 'x') + "\">";
    const struct {
        const char* name;
        Text page, report;
    } cases[] = {
        {"title and tags in line order",
         "<html>\r\n<head>\r\n   <Title>Page A</TITLE>\r\n" + description + "\r\n" + keywords +
             "\r\n</head>\r\n",
         "TITLE: Page A\r\n\r\nDESCRIPTION meta tag: " + description +
             "\r\n\r\nKEYWORDS meta tag: " + keywords + "\r\n\r\n"},
        {"titles, quotes, no keywords",
         "<title>One\r\ntwo</title>\r\n<head><title>T</title>\r<meta name='keywords'>\r<meta "
         "name=keywords>" +
             description,
         "TITLE: One\r\n\r\nDESCRIPTION meta tag: <meta name=keywords>" + description + "\r\n\r\n" +
             kNoKeywords},
        {"two tags on one line, lmra, unclosed",
         description + "<meta name=\"lmra done\" content=\"x",
         "DESCRIPTION meta tag: " + description + "\r\n\r\nLMRA meta tag: " + description +
             "<meta name=\"lmra done\" content=\"x\r\n\r\n" + kNoKeywords},
        {"line after a comment skips the head test",
         "<!-- a\r\nb -->\r\n" + keywords + "</head>\r\n<title>T</title>\r\n",
         "KEYWORDS meta tag: " + keywords + "\r\n\r\nTITLE: T\r\n\r\n"},
        {"unclosed comment", "<title>T</title>\r\n<!-- a\r\nb\r\n",
         "TITLE: T\r\n\r\n" + Text(kError)},
        {"comment on the last line", "<!-- a -->", kError},
        {"lf only, tags after the head", "<head>\n" + keywords + "\n</head>\n\r" + keywords,
         kNoKeywords},
        {"positions beyond 16 bits", "<head>\n" + Text(40000, ' ') + longLine,
         "KEYWORDS meta tag: " + longLine + "\r\n\r\n"},
        {"empty page", "", kNoKeywords},
    };
    TempDir dir;
    for (const auto& c : cases) {
        EXPECT_EQ(ShowExistingReport(dir.Write("page.htm", c.page)), c.report) << c.name;
    }
    EXPECT_EQ(ShowExistingReport(dir.File("missing.htm")), kError);
    EXPECT_EQ(ShowExistingReport(dir.Path()), kError);  // a folder cannot be read as a page
}

}  // namespace
}  // namespace lumora::scan
