#include "output/meta_tag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace lumora::output {
namespace {

using words::WordEntry;

std::vector<WordEntry> Words(std::initializer_list<const char*> words) {
    std::vector<WordEntry> entries;
    for (const char* w : words) entries.push_back({w, 1, 50.0f, false});
    return entries;
}

Text Box(TextView content, int keywords, int bytes) {
    return "<META NAME=\"keywords\" CONTENT=\"" + Text(content) +
           "\">\r\n\r\nNumber of keywords in meta tag: " + std::to_string(keywords) +
           "\r\nNumber of bytes in meta tag: " + std::to_string(bytes);
}

TEST(BuildMetaTag, PhrasesSeparatorsAndLimits) {
    struct Case {
        std::vector<WordEntry> words;
        const char* beginWith;
        std::optional<int> maxKeywords, maxBytes;
        bool space, preserveCase;
        const char* content;
        int keywords, bytes;
    };
    const Case cases[] = {
        {Words({"editor", "tags"}), "  Web Design, html ", 50, 500, true, false,
         "web design,html, editor, tags", 4, 60},
        {Words({"alpha"}), "my phrase", 50, 500, true, true, "my phrase, alpha", 2, 47},
        // Only whole words of the phrases are left out, never parts of longer ones.
        {Words({"art", "cake"}), "party", 50, 500, false, true, "party,art,cake", 3, 45},
        {Words({"design", "cake"}), "web design", 50, 500, false, true, "web design,cake", 2,
         46},
        // A word the table holds twice goes into the tag once.
        {Words({"pa", "cake", "pa"}), "", 50, 500, false, true, "pa,cake", 2, 38},
        {Words({"abcdefghi", "x"}), "", std::nullopt, 40, false, true, "", 0, 31},
        {Words({"aaaa", "bbbb", "c"}), "", 0, 40, true, true, "aaaa, bbbb", 2, 41},
        {Words({"a", "b", "c", "d"}), "", 2, 0, false, true, "a,b", 2, 34},
        {Words({"a", "b"}), "", 1000000, 1000000, false, true, "a,b", 2, 34},
        // Phrases are written as an attribute value; the limit counts them as written.
        {Words({"alpha"}), "\"><script>x</script>, a&b", 50, 500, false, true,
         "&quot;>&lt;script>x&lt;/script>,a&amp;b,alpha", 3, 76},
        // Phrases and limits count characters; word edges are found in any script.
        {Words({"r\u00E8me", "cr\u00E8me", "\u00E9t\u00E9"}), "Caf\u00E9 cr\u00E8me", 50, 500,
         false, false, "caf\u00E9 cr\u00E8me,r\u00E8me,\u00E9t\u00E9", 3, 50},
        {Words({"\u0436\u0438\u0437\u043D\u044C", "x"}), "", std::nullopt, 37, false, true,
         "\u0436\u0438\u0437\u043D\u044C", 1, 36},
    };
    for (const Case& c : cases) {
        const MetaTagOptions options{c.maxKeywords, c.maxBytes, c.beginWith, c.preserveCase,
                                     c.space};
        EXPECT_EQ(BuildMetaTag(c.words, options).output, Box(c.content, c.keywords, c.bytes));
    }
}

TEST(RefuseTagWithoutKeyword, OnlyEmptyTags) {
    const struct {
        const char* tag;
        std::optional<int> maxBytes;
        std::optional<Text> refusal;
    } cases[] = {
        {"<META NAME=\"keywords\" CONTENT=\"\">", 10,
         "Meta tag not inserted into p.htm: no keyword fits in 10 characters."},
        {"<META NAME=\"keywords\">", std::nullopt,
         "Meta tag not inserted into p.htm: it holds no keyword."},
        {"<META NAME=\"keywords\" CONTENT=\"a\">", 10, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto refusal = RefuseTagWithoutKeyword(c.tag, c.maxBytes, "p.htm");
        EXPECT_EQ(refusal ? std::optional<Text>(refusal->Message()) : std::nullopt, c.refusal)
            << c.tag;
    }
}

TEST(BuildMetaTag, NoWordsAndLongTags) {
    const MetaTagResult none = BuildMetaTag({}, {50, 500, "  as typed ", true, true, 2, 2});
    EXPECT_EQ(none.output, "No words with more than 2 letters occur at least twice.");
    EXPECT_EQ(none.beginWith, "  as typed ");
    EXPECT_EQ(BuildMetaTag(Words({"x"}), {50, 500, "  as typed ", true, true}).beginWith,
              "as typed");

    // Without limits the tag outgrows any 16-bit counter.
    std::vector<WordEntry> many;
    Text content;
    for (int i = 0; i < 20000; ++i) {
        many.push_back({"w" + std::to_string(i), 1, 1.0f, false});
        content += (i ? "," : "") + many.back().word;
    }
    EXPECT_EQ(BuildMetaTag(many, {std::nullopt, std::nullopt, "", true, false}).output,
              Box(content, 20000, static_cast<int>(content.size()) + 31));
}

TEST(ListWords, RowsRoundingZeroNoteAndNoWords) {
    std::vector<WordEntry> list(57, WordEntry{"filler", 1, 1.0f, false});
    list[0] = {"half", 7, 2.5f, false};
    list[1] = {"odd", 7, 3.5f, false};
    list[2] = {"editor", 12, 42.5f, false};
    list[3] = {"busy", 123456, 10.0f, false};
    list[4] = {"faint", 1, 0.4f, false};
    list[5] = {"fainter", 1, 0.2f, false};
    const Text out = ListWords(list, 2, 2);
    EXPECT_TRUE(
        out.starts_with("Rank Value Frequency\r\n   1     2    7 half\r\n   2     4    7 odd\r\n"
                        "   3    42   12 editor\r\n   4    10 123456 busy\r\n"
                        "\r\nWords with key value 0 not shown.\r\n   7     1    1 filler\r\n"));
    EXPECT_EQ(out.find("Words with key value 0"), out.rfind("Words with key value 0"));
    const std::vector<WordEntry> wide(10000, WordEntry{"w", 1, 5.0f, false});
    EXPECT_NE(ListWords(wide, 2, 2).find("\r\n10000     5    1 w\r\n"), Text::npos);

    EXPECT_EQ(ListWords({}, 2, 1), "No words with more than 2 letters occur at least once.");
    EXPECT_EQ(NoWordsMessage(1, 5), "No words with more than 1 letter occur at least 5 times.");
}

TEST(GetMetaTag, TakesTheTagOutOfTheBox) {
    const std::pair<Text, Text> cases[] = {
        {"  <META x>\r\n\r\nNumber of keywords in meta tag: 1\r\nNumber of bytes", "<META x>"},
        {" Rank Value\r\n   1   100    3 word\r\n ", "Rank Value\r\n   1   100    3 word"},
        {"\x01 caf\xE9\x7F \x1F", "caf\xE9\x7F"},
    };
    for (const auto& [box, tag] : cases) EXPECT_EQ(GetMetaTag(box), tag) << box;
}

TEST(LimitChecks, CleanAndRefuseOutOfRange) {
    const Text messages[] = {"", "Minimum number of keywords in the meta tag is 5.",
                             "Maximum number of keywords in the meta tag is 100.",
                             "Maximum number of bytes in the meta tag is 1000."};
    const std::tuple<bool, const char*, const char*, int> cases[] = {
        {false, "-20", "20", 0},    {false, "7+", "7", 0},     {false, "5", "5", 0},
        {false, "4", "50", 1},      {false, "101", "50", 2},   {false, "99999999999", "50", 2},
        {true, "1,000", "1000", 0}, {true, "1.500", "500", 3},
    };
    for (const auto& [bytes, input, text, message] : cases) {
        const LimitCheck check = bytes ? CheckMaxBytes(input) : CheckMaxKeywords(input);
        EXPECT_EQ(check.text, text) << input;
        EXPECT_EQ(check.refused, message != 0) << input;
        EXPECT_EQ(check.message, messages[message]) << input;
    }
    Text signs = "++--5-+";
    CleanNumericInput(signs, true);
    EXPECT_EQ(signs, "+-5");
}

TEST(Numbers, ReadingAndRoundingNeverOverflow) {
    EXPECT_EQ(LeadingNumber(" 1 000.5.1x"), 1000.5);
    EXPECT_EQ(LeadingNumber("0." + Text(400, '0') + "1"), 0.0);
    EXPECT_EQ(RoundHalfEven(LeadingNumber(Text(400, '9'))), 2147483647);
    EXPECT_EQ(RoundHalfEven(LeadingNumber("-" + Text(400, '9'))), -2147483648LL);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

}  // namespace
}  // namespace lumora::output
