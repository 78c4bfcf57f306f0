// The state file: its exact format, round trips of any character, old Latin-1 files,
// numbers out of range, and damaged files that must give the defaults.
#include "app/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/session.h"
#include "support/fake_platform.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::ReadFile;
using lumora::testing::TempDir;

// A file of the earlier format: twenty lines, no page encoding.
constexpr const char* kTwentyLines =
    "\"/home/ann/site/index.htm\"\r\n\"\"\r\n\"\"\r\n\"50\"\r\n\"500\"\r\n"
    "1\r\n1\r\n2\r\n0\r\n4\r\n1\r\n1\r\n1\r\n1\r\n9\r\n5\r\n4\r\n2\r\n4\r\n0\r\n";
// The same options as written now: the page encoding (Detect) follows.
const Text kDefaultsWithPage = Text(kTwentyLines) + "\"\"\r\n";

// The content of kDefaultsWithPage with its line `line` (0-based) replaced by `value`.
Text WithLine(int line, const Text& value) {
    Text s = kDefaultsWithPage;
    std::size_t start = 0;
    for (int i = 0; i < line; ++i) start = s.find("\r\n", start) + 2;
    const std::size_t end = s.find("\r\n", start);
    return s.replace(start, end - start, value);
}

TEST(StateFile, DefaultsAreWrittenAsTwentyOneLinesAndEveryOptionRoundTrips) {
    Options defaults;
    defaults.inputFile = "/home/ann/site/index.htm";
    EXPECT_EQ(FormatState(defaults), kDefaultsWithPage);
    // Every field away from its default, in declaration order.
    Options o("/tmp/a \"quoted\" name.htm", "web design, \"html\"", "foo,bar", "7", "", 8, 0,
                    9, 3, 0, false, false, false, false, 1, 2, 7, 6, 5, 6,
                    EncodingIndexOf("ISO-8859-2"));
    EXPECT_NE(FormatState(o).find("\r\n6\r\n\"ISO-8859-2\"\r\n"), Text::npos);
    const auto parsed = ParseState(FormatState(o));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, o);
    for (int i = 0; i < kEncodingChoiceCount; ++i) {
        o.encodingIndex = i;
        EXPECT_EQ(ParseState(FormatState(o))->encodingIndex, i) << kEncodingChoices[i];
    }
}

TEST(StateFile, EarlierFilesLoadWithDetectAndUnknownNamesGiveDetect) {
    // The earlier format loads whole, every other option as written.
    const auto old = ParseState(kTwentyLines);
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(old->encodingIndex, 0);
    EXPECT_EQ(*old, *ParseState(kDefaultsWithPage));

    struct Case {
        Text line;
        Text encoding;  // as the engine is told; "" is Detect
    };
    const std::vector<Case> cases = {
        {"\"KOI8-U\"", "KOI8-U"},
        {"UTF-16BE", "UTF-16BE"},        // unquoted, as numbers may be
        {"\"shift_jis\"", "Shift_JIS"},  // labels as browsers read them
        {"\"latin1\"", "windows-1252"},
        {"", ""},
        {"\"Detect\"", ""},
        {"\"EBCDIC-US\"", ""},  // no encoding we know
        {"\"UTF-8", ""},        // damaged
        {"3", ""},              // an index of some other list
        {"\"\xE9\"", ""},       // an earlier single-byte text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto parsed = ParseState(WithLine(20, c.line));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(EncodingOverrideOf(parsed->encodingIndex), c.encoding);
        Options rest = *parsed;
        rest.encodingIndex = 0;
        EXPECT_EQ(rest, *ParseState(kDefaultsWithPage));
    }
}

TEST(StateFile, TextsRoundTripAnyCharacterInUtf8) {
    Options o;
    o.inputFile = "/home/zoë/Šumava/стр.htm";
    o.beginMetaTagWith = "œuvre, \"cœur\", 日本, 🙂";
    o.wordsToIgnore = "Ελλάδα,ÿ";
    const Text content = FormatState(o);
    EXPECT_NE(content.find("\"/home/zoë/Šumava/стр.htm\"\r\n"), Text::npos);  // as UTF-8
    const auto parsed = ParseState(content);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, o);
    // A line break in a text cannot push the numbers onto other lines.
    o.wordsToIgnore = "one\r\ntwo\nthree";
    const auto broken = ParseState(FormatState(o));
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(broken->wordsToIgnore, "one  two three");
    EXPECT_EQ(broken->maxKeywords, "50");
}

TEST(StateFile, OldSingleByteFilesAreReadAsWindows1252) {
    TempDir dir;
    const Text path = dir.Write("old.usr", WithLine(2, "\"caf\xE9\""));
    const auto loaded = LoadStateFile(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->wordsToIgnore, "café");
}

