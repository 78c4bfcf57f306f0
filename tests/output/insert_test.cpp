#include "output/insert.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Code = Error::Code;
// The code an insert failed with; nullopt when the tag went in.
std::optional<Code> CodeOf(const InsertResult& result) {
    return result.error ? std::optional<Code>(result.error->code) : std::nullopt;
}
constexpr std::optional<Code> kInserted = std::nullopt;
Text MessageOf(const InsertResult& result) {
    return result.error ? result.error->Message() : Text();
}
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
        std::optional<Code> code;
    } cases[] = {
        {"own line", "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n<body>",
         "<head>\r\n" + kTag + "\r\n</head>\r\n<body>", kInserted},
        {"before the end of the head, blank lines kept",
         "<head>\n\n  <title>T</title>\n  \n\n</head>\n\n" + body,
         "<head>\n\n  <title>T</title>\n  \n\n  " + kTag + "\n</head>\n\n" + body, kInserted},
        {"old tag over several lines", "<meta name=\"keywords\" content=\"a,\r\nb\">\r\n</head>",
         kTag + "\r\n</head>", kInserted},
        {"no place", "<html><p>\r\n<meta name=keywords></head><body>", "", Code::kNowhereToInsert},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", c.page);
        const InsertResult outcome =
            InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(CodeOf(outcome), c.code) << c.name << ": " << MessageOf(outcome);
        EXPECT_EQ(ReadFile(page), c.expected.empty() ? c.page : c.expected) << c.name;
    }
    // A page that is one long line still works, and works in linear time.
    const Text big(2 << 20, 'x');
    const Text page =
        dir.Write("page.htm", "<meta name=\"keywords\" title='" + big + "'></head>" + big);
    EXPECT_EQ(CodeOf(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem())), kInserted);
    EXPECT_EQ(ReadFile(page), kTag + "</head>" + big);
}

// A tag that would damage the page, or hold no keyword, is refused and the page stays.
TEST(InsertMetaTag, RefusesTagsThatAreNoKeywordsTag) {
    const Text old = "<head>\n<meta name=keywords content=\"a, b\">\n</head>\n";
    const struct {
        Text tag;
        std::optional<Code> code;
        const char* message;
    } cases[] = {
        {"<META NAME=\"keywords\" CONTENT=\"\">", Code::kNoKeyword,
         "Meta tag not inserted because it holds no keyword."},
        {"<META NAME=\"keywords\" CONTENT=\"a\"><script>x()</script>", Code::kNotATag,
         "No meta tag to insert."},
        {"Rank Value Frequency", Code::kNotATag, "No meta tag to insert."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", old);
        const InsertResult outcome =
            InsertMetaTag(page, c.tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(CodeOf(outcome), c.code) << c.tag;
        EXPECT_EQ(MessageOf(outcome), c.message);
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
        std::optional<Code> code;
        Text expectedTag;  // as bytes in the page
    };
    const Case cases[] = {
        {"<head><meta charset=utf-8></head>caf\u00E9", kInserted, utf8Tag},
        {"<head><meta charset=iso-8859-1></head>caf\xE9", kInserted,
         "<META NAME=\"keywords\" CONTENT=\"caf\xE9, &#344;ez\">"},
        {"<head><meta charset=iso-8859-2></head>caf\xE9", kInserted,
         "<META NAME=\"keywords\" CONTENT=\"caf\xE9, \xD8"
         "ez\">"},
        {Text("\xFF\xFE<\0h\0>\0", 8), Code::kWideEncoding, ""},
    };
    for (const Case& c : cases) {
        const Text page = dir.Write("p.htm", c.page);
        const InsertResult outcome =
            InsertMetaTag(page, utf8Tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(CodeOf(outcome), c.code) << c.page;
        const Text after = ReadFile(page);
        if (c.code == kInserted) {
            EXPECT_NE(after.find(c.expectedTag), Text::npos) << after;
        } else {
            EXPECT_EQ(after, c.page);
            EXPECT_NE(MessageOf(outcome).find(page + " is written in UTF-16"), Text::npos);
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
