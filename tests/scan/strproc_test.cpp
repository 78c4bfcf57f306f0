#include "scan/strproc.h"

#include <gtest/gtest.h>

#include <string>

namespace lumora::scan {
namespace {

TEST(StrProcTest, CaseInsensitiveSearch) {
    EXPECT_EQ(FindNoCase(1, "abcABC", "BC"), 2);
    EXPECT_EQ(FindNoCase(3, "abcABC", "bc"), 5);
    // Mark-up searches fold ASCII letters only, so UTF-8 bytes never match across case.
    EXPECT_EQ(FindNoCase(0, "x\u00C9t\u00E9", "\u00C9T\u00E9"), 2);
    EXPECT_EQ(FindNoCase(0, "x\u00C9t\u00E9", "\u00E9T\u00C9"), 0);
    EXPECT_EQ(FindNoCase(1, "abc", "abcd"), 0);
    EXPECT_EQ(FindNoCase(4, "abc", "c"), 0);
    EXPECT_TRUE(EqualNoCase("\u00C9TOLE", "\u00C9tole"));
    EXPECT_FALSE(EqualNoCase("ab", "abc"));
    EXPECT_FALSE(EqualNoCase("\u00C9", "\u00E9"));
}

TEST(StrProcTest, PositionsFromOne) {
    bool found = false;
    EXPECT_EQ(SkipPast("<!-->x", 1, "-->", found), 6);
    EXPECT_TRUE(found);
    EXPECT_EQ(SkipPast("a</SCRIPT>b", 1, "</script>", found), 11);
    EXPECT_EQ(SkipPast("-->abc", 2, "-->", found), 7);
    EXPECT_FALSE(found);
}

TEST(StrProcTest, WordCharacters) {
    struct Case {
        const char* c;
        bool allowDigits;
        const char* extra;
        bool expected;
    };
    const Case cases[] = {
        {"\u00E9", false, "", true},        // é
        {"\u00D7", true, "\u00D7", false},  // ×: only ASCII extras count
        {"\u00F7", false, "", false},       // ÷
        {"\u00AA", false, "", true},        // ª, a letter (Lo)
        {"\u0153", false, "", true},        // œ
        {"\u03A3", false, "", true},        // Σ
        {"\u0416", false, "", true},        // Ж
        {"\u05D0", false, "", true},        // א
        {"\u0915", false, "", true},        // क
        {"\u00A0", false, "", false},       // no-break space
        {"\u2019", false, "", false},       // ’
        {"\u2014", false, "", false},       // —
        {"\u0301", false, "", false},       // a combining mark cannot start a word
        {"\u0663", true, "", false},        // Arabic-Indic three: digits are 0-9 only
        {"5", false, "", false},           {"5", true, "", true}, {"", true, "-", false},
        {"-", false, "-", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWordChar(c.c, c.allowDigits, c.extra), c.expected) << c.c;

    EXPECT_EQ(CountWordChars("caf\u00E9-bar", 1, false), 4);
    EXPECT_EQ(CountWordChars("caf\u00E9-bar", 6, false, "-"), 4);  // byte position of '-'
    EXPECT_EQ(CountWordChars("cafe\u0301s x", 1, false), 6);       // the mark stays inside
    EXPECT_EQ(CountWordChars("\u0417\u0435\u043C\u043B\u044F,", 1, false), 5);
    EXPECT_EQ(CountWordChars("mp3s", 1, true), 4);
    EXPECT_EQ(CountWordChars("abc", 0, false), 0);
    EXPECT_EQ(CountWordChars(std::string(70000, 'a'), 1, false), kMaxWordRun);
    std::string longWord;
    for (int i = 0; i < 70000; ++i) longWord += "\u00E9";
    EXPECT_EQ(CountWordChars(longWord, 1, false), kMaxWordRun);
    EXPECT_EQ(WordRunAt(longWord, 0, false).bytes, 2u * kMaxWordRun);
}

}  // namespace
}  // namespace lumora::scan