TEST(StateFile, NumbersOutsideTheirRangeFallBackToThatLinesDefault) {
    struct Line {
        int line;                             // 0-based
        void (*set)(Options&, const Text&);   // what an accepted value does
        std::vector<Text> accepted, refused;  // refused: that option keeps its default
    };
    const std::vector<Line> lines = {
        {3,
         [](Options& o, const Text& v) { o.maxKeywords = v; },
         {"5", "100", ""},
         {"4", "101", "+7", "1e1"}},
        {4, [](Options& o, const Text& v) { o.maxBytes = v; }, {"0", "1000"}, {"1001", "-5"}},
        {5,
         [](Options& o, const Text& v) { o.shortWordSizeIndex = std::stoi(v); },
         {"0", "8"},
         {"9", "", " 3x"}},
        {10, [](Options& o, const Text& v) { o.ignoreShortWords = v == "1"; }, {"0"}, {"2"}},
        {19,
         [](Options& o, const Text& v) { o.languageIndex = std::stoi(v); },
         {"6"},
         {"7", "-1", "99999999999"}},
    };
    Options defaults;
    defaults.inputFile = "/home/ann/site/index.htm";
    for (const Line& l : lines) {
        for (const bool accepted : {true, false}) {
            for (const Text& value : accepted ? l.accepted : l.refused) {
                SCOPED_TRACE("line " + std::to_string(l.line + 1) + " = \"" + value + "\"");
                const auto parsed = ParseState(WithLine(l.line, value));
                ASSERT_TRUE(parsed.has_value());
                Options expected = defaults;
                if (accepted)
                    l.set(expected, value);
                EXPECT_EQ(*parsed, expected);
            }
        }
    }
}

TEST(StateFile, OnlyAFileTooShortIsRefusedAsAWhole) {
    const Text good = kDefaultsWithPage;
    ASSERT_TRUE(ParseState(good).has_value());
    const Text twenty = kTwentyLines;
    EXPECT_FALSE(ParseState(twenty.substr(0, twenty.rfind("0\r\n"))).has_value());  // 19 lines
    EXPECT_FALSE(ParseState("").has_value());
    // Bare numbers may also be quoted, and LF-only line ends are read as well.
    EXPECT_EQ(ParseState(WithLine(5, "\"3\""))->shortWordSizeIndex, 3);
    Text lfOnly = good;
    for (auto p = lfOnly.find("\r\n"); p != Text::npos; p = lfOnly.find("\r\n")) lfOnly.erase(p, 1);
    EXPECT_EQ(ParseState(lfOnly), ParseState(good));
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
    const auto workingFolder = std::filesystem::current_path();
    session.SetInputFileText(dir.File("gone.htm"));
    session.SetWordsToIgnoreText("Foo  Bar");
    session.SetListIndex(Control::kLanguage, 5);
    session.SetListIndex(Control::kEncoding, EncodingIndexOf("windows-1251"));
    session.SetCheck(Control::kIgnoreShortWords, false);
    session.Quit();
    EXPECT_EQ(platform.programEnded, 1);

    FakePlatform p2;
    Session next(p2, LUMORA_BIN_DIR);
    ASSERT_TRUE(next.LoadProgramTexts());
    next.SetStateFilePath(dir.File("lmr.usr"));
    next.InitialiseSession();
    ASSERT_TRUE(next.LoadState());
    EXPECT_EQ(next.options().inputFile, dir.File("gone.htm"));
    EXPECT_EQ(next.options().wordsToIgnore, "foo,bar");  // parsed as on losing the focus
    EXPECT_EQ(next.IgnoreList(), "foo,bar,");
    EXPECT_EQ(next.options().languageIndex, 5);
    EXPECT_EQ(next.ListIndex(Control::kEncoding), EncodingIndexOf("windows-1251"));
    EXPECT_FALSE(next.options().ignoreShortWords);
    // A remembered page that has gone since is forgotten quietly; the dialog starts in its
    // folder, and the process's working folder stays.
    next.CompleteStartup();
    EXPECT_EQ(next.options().inputFile, "");
    EXPECT_TRUE(p2.messages.empty());
    EXPECT_EQ(std::filesystem::current_path(), workingFolder);
    next.ClickInputFileButton();
    EXPECT_EQ(p2.lastRequest.initialFolder, dir.Path() + "/");
}

TEST_F(SessionStateTest, DamagedFileLeavesEveryOptionAtItsDefault) {
    // Nineteen lines: the own texts, then lines 4 to 19 of a good file.
    const Text good = kTwentyLines;
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
    EXPECT_NE(platform.messages[0].prompt.find(dir.File("no/such/folder/lmr.usr")), Text::npos);
    EXPECT_EQ(platform.messages[0].title, "Save state");
}

}  // namespace
}  // namespace lumora::app
