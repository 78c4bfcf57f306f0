// The state file: its exact format, round trips, and damaged files that must give the
// defaults.
#include "app/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/session.h"
#include "support/fake_platform.h"
#include "support/faulty_file_system.h"
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

unsigned ModeOf(const Text& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The state file is replaced like a page: made durable before it takes the old one's
// place, whole or not at all, with no temporary file left after a failure at any call.
TEST(StateFile, SavingIsDurableAndWholeOrNothing) {
    using testing::FaultyFileSystem;
    TempDir dir;
    const Text path = dir.File("lmr.usr");
    Options before;
    before.inputFile = "/site/old.htm";
    Options after;
    after.inputFile = "/site/new.htm";

    // A new file is private; an existing one keeps its mode.
    ASSERT_EQ(SaveStateFile(path, before), "");
    EXPECT_EQ(ModeOf(path), 0600u);
    ::chmod(path.c_str(), 0640);
    FaultyFileSystem watched(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce, 0);
    ASSERT_EQ(SaveStateFile(path, after, watched), "");
    EXPECT_EQ(ReadFile(path), FormatState(after));
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_NE(watched.log.find("Sync Link Close Rename SyncFolder"), std::string::npos)
        << watched.log;

    for (int n = 1; n <= watched.calls; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(SaveStateFile(path, before), "");
        FaultyFileSystem fs(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce, n);
        const Text error = SaveStateFile(path, after, fs);
        const Text now = ReadFile(path);
        EXPECT_TRUE(now == FormatState(before) || now == FormatState(after));
        if (!error.empty()) {
            EXPECT_NE(error.find(path), std::string::npos) << error;
        }
        std::size_t names = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
            ++names;
        EXPECT_EQ(names, 1u);
    }
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
              "Error when attempting to save the state: Could not replace " +
                  dir.File("no/such/folder/lmr.usr") + ": No such file or directory");
    EXPECT_EQ(platform.messages[0].title, "Save state");
}

}  // namespace
}  // namespace lumora::app
