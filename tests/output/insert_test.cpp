#include "output/insert.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Kind = InsertOutcome::Kind;
using testing::ReadFile;
using testing::TempDir;

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";

// Only the keywords tag changes on disk: line ends, blank lines and every other byte stay.
// Where the tag goes is the splice's business, tested on generated pages there.
TEST(InsertMetaTag, OnlyTheTagChanges) {
    Text body;  // every byte must come through unchanged
    for (int b = 0; b < 256; ++b) body += static_cast<char>(b);
    const struct {
        const char* name;
        Text page, expected;  // expected empty: the page must stay as it is
        Kind kind;
    } cases[] = {
        {"own line", "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n<body>",
         "<head>\r\n" + kTag + "\r\n</head>\r\n<body>", Kind::kInserted},
        {"before the end of the head, blank lines kept",
         "<head>\n\n  <title>T</title>\n  \n\n</head>\n\n" + body,
         "<head>\n\n  <title>T</title>\n  \n\n  " + kTag + "\n</head>\n\n" + body, Kind::kInserted},
        {"old tag over several lines", "<meta name=\"keywords\" content=\"a,\r\nb\">\r\n</head>",
         kTag + "\r\n</head>", Kind::kInserted},
        {"no place", "<html><p>\r\n<meta name=keywords></head><body>", "", Kind::kNowhereToInsert},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", c.page);
        const InsertOutcome outcome =
            InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(outcome.kind, c.kind) << c.name << ": " << outcome.error;
        EXPECT_EQ(ReadFile(page), c.expected.empty() ? c.page : c.expected) << c.name;
    }
    // A page that is one long line still works, and works in linear time.
    const Text big(2 << 20, 'x');
    const Text page =
        dir.Write("page.htm", "<meta name=\"keywords\" title='" + big + "'></head>" + big);
    EXPECT_EQ(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem()).kind,
              Kind::kInserted);
    EXPECT_EQ(ReadFile(page), kTag + "</head>" + big);
}

// A tag that would damage the page, or hold no keyword, is refused and the page stays.
TEST(InsertMetaTag, RefusesTagsThatAreNoKeywordsTag) {
    const Text old = "<head>\n<meta name=keywords content=\"a, b\">\n</head>\n";
    const struct {
        Text tag;
        Kind kind;
        const char* message;
    } cases[] = {
        {"<META NAME=\"keywords\" CONTENT=\"\">", Kind::kNoKeyword,
         "Meta tag not inserted because it holds no keyword."},
        {"<META NAME=\"keywords\" CONTENT=\"a\"><script>x()</script>", Kind::kNotATag,
         "No meta tag to insert."},
        {"Rank Value Frequency", Kind::kNotATag, "No meta tag to insert."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", old);
        const InsertOutcome outcome =
            InsertMetaTag(page, c.tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(outcome.kind, c.kind) << c.tag;
        EXPECT_EQ(MessageFor(outcome).prompt, c.message);
        EXPECT_EQ(ReadFile(page), old) << c.tag;
    }
}

// UTF-16 mark-up is not in single bytes, so the tag has no safe place: the page stays.
// Every other page gets the tag in its own encoding.
TEST(InsertMetaTag, WritesThePagesOwnEncodingAndLeavesUtf16Alone) {
    TempDir dir;
    const Text utf8Tag = "<META NAME=\"keywords\" CONTENT=\"caf\u00E9, \u0158ez\">";
    struct Case {
        Text page;
        Kind kind;
        Text expectedTag;  // as bytes in the page
    };
    const Case cases[] = {
        {"<head><meta charset=utf-8></head>caf\u00E9", Kind::kInserted, utf8Tag},
        {"<head><meta charset=iso-8859-1></head>caf\xE9", Kind::kInserted,
         "<META NAME=\"keywords\" CONTENT=\"caf\xE9, &#344;ez\">"},
        {"<head><meta charset=iso-8859-2></head>caf\xE9", Kind::kInserted,
         "<META NAME=\"keywords\" CONTENT=\"caf\xE9, \xD8"
         "ez\">"},
        {Text("\xFF\xFE<\0h\0>\0", 8), Kind::kWideEncoding, ""},
    };
    for (const Case& c : cases) {
        const Text page = dir.Write("p.htm", c.page);
        const InsertOutcome outcome =
            InsertMetaTag(page, utf8Tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(outcome.kind, c.kind) << c.page;
        const Text after = ReadFile(page);
        if (c.kind == Kind::kInserted) {
            EXPECT_NE(after.find(c.expectedTag), Text::npos) << after;
        } else {
            EXPECT_EQ(after, c.page);
            EXPECT_NE(MessageFor(outcome).prompt.find(page + " is written in UTF-16"), Text::npos);
        }
    }
}

TEST(InsertMetaTag, BackupPaths) {
    EXPECT_EQ(BackupPathFor("page.htm"), "page.bak.htm");
    EXPECT_EQ(BackupPathFor("/w/index.html"), "/w/index.bak.html");
    EXPECT_EQ(BackupPathFor("/my.site/page"), "/my.bak.site/page");
    EXPECT_EQ(BackupPathFor("/site/page"), std::nullopt);
}

}  // namespace
}  // namespace lumora::output
