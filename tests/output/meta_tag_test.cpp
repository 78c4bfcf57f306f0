#include "output/meta_tag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "support/case_file.h"

namespace lumora::output {
namespace {

using words::WordEntry;

Text Box(TextView content, int keywords, int bytes) {
    return "<META NAME=\"keywords\" CONTENT=\"" + Text(content) +
           "\">\r\n\r\nNumber of keywords in meta tag: " + std::to_string(keywords) +
           "\r\nNumber of bytes in meta tag: " + std::to_string(bytes);
}

// A limit of the data file: a whole number, or nothing for no limit.
std::optional<int> Limit(const Text& text) {
    return text.empty() ? std::nullopt : std::optional<int>(std::stoi(text));
}

// The cases of tests/data/meta_tag.txt.
TEST(BuildMetaTag, PhrasesSeparatorsAndLimits) {
    for (const testing::Case& c : testing::ReadCases("meta_tag.txt")) {
        std::vector<WordEntry> words;
        std::istringstream in(c.Get("words"));
        for (std::string word; in >> word;) words.push_back({word, 1, 50.0f, false});
        const MetaTagOptions options{Limit(c.Get("max-keywords", "50")),
                                     Limit(c.Get("max-bytes", "500")), c.Get("begin-with"),
                                     c.Get("lower") != "yes", c.Get("space") == "yes"};
        EXPECT_EQ(BuildMetaTag(words, options).output,
                  Box(c.Get("tag"), std::stoi(c.Get("keywords")), std::stoi(c.Get("bytes"))))
            << c.name;
    }
}

TEST(BuildMetaTag, NoWordsAndLongTags) {
    const MetaTagResult none = BuildMetaTag({}, {50, 500, "  as typed ", true, true, 2, 2});
    EXPECT_EQ(none.output, "No words with more than 2 letters occur at least twice.");
    EXPECT_EQ(none.beginWith, "  as typed ");
    const std::vector<WordEntry> one = {{"x", 1, 1.0f, false}};
    EXPECT_EQ(BuildMetaTag(one, {50, 500, "  as typed ", true, true}).beginWith, "as typed");

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
