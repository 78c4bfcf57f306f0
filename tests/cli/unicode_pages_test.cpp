// Pages as they are today, through the command-line tool: encodings, Unicode words and
// character references.
#include <gtest/gtest.h>

#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace lumora::cli {
namespace {

using lumora::testing::ListedWords;
using lumora::testing::ReadFile;
using lumora::testing::RunResult;
using lumora::testing::RunTool;
using lumora::testing::TempDir;

// A page in Latin-1 and the same page transcoded to UTF-8 give the same keywords: the
// program reads what the reader sees, not the bytes.
TEST(UnicodePages, Latin1PageAndItsUtf8TranscodingGiveTheSameResults) {
    const std::string page =
        "<html><head><title>Caf\u00E9 na\u00EFve \u00E0 l'\u00E9t\u00E9</title>\r\n"
        "<meta name=\"description\" content=\"G\u00E2teaux, cr\u00E8me br\u00FBl\u00E9e et "
        "caf\u00E9.\">\r\n</head><body>\r\n"
        "<h1>Cr\u00E8me br\u00FBl\u00E9e</h1> <p>Le caf\u00E9 de l'\u00E9t\u00E9: g\u00E2teaux, "
        "cr\u00E8me, <b>sp\u00E9cialit\u00E9s</b> &eacute;t&eacute; CAF\u00C9 Caf\u00E9.</p>\r\n"
        "<p>\u00C5ngstr\u00F6m \u00D8resund \u00DEorn \u00C6gir stra\u00DFe \u00FFvon</p>\r\n"
        "</body></html>\r\n";
    TempDir dir;
    const std::string latin1 =
        dir.Write("latin1.htm", text::EncodeForPage(page, "windows-1252").bytes);
    const std::string utf8 = dir.Write("utf8.htm", page);
    ASSERT_NE(ReadFile(latin1), ReadFile(utf8));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{},
          {"--language", "fr", "--min-frequency", "1", "--keep-short-words"}}) {
        for (const char* command : {"generate", "list"}) {
            std::vector<std::string> args = {command};
            args.insert(args.end(), options.begin(), options.end());
            args.push_back(latin1);
            const RunResult a = RunTool(args);
            args.back() = utf8;
            const RunResult b = RunTool(args);
            EXPECT_EQ(a.status, 0) << a.err;
            EXPECT_EQ(a.out, b.out) << command;
            EXPECT_TRUE(IsValidUtf8(a.out));
        }
    }
    EXPECT_NE(RunTool({"list", latin1}).out.find(" caf\u00E9\n"), std::string::npos);
}

// Word edges of each script are the scanner's own tests; here, the counting that merges
// forms and case across the page.
TEST(UnicodePages, WordsOfAnyScriptWithTheirCaseMerged) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string page;
        std::vector<std::string> options;
        std::string words;
    };
    const Case cases[] = {
        {"decomposed and precomposed accents are one word",
         "<p>cafe\u0301 caf\u00E9 Cafe\u0301 CAF\u00C9 r\u00E9sum\u00E9 re\u0301sume\u0301</p>\r\n",
         {"--lower-case"},
         "caf\u00E9/4 r\u00E9sum\u00E9/2"},
        {"Greek and Cyrillic, case merged by the first letter",
         "<p>\u03A3\u03BF\u03C6\u03AF\u03B1 \u03C3\u03BF\u03C6\u03AF\u03B1 "
         "\u041C\u043E\u0441\u043A\u0432\u0430 \u043C\u043E\u0441\u043A\u0432\u0430 "
         "\u041C\u041E\u0421\u041A\u0412\u0410 \u03A3\u039F\u03A6\u0399\u0391</p>\r\n",
         {"--min-frequency", "1"},
         "\u03C3\u03BF\u03C6\u03AF\u03B1/2 \u043C\u043E\u0441\u043A\u0432\u0430/2 "
         "\u041C\u041E\u0421\u041A\u0412\u0410/1 \u03A3\u039F\u03A6\u0399\u0391/1"},
        {"lower-cased by simple case mapping",
         "<p>\u0416\u0418\u0417\u041D\u042C \u00C0PROPOS \u0394\u03A1\u039F\u039C\u039F\u03A3</p>",
         {"--lower-case", "--min-frequency", "1"},
         "\u0436\u0438\u0437\u043D\u044C/1 \u00E0propos/1 \u03B4\u03C1\u03BF\u03BC\u03BF\u03C3/1"},
        {"entities of a UTF-8 page",
         "<p>&Eacute;t&eacute; &#233;t&#xE9; c&oelig;ur d&rsquo;accord it&#8217;s "
         "&Zcaron;ivot&nbsp;&alpha;&beta;&gamma;</p>",
         {"--lower-case", "--min-frequency", "1"},
         "\u00E9t\u00E9/2 c\u0153ur/1 accord/1 \u017Eivot/1 \u03B1\u03B2\u03B3/1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"list"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(dir.Write("p.htm", c.page));
        const RunResult run = RunTool(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ListedWords(run.out), c.words) << run.out;
    }
}

TEST(UnicodePages, ShowAndMessagesAreUtf8) {
    TempDir dir;
    const std::string page = dir.Write("p.htm",
                                       "<title>Caf\xE9 \x93"
                                       "cr\xE8me\x94</title>\r\n<meta name=\"keywords\" "
                                       "content=\"caf\xE9\">\r\n");
    const RunResult run = RunTool({"show", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "TITLE: Caf\u00E9 \u201Ccr\u00E8me\u201D\n\nKEYWORDS meta tag: <meta "
              "name=\"keywords\" content=\"caf\u00E9\">\n\n\n");
    const RunResult missing = RunTool({"show", dir.File("n\xE9.htm")});
    EXPECT_TRUE(IsValidUtf8(missing.err)) << missing.err;
}

}  // namespace
}  // namespace lumora::cli
