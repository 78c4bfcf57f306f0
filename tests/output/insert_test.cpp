#include "output/insert.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Kind = InsertOutcome::Kind;
using testing::ReadFile;
using testing::TempDir;

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";

TEST(InsertMetaTag, RewrittenPage) {
    Text body;  // every byte but CR must come through unchanged
    for (int b = 0; b < 256; ++b) body += b == '\r' ? '.' : static_cast<char>(b);
    const struct {
        const char* name;
        Text page, expected;  // expected empty: the page must stay as it is
        Kind kind;
    } cases[] = {
        {"own line", "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n<body>",
         "<head>\r\n" + kTag + "\r\n</head><body>\r\n", Kind::kInserted},
        {"text around the old tag",
         "<head><META NAME=\"keywords\" CONTENT=\"old\">  <title>T</title>",
         "<head>" + kTag + "\r\n<title>T</title>\r\n", Kind::kInserted},
        {"every closed tag before the end of the head",
         "<meta name=\"Keywords\">\r<meta content=x name=\"keywords\">\r<link "
         "\"keywords\">\r</HEAD>\r<meta name=\"keywords\">",
         kTag + "\r\n" + kTag + "\r\n<link \"keywords\">\r\n</HEAD><meta name=\"keywords\">\r\n",
         Kind::kInserted},
        {"before the end of the head, empty lines",
         "<head>\r\n\r\n<meta name='keywords'>\r\n  \r\n\r\n</head>\r\n\r\n" + body + "\n",
         "<head>\r\n<meta name='keywords'>\r\n  \r\n" + kTag + "\r\n\r\n</head>\r\n" + body +
             "\n\r\n",
         Kind::kInserted},
        {"text on the head's line", "<title>T</title></head>  <body> \r\n",
         "<title>T</title>" + kTag + "\r\n\r\n</head><body>\r\n", Kind::kInserted},
        {"lf only", "<head>\n<meta name=\"keywords\" content=\"a\">\n</head>\n",
         "<head>\n" + kTag + "\r\n\n</head>\n\r\n", Kind::kInserted},
        {"old tag not closed", "<meta name=\"keywords\" content=\"a,\r\nb\">\r\n</head>", "",
         Kind::kTagNotClosed},
        {"no place", "<html><body>\r\n<meta name=keywords>", "", Kind::kNowhereToInsert},
        {"empty page", "", "", Kind::kNowhereToInsert},
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
    const Text page = dir.Write("page.htm", big + "<meta \"keywords\">" + big + "</head>\n");
    EXPECT_EQ(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem()).kind,
              Kind::kInserted);
    EXPECT_EQ(ReadFile(page), big + kTag + "\r\n" + big + "</head>\n\r\n");
}

TEST(InsertMetaTag, BackupPaths) {
    EXPECT_EQ(BackupPathFor("page.htm"), "page.bak.htm");
    EXPECT_EQ(BackupPathFor("/w/index.html"), "/w/index.bak.html");
    EXPECT_EQ(BackupPathFor("/my.site/page"), "/my.bak.site/page");
    EXPECT_EQ(BackupPathFor("/site/page"), std::nullopt);
}

}  // namespace
}  // namespace lumora::output
