#include "words/common_words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/temp_dir.h"

namespace lumora::words {
namespace {

using testing::TempDir;
using Words = std::vector<Text>;

constexpr int kEnglish = 0;
constexpr int kFrench = 1;
constexpr int kGerman = 2;

Words Parsed(int language, const Words& lines) {
    CommonWordLists lists;
    lists.SetFromLines(language, lines);
    return lists.Words(language);
}

TEST(CommonWordsTest, ParsesAndSortsWords) {
    EXPECT_EQ(Parsed(kEnglish, {"The, And  OF"}), (Words{"and", "of", "the"}));
    EXPECT_EQ(Parsed(kEnglish, {"l'homme", "\tx-y;z", "ab", "cd"}),
              (Words{"ab", "cd", "homme", "l", "x", "y", "z"}));
    EXPECT_EQ(Parsed(kGerman, {"h2o 1er"}), (Words{"er", "h", "o"}));
    EXPECT_EQ(Parsed(kFrench, {"H2O 1er"}), (Words{"er", "h2o"}));  // digits continue a word
    // By character code: accented letters after z, a prefix before the longer word.
    EXPECT_EQ(Parsed(kEnglish, {"zeta \u00C9T\u00C9 abc ab"}),
              (Words{"ab", "abc", "zeta", "\u00E9t\u00E9"}));
    // Any script; decomposed accents are composed; marks stay inside a word.
    EXPECT_EQ(Parsed(kEnglish, {"\u0395\u039D\u0391 \u0418 e\u0301t\u00E9\u2019s"}),
              (Words{"s", "\u00E9t\u00E9", "\u03B5\u03BD\u03B1", "\u0438"}));
}

TEST(CommonWordsTest, ListFilesInUtf8OrTheEarlierSingleByteFormat) {
    TempDir dir;
    const Text files[] = {Text("\xEF\xBB\xBF") + "d\u00E9j\u00E0 c\u0153ur\r\n",
                          "d\u00E9j\u00E0 c\u0153ur\r\n", Text("d\xE9j\xE0 c\x9C") + "ur\r\n",
                          "de\u0301ja\u0300 c\u0153ur\r\n"};
    for (const Text& content : files) {
        CommonWordLists lists;
        lists.Load(kFrench, dir.Write("cmwds_fr.txt", content), files::RealFileSystem());
        EXPECT_EQ(lists.Words(kFrench), (Words{"c\u0153ur", "d\u00E9j\u00E0"})) << content;
        EXPECT_TRUE(lists.IsCommonWord("D\u00C9J\u00C0", kFrench));
    }
}

// A list is read whole, however long: every word of a 6000-word file (far more than
// 16384 characters) is in the list, and the lookup finds exactly those, in any case.
TEST(CommonWordsTest, LoadsEveryWordOfALongFileAndFindsOnlyThose) {
    Words words;
    Text content;
    for (int n = 5999; n >= 0; --n) {  // distinct words, written in descending order
        words.push_back({static_cast<Char>('a' + n / 26 / 26 / 26 % 26),
                         static_cast<Char>('a' + n / 26 / 26 % 26),
                         static_cast<Char>('a' + n / 26 % 26), static_cast<Char>('a' + n % 26)});
        content += words.back() + (n % 3 == 0 ? "\n" : ", ");
    }
    ASSERT_GT(content.size(), 16384u * 2);
    TempDir dir;
    CommonWordLists lists;
    const auto result =
        lists.Load(kEnglish, dir.Write("cmwds_en.txt", content), files::RealFileSystem());
    EXPECT_EQ(result.fileType, 2);
    EXPECT_TRUE(result.available);
    std::sort(words.begin(), words.end());
    EXPECT_EQ(lists.Words(kEnglish), words);
    for (const Text& word : words) {
        Text upper = word;
        for (Char& c : upper) c = static_cast<Char>(c - 'a' + 'A');
        EXPECT_TRUE(lists.IsCommonWord(word, kEnglish) && lists.IsCommonWord(upper, kEnglish));
        EXPECT_FALSE(lists.IsCommonWord(word.substr(1), kEnglish)) << word;
        EXPECT_FALSE(lists.IsCommonWord(word + "a", kEnglish)) << word;
    }
    EXPECT_FALSE(lists.IsCommonWord("", kEnglish));
    EXPECT_FALSE(lists.Problem(kEnglish));
}

TEST(CommonWordsTest, LoadResultsAndWhyAListIsMissing) {
    const Text kCannotRead = "Common words in English could not be read from file\r\n";
    const Text late = Text(20000, 'a') + "\r\nwith\r\n\x1A";
    const struct {
        const char* name;
        std::string bytes;
        int fileType;
        bool available;
        const char* problem;
    } cases[] = {
        {"crlf", "with\r\ninto\r\n", 1, true, ""},
        {"control", "with\x01into", 0, false, "line 1 holds the control character 1"},
        {"control on line 3, crlf", std::string("a\r\nb\r\nc\0", 8), 0, false,
         "line 3 holds the control character 0"},
        {"control far into the file", late, 0, false, "line 3 holds the control character 26"},
        {"empty", "", -2, false, "the file is empty"},
        {"no words", " ,;\r\n", 1, false, "the file holds no words"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommonWordLists lists;
        lists.SetFromLines(kEnglish, {"old"});
        const Text path = dir.Write(c.name, c.bytes);
        const auto result = lists.Load(kEnglish, path, files::RealFileSystem());
        EXPECT_EQ(result.fileType, c.fileType);
        EXPECT_EQ(lists.Available(kEnglish), c.available);
        EXPECT_FALSE(lists.IsCommonWord("old", kEnglish));
        const auto& problem = lists.Problem(kEnglish);
        EXPECT_EQ(problem ? problem->Message() : "",
                  c.available ? "" : kCannotRead + path + "\r\n" + c.problem);
    }
    // A missing list is told by the tool and the window.
    CommonWordLists lists;
    EXPECT_EQ(lists.Load(kEnglish, dir.Path(), files::RealFileSystem()).fileType, -3);
    EXPECT_EQ(lists.Problem(kEnglish)->Message(),
              kCannotRead + dir.Path() + "\r\n" + dir.Path() + " is not a regular file");
}

TEST(CommonWordsTest, WordsToIgnoreAreNormalised) {
    const std::pair<Text, Text> cases[] = {
        {"Foo  Bar, baz", "foo,bar,baz"},
        {"a, b,,c ", "a,b,c"},
        {"   ", ""},
        {",lead", ",lead"},
        {",", ""},
        {" tab\there ", "tab\there"},
    };
    for (const auto& [box, expected] : cases)
        EXPECT_EQ(NormaliseWordsToIgnore(box), expected) << box;
}

// Each shipped list must load whole and hold only lower-case
// letters, so that every listed word can match a word of a page.
TEST(CommonWordsTest, ShippedListsAreUsable) {
    for (int language = 0; language < kNumLanguages; ++language) {
        const Text path = CommonWordFilePath(LUMORA_SOURCE_DIR "/data", language);
        CommonWordLists lists;
        EXPECT_EQ(lists.Load(language, path, files::RealFileSystem()).fileType, 1) << path;
        const Text bytes = testing::ReadFile(path);
        EXPECT_TRUE(bytes.ends_with("\r\n")) << path;
        Words tokens;
        std::istringstream in(bytes);
        for (Text token; in >> token; tokens.push_back(token)) {
            EXPECT_TRUE(IsValidUtf8(token)) << token;
            for (std::size_t i = 0; i < token.size();) {
                const Decoded d = DecodeAt(token, i);
                EXPECT_TRUE(IsLetter(d.cp) && LowerChar(d.cp) == d.cp) << token;
                i += d.length;
            }
            EXPECT_EQ(Nfc(token), token);
        }
        std::sort(tokens.begin(), tokens.end());
        EXPECT_EQ(lists.Words(language), tokens) << path;
    }
}

}  // namespace
}  // namespace lumora::words
