#include "words/consider.h"

#include <gtest/gtest.h>

namespace lumora::words {
namespace {

constexpr int kFrench = 1;

// Short and common words are let through unless a case asks for them.
FilterOptions Options(int language = 0, int shortSize = 0, bool common = false) {
    return {shortSize > 0, shortSize, common, language};
}

TEST(ConsiderWordTest, ChainOfTests) {
    const CommonWordLists none;
    const Text sixty = "b" + Text(59, 'a');
    for (const Text& word : {Text("a"), Text("Mississippi"), sixty, Text("mid"), Text("did"),
                             Text("rhythm"), Text("caf\xE9"), Text("fly"), Text("only"),
                             Text("seed"), Text("folly"), Text("Alfred"), Text("monopoly")}) {
        EXPECT_TRUE(ConsiderWord(word, Options(), ",", none)) << word;
    }
    for (const Text& word :
         {sixty + "a", Text("aaa"), Text("Aa"), Text("\xC9\xE9"), Text("mix"), Text("civil"),
          Text("XI"), Text("hmm"), Text("pfft"), Text("doesn"), Text("en"), Text("family"),
          Text("REPLY"), Text("speed"), Text("indeed")}) {
        EXPECT_FALSE(ConsiderWord(word, Options(), ",", none)) << word;
    }

    CommonWordLists lists;
    lists.SetFromLines(0, {"with Into"});
    lists.SetFromLines(kFrench, {"avec"});
    const struct {
        Text word;
        bool counted;
        FilterOptions options;
        const char* ignore = ",";  // the words to ignore, each followed by ","
    } cases[] = {
        {"the", false, Options(0, 3)},
        {"that", true, Options(0, 3)},
        {"doesn", true, Options(kFrench)},
        {"en", true, Options(kFrench)},
        {"indeed", false, Options(kFrench)},
        {"With", false, Options(0, 0, true)},
        {"into", false, Options(0, 0, true)},
        {"within", true, Options(0, 0, true)},
        {"with", true, Options()},
        {"with", true, Options(kFrench, 0, true)},
        {"avec", false, Options(kFrench, 0, true)},
        {"avec", true, Options(2, 0, true)},  // a list never loaded finds nothing
        // Only whole entries of the list to ignore match.
        {"FooBar", false, Options(), "foobar,"},
        {"foo", true, Options(), "foobar,"},
        {"obar", true, Options(), "foobar,"},
        {"bar", false, Options(), "x,foobar,bar,"},
        {"lead", false, Options(), ",lead,"},
        {"bar", true, Options(), "bars,"},
        {"foo", true, Options(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConsiderWord(c.word, c.options, c.ignore, lists), c.counted)
            << c.word << " ignoring " << c.ignore;
    }
}

TEST(ConsiderWordTest, Helpers) {
    EXPECT_TRUE(HasNoVowel("rhythm", false));
    EXPECT_FALSE(HasNoVowel("\u00E6\u00D8", false));            // ae ligature, O with stroke
    EXPECT_TRUE(HasNoVowel("\u00C7\u00D1\u00FD\u00FF", true));  // Ç Ñ and the accented y
    // Accented vowels beyond Latin-1, and œ beside æ.
    for (const char* vowel : {"\u0151", "\u016B", "\u0119", "\u0103", "\u1EBF", "\u0153", "\u0152"})
        EXPECT_FALSE(HasNoVowel(std::string("sz") + vowel, false)) << vowel;
    EXPECT_FALSE(HasNoVowel("\u0177", true));  // ŷ counts as y does
    EXPECT_TRUE(HasNoVowel("\u0177", false));
    EXPECT_TRUE(HasNoVowel("\u010D\u0161\u017E", true));  // č š ž
    EXPECT_TRUE(IsContractionStem("uldn"));
    EXPECT_FALSE(IsContractionStem("aren couldn"));
}

}  // namespace
}  // namespace lumora::words
