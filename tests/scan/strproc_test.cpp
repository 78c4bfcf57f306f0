#include "scan/strproc.h"

#include <gtest/gtest.h>

#include <string>

namespace lumora::scan {
namespace {

TEST(StrProcTest, CaseInsensitiveSearch) {
    EXPECT_EQ(FindNoCase(1, "abcABC", "BC"), 2);
    EXPECT_EQ(FindNoCase(3, "abcABC", "bc"), 5);
    EXPECT_EQ(FindNoCase(0, "x\xC9t\xE9", "\xE9T\xC9"), 2);
    EXPECT_EQ(FindNoCase(1, "abc", "abcd"), 0);
    EXPECT_EQ(FindNoCase(4, "abc", "c"), 0);
    EXPECT_TRUE(EqualNoCase("\xC9TOLE", "\xE9tole"));
    EXPECT_FALSE(EqualNoCase("ab", "abc"));
    EXPECT_FALSE(EqualNoCase("\xD7", "\xF7"));  // the multiplication sign has no lower case
}

TEST(StrProcTest, PositionsFromOne) {
    EXPECT_EQ(SkipBlanks("<   meta", 1), 5);
    EXPECT_EQ(SkipBlanks("<", 1), 2);
    EXPECT_EQ(SkipBlanks(" a", 1), 2);  // the start itself is never looked at
    EXPECT_EQ(SkipBlanks("ab  ", 10), 5);

    bool found = false;
    EXPECT_EQ(SkipPast("<!-->x", 1, "-->", found), 6);
    EXPECT_TRUE(found);
    EXPECT_EQ(SkipPast("a</SCRIPT>b", 1, "</script>", found), 11);
    EXPECT_EQ(SkipPast("-->abc", 2, "-->", found), 7);
    EXPECT_FALSE(found);
}

TEST(StrProcTest, WordCharacters) {
    EXPECT_TRUE(IsWordChar("\xE9", false));
    EXPECT_FALSE(IsWordChar("\xD7", true, "\xD7"));  // codes from 128 on ignore the extras
    EXPECT_FALSE(IsWordChar("\xF7", false));
    EXPECT_FALSE(IsWordChar("5", false));
    EXPECT_TRUE(IsWordChar("5", true));
    EXPECT_FALSE(IsWordChar("", true, "-"));
    EXPECT_TRUE(IsWordChar("-", false, "-"));

    EXPECT_EQ(CountWordChars("caf\xE9-bar", 1, false), 4);
    EXPECT_EQ(CountWordChars("caf\xE9-bar", 5, false, "-"), 4);
    EXPECT_EQ(CountWordChars("mp3s", 1, true), 4);
    EXPECT_EQ(CountWordChars("abc", 0, false), 0);
    EXPECT_EQ(CountWordChars(std::string(70000, 'a'), 1, false), kMaxWordRun);
}

}  // namespace
}  // namespace lumora::scan
