// The state file: its exact format, round trips, and damaged files that must give the
// defaults.
#include "app/state_file.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::ReadFile;
using lumora::testing::TempDir;

constexpr const char* kDefaultsWithPage =
    "\"/home/ann/site/index.htm\"\r\n\"\"\r\n\"\"\r\n\"50\"\r\n\"500\"\r\n"
    "1\r\n1\r\n2\r\n0\r\n4\r\n1\r\n1\r\n1\r\n1\r\n9\r\n5\r\n4\r\n2\r\n4\r\n0\r\n";

TEST(StateFile, DefaultsAreWrittenAsTwentyLinesAndEveryOptionRoundTrips) {
    Options defaults;
    defaults.inputFile = "/home/ann/site/index.htm";
    EXPECT_EQ(FormatState(defaults), kDefaultsWithPage);
    // Every field away from its default, in declaration order.
    const Options o("/tmp/a \"quoted\" name.htm", "web design, \"html\"", "foo,bar", "+7", "", 8, 0,
                    9, 3, 0, false, false, false, false, 1, 2, 7, 6, 5, 6);
    const auto parsed = ParseState(FormatState(o));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, o);
}

TEST(StateFile, TextsRoundTripAnyCharacterAndOldSingleByteFilesStillLoad) {
    Options o;
    o.inputFile = "/home/\u00E5sa/\u0441\u0430\u0439\u0442/index.htm";
    o.beginMetaTagWith = "\u0153uvre, \u65E5\u672C, \U0001F600";
    o.wordsToIgnore = "\u00E9t\u00E9,\u0436\u0438\u0437\u043D\u044C";
    const Text written = FormatState(o);
    EXPECT_NE(written.find("\"\u0153uvre, \u65E5\u672C, \U0001F600\""), Text::npos);
    EXPECT_EQ(ParseState(written), o);

    // The earlier program wrote its texts in a single-byte code page.
    Text old = kDefaultsWithPage;
    old.replace(old.find("\"\""), 2, "\"caf\xE9, cr\xE8me\"");
    const auto parsed = ParseState(old);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->beginMetaTagWith, "caf\u00E9, cr\u00E8me");
}

TEST(StateFile, DamagedContentIsRefused) {
    const Text good = kDefaultsWithPage;
    auto replaceLine = [&good](int line, const Text& value) {
        Text s = good;
        std::size_t start = 0;
        for (int i = 0; i < line; ++i) start = s.find("\r\n", start) + 2;
        const std::size_t end = s.find("\r\n", start);
        return s.replace(start, end - start, value);
    };
    ASSERT_TRUE(ParseState(good).has_value());
    const std::vector<std::pair<const char*, Text>> damaged = {
        {"19 lines", good.substr(0, good.rfind("0\r\n"))},
        {"empty", ""},
        {"short-word size out of its list", replaceLine(5, "9")},
        {"weight not a number", replaceLine(9, "four")},
        {"check box value 2", replaceLine(11, "2")},
        {"negative language", replaceLine(19, "-1")},
        {"language past the list", replaceLine(19, "7")},
    };
    for (const auto& [name, content] : damaged) {
        EXPECT_FALSE(ParseState(content).has_value()) << name;
    }
    // Bare numbers may also be quoted, and LF-only line ends are read as well.
    EXPECT_TRUE(ParseState(replaceLine(5, "\"3\"")).has_value());
    Text lfOnly = good;
    for (auto p = lfOnly.find("\r\n"); p != Text::npos; p = lfOnly.find("\r\n")) lfOnly.erase(p, 1);
    EXPECT_TRUE(ParseState(lfOnly).has_value());
}

TEST(StateFile, FolderPathFollowsXdgConfigHomeAndCreatesTheFolder) {
    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(FolderPath("lmr.usr", "lumora"), dir.Path() + "/lumora/lmr.usr");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "/lumora"));
    ::unsetenv("XDG_CONFIG_HOME");
}

class SessionStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session.LoadProgramTexts());
        session.SetStateFilePath(dir.File("lmr.usr"));
        session.InitialiseSession();
    }
    FakePlatform platform;
    Session session{platform, LUMORA_BIN_DIR};
    TempDir dir;
};

TEST_F(SessionStateTest, QuitSavesWhatTheNextStartLoads) {
    session.SetInputFileText("/srv/www/page.htm");
    session.SetWordsToIgnoreText("Foo  Bar");
    session.SetListIndex(Control::kLanguage, 5);
    session.SetCheck(Control::kIgnoreShortWords, false);
    session.Quit();
    EXPECT_EQ(platform.programEnded, 1);

    FakePlatform p2;
    Session next(p2, LUMORA_BIN_DIR);
    ASSERT_TRUE(next.LoadProgramTexts());
    next.SetStateFilePath(dir.File("lmr.usr"));
    next.InitialiseSession();
    ASSERT_TRUE(next.LoadState());
    EXPECT_EQ(next.options().inputFile, "/srv/www/page.htm");
    EXPECT_EQ(next.options().wordsToIgnore, "foo,bar");  // parsed as on losing the focus
    EXPECT_EQ(next.IgnoreList(), "foo,bar,");
    EXPECT_EQ(next.options().languageIndex, 5);
    EXPECT_FALSE(next.options().ignoreShortWords);
    EXPECT_FALSE(next.LargeWindow());
    // A remembered page that has gone since is forgotten quietly.
    next.CompleteStartup();
    EXPECT_EQ(next.options().inputFile, "");
    EXPECT_TRUE(p2.messages.empty());
}

TEST_F(SessionStateTest, DamagedFileLeavesEveryOptionAtItsDefault) {
    // Nineteen lines: the own texts, then lines 4 to 19 of a good file.
    const Text good = kDefaultsWithPage;
    const std::size_t line4 = good.find("\"50\"");
    const Text nineteen =
        "\"a.htm\"\r\n\"x\"\r\n\"secret\"\r\n" + good.substr(line4, good.rfind("0\r\n") - line4);
    session.SetStateFilePath(dir.Write("damaged.usr", nineteen));
    EXPECT_FALSE(session.LoadState());
    EXPECT_EQ(session.options(), Options{});
    // The ignore list of a file that was refused does not filter words behind the user's back.
    EXPECT_EQ(session.IgnoreList(), "");
}

TEST_F(SessionStateTest, SaveFailureIsReported) {
    session.SetStateFilePath(dir.File("no/such/folder/lmr.usr"));
    session.SaveState();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt,
              "Error when attempting to save the state: No such file or directory");
    EXPECT_EQ(platform.messages[0].title, "Save state");
}

}  // namespace
}  // namespace lumora::app
