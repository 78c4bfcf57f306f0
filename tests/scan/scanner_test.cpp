#include "scan/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "scan/prepare.h"

namespace lumora::scan {
namespace {

// Records every word as "word:weight", a * marking title and meta words.
struct RecordingSink : WordSink {
    RecordingSink(const Scanner& s, const WeightSettings& w, std::size_t stop)
        : scanner(s), weights(w), stopAfter(stop) {}
    void OnWord(TextView word) override {
        words << (count++ > 0 ? " " : "") << word << ':' << scanner.ContextWeight(weights)
              << (scanner.InTitleOrMetaContent() ? "*" : "");
    }
    bool ShouldStop() override { return count >= stopAfter; }

    const Scanner& scanner;
    const WeightSettings& weights;
    std::size_t stopAfter, count = 0;
    std::ostringstream words;
};

// Scans the lines of a page (separated by '\n') as a pass does: each is made ready (trimmed,
// lower-cased unless the case is kept, prepared, decoded, given one trailing space).
std::string Scan(Scanner& scanner, const std::string& page, const WeightSettings& weights,
                 bool keepCase = false, std::size_t stopAfter = SIZE_MAX) {
    RecordingSink sink(scanner, weights, stopAfter);
    std::istringstream lines(page);
    std::string ready, scratch;
    for (std::string line; std::getline(lines, line) && !sink.ShouldStop();) {
        if (ReadyLine(line, !keepCase, ready, scratch))
            scanner.ScanLine(ready, weights, sink);
    }
    return sink.words.str();
}

std::string ScanPage(const std::string& page, const WeightSettings& weights = {},
                     bool keepCase = false) {
    Scanner scanner;
    return Scan(scanner, page, weights, keepCase);
}

TEST(ScannerTest, ContextWeightsWithDefaults) {
    const std::pair<const char*, const char*> cases[] = {
        {"<h4>head</h4> after", "head:18 after:3"},
        {"<div><table><tr><td>cell</td></tr></table></div> out", "cell:7 out:3"},
        {"<title>Site <b>name</b>\n<h1>still</title> head</h1>",
         "site:90* name:90* still:90* head:33"},
        {"<b class=x>no</b> <strong>yes</strong> <i>it</i><em>em</em>", "no:3 yes:7 it:7 em:7"},
        {"don't I'm John's they're", "john:3 s:3 they:3 re:3"},
        {"AT&T &copy; 2006 &x & y;z", "at:3 t:3 x:3 y:3 z:3"},
        {"a <!-- b\nc <b>\nd --> e", "a:3 e:3"},
        {"<!-->x <script>var v</SCRIPT>y <Style>p{}</style>z", "x:3 y:3 z:3"},
        {"> x <a href=y>z</a> 1 > w", "x:3 z:3 w:3"},
        {"a < b <c> d\ne > f", "a:3 f:3"},  // a lone < silences up to a lone >
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(ScanPage(page), expected) << page;
}

TEST(ScannerTest, MetaTags) {
    const std::pair<const char*, const char*> cases[] = {
        {"<meta name=\"description\" content=\"Good food\"> x", "good:50* food:50* x:3"},
        {"<meta content=\"good\" name=\"description\">x", "good:50* name:50* description:50* x:3"},
        {"<meta name='description' content='no'>x", "x:3"},
        {"<meta name=\"keywords\" content=\"alpha beta\"> gamma", "gamma:3"},
        {"<meta name=\"description\" content=\"x\"><meta http-equiv=\"Content-Type\" "
         "content=\"text/html\"> y",
         "x:50* y:3"},
        {"<meta name=\"description\"><p>content=\"no\"</p>", "content:3 no:3"},
        // A > inside a quoted value does not end the tag.
        {"<meta name=\"description\" title=\"1>2\" content=\"d\">", "d:50*"},
        // A meta tag left open at the end of its line: the rest is read as text.
        {"<META CONTENT=\"good\"\nNAME = \"Description\">x", "name:3 description:3 x:3"},
        {"<meta name=\"description\"\ncontent=\"late\">x", "content:3 late:3 x:3"},
        // Not a keywords tag: its form must not change what the page ranks.
        {"<meta name=\"keywords\" content=\"a,\nbeta\"> gamma", "gamma:3"},
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(ScanPage(page), expected) << page;
    WeightSettings keywords;
    keywords.existingKeywords = 30;
    EXPECT_EQ(ScanPage("<meta name=\"keywords\" content=\"alpha beta\"> gamma", keywords),
              "alpha:30* beta:30* gamma:3");
    EXPECT_EQ(ScanPage("<meta name=\"description\" content=\"d\"><meta name=\"keywords\" "
                       "content=\"k\"><meta name=\"robots\" content=\"all\">",
                       keywords),
              "d:50* k:30*");
}

TEST(ScannerTest, FontSizes) {
    const std::pair<const char*, const char*> cases[] = {
        {"<font size=+2>big</font> after", "big:5 after:3"},
        {"<font size=+1><font size=+1>a</font>b</font>c", "a:5 b:4 c:3"},
        {"<font size=2.5>a</font><font size=3.5>b</font><font size=+ 1.51>c</font>", "a:2 b:4 c:5"},
        {"<font size=5>x\n</font> y", "x:3 y:3"},  // no end tag on its line: no size
        // "size" with a space inside: nothing to read, and the scan must not go back.
        {"<font si ze=5>a</font> b", "a:3 b:3"},
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(ScanPage(page), expected) << page;
    EXPECT_EQ(ScanPage("<FONT size=+2>Big</FONT> after", {}, true), "Big:5 after:3");
}

TEST(ScannerTest, ZeroWeightBlocksAreSkippedToTheirMatchingEnd) {
    WeightSettings none;
    none.table = none.div = none.span = 0;
    const std::pair<const char*, const char*> cases[] = {
        {"a<table>b\n<TABLE>c</table>d\ne</table></table>f g", "a:3 f:3 g:3"},
        {"a<table>b</table></table>c", "a:3 c:3"},
        {"<div class=x>x\ny\n</div>z <span>s</span>t", "z:3 t:3"},
        {"<div><!-- </div> -->x</div>y", "x:3 y:3"},  // nothing but delimiters counts inside
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(ScanPage(page, none), expected) << page;
    // Delimiters in any case, also with the case of the page kept.
    EXPECT_EQ(ScanPage("x <DiV>y</dIv> z <SpAn>s</sPaN>t <TaBle>u</TABLE>v <td>w", none, true),
              "x:3 z:3 t:3 v:3 w:3");
}

TEST(ScannerTest, KeptCaseLongWordsAndStop) {
    EXPECT_EQ(ScanPage("<Strong>Big</STRONG> <H1>Caf&eacute;</h1> &NBSP;", {}, true),
              "Big:7 Caf\u00E9:33");
    EXPECT_EQ(ScanPage(std::string(70000, 'w')),
              std::string(65000, 'w') + ":3 " + std::string(5000, 'w') + ":3");
    Scanner scanner;
    EXPECT_EQ(Scan(scanner, "one two three\nfour", {}, false, 2), "one:3 two:3");
}

// Words of any script, cut at every character that is not a letter; the apostrophe
// rules hold for ’ as for '.
TEST(ScannerTest, UnicodeWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"\u00DCbersicht \u00EAtre", "\u00FCbersicht:3 \u00EAtre:3"},
        {"c\u0153ur \u0152uvre \u0160koda", "c\u0153ur:3 \u0153uvre:3 \u0161koda:3"},
        {"\u039A\u03CC\u03C3\u03BC\u03BF\u03C2 \u041C\u0418\u0420",
         "\u03BA\u03CC\u03C3\u03BC\u03BF\u03C2:3 \u043C\u0438\u0440:3"},
        {"don\u2019t I\u2019m John\u2019s they\u2019re", "john:3 s:3 they:3 re:3"},
        {"\u201Cquoted\u201D\u2014dash\u2026end \u00ABx\u00BB", "quoted:3 dash:3 end:3 x:3"},
        {"\u00AA \u00B5m 3\u00BA", "\u00AA:3 \u00B5m:3 \u00BA:3"},  // ª µ º are letters
        // A decomposed accent stays inside its word and is composed: one form for both.
        {"cafe\u0301 caf\u00E9", "caf\u00E9:3 caf\u00E9:3"},
        // Zero-width joiners inside Persian and Indic words; elsewhere they separate.
        {"\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645 a\u200C b\u200D",
         "\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645:3 a:3 b:3"},
        {"\xFF"
         "broken\xC3",
         "broken:3"},  // bytes that are not UTF-8 separate words
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(ScanPage(page), expected) << page;
}

TEST(ScannerTest, ResetLeavesNoContextOfTheLastPage) {
    WeightSettings weights;
    weights.table = 0;
    for (const char* ending :
         {"<!-- open", "<title>t", "<h1>h", "<b><i>x", "<font size=7", "<script>", "<style x",
          "<table><div><span>a", "<a", "<meta name=\"description\" content=\"d"}) {
        Scanner scanner;
        Scan(scanner, ending, weights);
        scanner.Reset();
        EXPECT_EQ(Scan(scanner, "word", weights), "word:3") << ending;
        EXPECT_EQ(scanner.FontSize(), 3);
        EXPECT_EQ(scanner.HeadingWeight(), 0);
    }
}

TEST(ScannerTest, DeepNestingDoesNotWrapAround) {
    const int depth = 100000;
    std::string page;
    for (int k = 0; k < depth; ++k) page += "<table>";
    page += "x";
    for (int k = 0; k < depth; ++k) page += "</table>";
    page += " y\n";
    for (int k = 0; k < depth; ++k) page += "<a";
    page += std::string(depth, '>') + " z";
    EXPECT_EQ(ScanPage(page), "x:5 y:3 z:3");
}

std::string Times(const std::string& piece, std::size_t count) {
    std::string all;
    all.reserve(piece.size() * count);
    for (std::size_t k = 0; k < count; ++k) all += piece;
    return all;
}

TEST(ScannerTest, PathologicalLinesFinishAndKeepTheirMeaning) {
    const std::size_t size = 1'000'000;
    EXPECT_EQ(ScanPage(std::string(size, '<') + " word"), "");
    EXPECT_EQ(ScanPage(std::string(size, '&') + " word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<meta ", size / 6) + "> word"), "word:3");
    EXPECT_EQ(ScanPage("<p a=\"" + Times("<meta ", size / 6) + "> word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<meta title=\"x\" ", size / 16) + "> word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<font size=", size / 11) + "> word\n</font>more"), "more:3");
    EXPECT_EQ(ScanPage(Times("<div>", size / 5) + "x"), "x:5");

    // Many tags on one line that each look ahead in the rest of it.
    const std::size_t count = 20000;
    std::string expected = Times("d:50* a:7 ", count);
    expected.pop_back();
    EXPECT_EQ(
        ScanPage(Times("<meta name=\"description\" content=\"d\"><font size=+4>a</font>", count)),
        expected);
}

}  // namespace
}  // namespace lumora::scan
