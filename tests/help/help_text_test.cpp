#include "help/help_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace lumora::help {
namespace {

std::vector<Text> SplitCrLf(const Text& text) {
    std::vector<Text> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find("\r\n"); at != Text::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

TEST(HelpText, EveryLineBreakIsCrLfAndParagraphsAreSeparated) {
    const Text text = BuildHelpText("http://x.example/m");
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            ASSERT_LT(i + 1, text.size());
            EXPECT_EQ(text[i + 1], '\n') << "lone CR at " << i;
        }
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF at " << i;
        }
    }
    const auto lines = SplitCrLf(text);
    // 42 line breaks; the text ends with one, so the last piece is empty.
    ASSERT_EQ(lines.size(), 43u);
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(lines[lines.size() - 2], "This program is free to use.");
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_EQ(lines[lines.size() - 4], "Lumora was written by the Lumora team.");
}

TEST(HelpText, ManualAddressIsInsertedVerbatimInTheFirstParagraph) {
    for (const Text& address : {Text(), Text("https://www.quarvel.example/lumora/manual.html"),
                                Text("http://h\xE9t\xE9.example/a b")}) {
        const auto lines = SplitCrLf(BuildHelpText(address));
        EXPECT_EQ(lines[0], "An illustrated verson of this documentation can be found at " +
                                address +
                                ".  This help window may be resized or maximized for easier "
                                "reading.");
        EXPECT_EQ(lines[1], "");
    }
}

TEST(HelpText, ContextListAndPiecesWithDoubleBlanksAreExact) {
    const Text text = BuildHelpText("m");
    const auto lines = SplitCrLf(text);
    const std::vector<Text> contexts = {
        "(a) in the title, <TITLE>...</TITLE>",
        "(b) in the description, <META NAME=\"description\" CONTENT=\"...\">",
        "(c) among existing keywords, <META NAME=\"keywords\" CONTENT=\"...\">",
        "(d) in a heading, e.g., <H4>...</H4>",
        "(e) in boldface, <B>...</B> and <STRONG>...</STRONG>",
        "(f) in italics, <I>...</I> and <EM>...</EM>",
        "(g) in a table, <TABLE>...</TABLE> and",
        "(h) within <DIV>...</DIV> and <SPAN>...</SPAN>.",
    };
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[3], "");
    for (std::size_t i = 0; i < contexts.size(); ++i) EXPECT_EQ(lines[4 + i], contexts[i]);
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines[2].rfind("This program generates keywords meta tags.  It works basically", 0),
              0u);
    EXPECT_NE(lines[2].find("'the' and 'which').  It does not, however,"), Text::npos);
    EXPECT_TRUE(lines[2].ends_with("importance to words which occur:"));
    for (const char* piece :
         {"to be ignored.  These tags can be nested.  The degree of nesting",
          "5 *(7 - 4) = 15.\r\n\r\n", "always be used).  You can specify the maximum",
          "either:\r\n(i)click on 'List words'", "frequency or\r\n(ii) click on 'Generate/show",
          "'Begin meta tag with' textbox", "document.  Or perhaps better, copy it"}) {
        EXPECT_NE(text.find(piece), Text::npos) << piece;
    }
}

TEST(HelpLayout, TextFillsTheWindowAndCloseStaysCentredAboveTheBottom) {
    struct Case {
        int width, height;
        HelpWindowLayout expected;
    };
    const std::vector<Case> cases = {
        {kDesignClientWidth + kFrameWidth,
         kDesignClientHeight + kFrameHeight,
         {8230, 6335, 3682, 6615}},
        {20000, 15000, {19650, 13920, 9392, 14200}},
        {1565, 1081, {1215, 1, 175, 281}},
        // Smaller than the margins: no negative sizes, the button still follows the edges.
        {300, 500, {0, 0, -457, -300}},
        {0, 0, {0, 0, -607, -800}},
    };
    for (const auto& c : cases) {
        const auto got = HelpLayout(c.width, c.height);
        EXPECT_EQ(got.textWidth, c.expected.textWidth) << c.width << "x" << c.height;
        EXPECT_EQ(got.textHeight, c.expected.textHeight) << c.width << "x" << c.height;
        EXPECT_EQ(got.closeLeft, c.expected.closeLeft) << c.width << "x" << c.height;
        EXPECT_EQ(got.closeTop, c.expected.closeTop) << c.width << "x" << c.height;
    }
    // Centred under the text box whatever the width.
    for (int w = 2000; w < 30000; w += 777) {
        const auto got = HelpLayout(w, 9000);
        EXPECT_LE(std::abs(2 * got.closeLeft + kCloseWidth - w), 1) << w;
    }
}

}  // namespace
}  // namespace lumora::help
