// The state file: its exact format, round trips of any character, old Latin-1 files,
// numbers out of range, and damaged files that must give the defaults.
#include "app/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/session.h"
#include "support/fake_platform.h"
#include "support/faulty_file_system.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::ModeOf;
using lumora::testing::ReadFile;
using lumora::testing::TempDir;

// A file of the earlier format: twenty lines, no page encoding.
constexpr const char* kTwentyLines =
    "\"/home/ann/site/index.htm\"\r\n\"\"\r\n\"\"\r\n\"50\"\r\n\"500\"\r\n"
    "1\r\n1\r\n2\r\n0\r\n4\r\n1\r\n1\r\n1\r\n1\r\n9\r\n5\r\n4\r\n2\r\n4\r\n0\r\n";
// The same options as written now: the page encoding (Detect) and the word rules follow.
const Text kDefaultsWithPage = Text(kTwentyLines) + "\"\"\r\nclassic\r\n";

// The content of kDefaultsWithPage with its line `line` (0-based) replaced by `value`.
Text WithLine(int line, const Text& value) {
    Text s = kDefaultsWithPage;
    std::size_t start = 0;
    for (int i = 0; i < line; ++i) start = s.find("\r\n", start) + 2;
    const std::size_t end = s.find("\r\n", start);
    return s.replace(start, end - start, value);
}

TEST(StateFile, DefaultsAreWrittenInFullAndEveryOptionRoundTrips) {
    Options defaults;
    defaults.inputFile = "/home/ann/site/index.htm";
    EXPECT_EQ(FormatState(defaults), kDefaultsWithPage);
    // Every field away from its default, in declaration order, texts of any character.
    Options o("/home/zoë/Šumava/\"стр\".htm", "œuvre, \"cœur\", 日本, 🙂", "Ελλάδα,ÿ", "7",
              "", 8, 0, 9, 3, 0, false, false, false, false, 1, 2, 7, 6, 5, 6,
              EncodingIndexOf("ISO-8859-2"), 1);
    const Text content = FormatState(o);
    EXPECT_NE(content.find("\"/home/zoë/Šumava/"), Text::npos);  // as UTF-8
    EXPECT_NE(content.find("\r\n6\r\n\"ISO-8859-2\"\r\ntoday\r\n"), Text::npos);
    EXPECT_EQ(ParseState(content), o);
    for (int i = 0; i < kEncodingChoiceCount; ++i) {
        o.encodingIndex = i;
        EXPECT_EQ(ParseState(FormatState(o))->encodingIndex, i) << kEncodingChoices[i];
    }
    // A line break in a text cannot push the numbers onto other lines.
    o.wordsToIgnore = "one\r\ntwo\nthree";
    EXPECT_EQ(ParseState(FormatState(o))->wordsToIgnore, "one  two three");
    EXPECT_EQ(ParseState(FormatState(o))->maxKeywords, "7");
}

TEST(StateFile, EarlierFilesLoadWithDetectAndUnknownNamesGiveDetect) {
    // The earlier format loads whole, every other option as written; so does a file of
    // LF line ends, or of quoted numbers.
    EXPECT_EQ(ParseState(kTwentyLines), ParseState(kDefaultsWithPage));
    // A file without the word rules keeps the classic ones; an unknown name gives them too.
    EXPECT_EQ(ParseState(kDefaultsWithPage.substr(0, kDefaultsWithPage.size() - 9)),
              ParseState(kDefaultsWithPage));
    EXPECT_EQ(ParseState(WithLine(21, "today"))->wordRulesIndex, 1);
    EXPECT_EQ(ParseState(WithLine(21, "modern"))->wordRulesIndex, 0);
    Text lfOnly = kDefaultsWithPage;
    for (auto p = lfOnly.find("\r\n"); p != Text::npos; p = lfOnly.find("\r\n")) lfOnly.erase(p, 1);
    EXPECT_EQ(ParseState(lfOnly), ParseState(kDefaultsWithPage));
    EXPECT_EQ(ParseState(WithLine(5, "\"3\""))->shortWordSizeIndex, 3);
    // Texts of an earlier single-byte file are read as windows-1252.
    EXPECT_EQ(ParseState(WithLine(2, "\"caf\xE9\""))->wordsToIgnore, "café");
    // Only a file too short is refused as a whole.
    const Text twenty = kTwentyLines;
    EXPECT_FALSE(ParseState(twenty.substr(0, twenty.rfind("0\r\n"))).has_value());  // 19 lines
    EXPECT_FALSE(ParseState("").has_value());

    const std::pair<Text, Text> cases[] = {
        // The encoding line as written, and the encoding the engine is told ("" detects).
        {"\"KOI8-U\"", "KOI8-U"},
        {"UTF-16BE", "UTF-16BE"},        // unquoted, as numbers may be
        {"\"shift_jis\"", "Shift_JIS"},  // labels as browsers read them
        {"\"Detect\"", ""},
        {"\"EBCDIC-US\"", ""},  // no encoding we know
        {"\"UTF-8", ""},        // damaged
        {"3", ""},              // an index of some other list
    };
    for (const auto& [line, encoding] : cases) {
        SCOPED_TRACE(line);
        auto parsed = ParseState(WithLine(20, line));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(EncodingOverrideOf(parsed->encodingIndex), encoding);
        parsed->encodingIndex = 0;
        EXPECT_EQ(parsed, ParseState(kDefaultsWithPage));
    }
}

TEST(StateFile, NumbersOutsideTheirRangeFallBackToThatLinesDefault) {
    const struct {
        int line;                             // 0-based
        std::vector<Text> accepted, refused;  // refused: that option keeps its default
    } lines[] = {
        {3, {"\"5\"", "\"100\"", "\"\""}, {"\"4\"", "\"101\"", "\"+7\"", "\"1e1\""}},
        {4, {"\"0\"", "\"1000\""}, {"\"1001\"", "\"-5\""}},
        {5, {"0", "8"}, {"9", "", " 3x"}},
        {10, {"0"}, {"2"}},
        {19, {"6"}, {"7", "-1", "4294967298"}},  // the last wraps round to 2
    };
    for (const auto& l : lines) {
        for (const bool accepted : {true, false}) {
            for (const Text& value : accepted ? l.accepted : l.refused) {
                SCOPED_TRACE("line " + std::to_string(l.line + 1) + " = " + value);
                const Text content = WithLine(l.line, value);
                EXPECT_EQ(FormatState(ParseState(content).value_or(Options{})),
                          accepted ? content : kDefaultsWithPage);
            }
        }
    }
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
    ASSERT_FALSE(SaveStateFile(path, before, files::RealFileSystem()));
    EXPECT_EQ(ModeOf(path), 0600u);
    ::chmod(path.c_str(), 0640);
    FaultyFileSystem watched(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce, 0);
    ASSERT_FALSE(SaveStateFile(path, after, watched));
    EXPECT_EQ(ReadFile(path), FormatState(after));
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_NE(watched.log.find("Sync Link Close Rename SyncFolder"), std::string::npos)
        << watched.log;

    for (int n = 1; n <= watched.calls; ++n) {
        SCOPED_TRACE(n);
        ASSERT_FALSE(SaveStateFile(path, before, files::RealFileSystem()));
        FaultyFileSystem fs(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce, n);
        const auto error = SaveStateFile(path, after, fs);
        const Text now = ReadFile(path);
        // Only a file already in place may be reported as possibly not on the disk.
        EXPECT_EQ(now, error && error->code == Error::Code::kStateNotSaved ? FormatState(before)
                                                                           : FormatState(after));
        if (error) {
            EXPECT_NE(error->Message().find(path), std::string::npos) << error->Message();
        }
        EXPECT_EQ(dir.Names().size(), 1u);
    }
}

TEST(StateFile, FolderPathFollowsXdgConfigHomeAndCreatesTheFolder) {
    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(FolderPath("lmr.usr", "lumora", files::RealFileSystem()),
              dir.Path() + "/lumora/lmr.usr");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "/lumora"));
    ::unsetenv("XDG_CONFIG_HOME");
}

// A session of the window as it starts, with its state file at `path`.
std::unique_ptr<Session> Started(FakePlatform& platform, const Text& path) {
    auto session = std::make_unique<Session>(platform, LUMORA_BIN_DIR);
    EXPECT_TRUE(session->LoadProgramTexts());
    session->SetStateFilePath(path);
    session->InitialiseSession();
    return session;
}

// The window's options across a restart, through the state file.
TEST(SessionState, QuitSavesWhatTheNextStartLoads) {
    TempDir dir;
    const auto workingFolder = std::filesystem::current_path();
    FakePlatform p1, p2;
    const auto first = Started(p1, dir.File("lmr.usr")), next = Started(p2, dir.File("lmr.usr"));
    first->SetInputFileText(dir.File("gone.htm"));
    first->SetWordsToIgnoreText("Foo  Bar");
    first->SetListIndex(Control::kLanguage, 5);
    first->SetListIndex(Control::kEncoding, EncodingIndexOf("windows-1251"));
    first->SetCheck(Control::kIgnoreShortWords, false);
    first->Quit();
    EXPECT_EQ(p1.programEnded, 1);
    ASSERT_TRUE(next->LoadState());
    EXPECT_EQ(next->options().inputFile, dir.File("gone.htm"));
    EXPECT_EQ(next->options().wordsToIgnore, "foo,bar");  // parsed as on losing the focus
    EXPECT_EQ(next->IgnoreList(), "foo,bar,");
    EXPECT_EQ(next->options().languageIndex, 5);
    EXPECT_EQ(next->ListIndex(Control::kEncoding), EncodingIndexOf("windows-1251"));
    EXPECT_FALSE(next->options().ignoreShortWords);
    // A remembered page that has gone since is forgotten quietly; the dialog starts in its
    // folder, and the process's working folder stays.
    next->CompleteStartup();
    EXPECT_EQ(next->options().inputFile, "");
    EXPECT_TRUE(p2.messages.empty());
    EXPECT_EQ(std::filesystem::current_path(), workingFolder);
    next->ClickInputFileButton();
    EXPECT_EQ(p2.lastRequest.initialFolder, dir.Path() + "/");

    // A state file that cannot be saved is told, naming it.
    next->SetStateFilePath(dir.File("no/such/folder/lmr.usr"));
    next->SaveState();
    ASSERT_EQ(p2.messages.size(), 1u);
    EXPECT_NE(p2.messages[0].prompt.find(dir.File("no/such/folder/lmr.usr")), Text::npos);
    EXPECT_EQ(p2.messages[0].title, "Save state");
}

// What stands where the state file should be may be anything, and reading it may fail:
// the window starts with the defaults, says why once it is up, never blocks or reads
// without end, and leaves the file alone unless the user changes a setting.
TEST(SessionState, WhatIsNoStateFileGivesTheDefaultsAMessageAndStaysAsItWas) {
    TempDir dir;
    Text binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) % 251);
    Text utf16("\xFF\xFE", 2);
    for (char c : kDefaultsWithPage) utf16 += Text{c, '\0'};
    const Text notRegular = "It is not a regular file.";
    const Text notFormat = "It is not in the format of a settings file.";
    const struct {
        const char* name;
        std::function<void(const Text&)> make;
        Text why;
        bool readFails = false;  // the platform's files fail the read (call 1 looks, 2 reads)
    } cases[] = {
        {"folder", [](const Text& p) { std::filesystem::create_directory(p); }, notRegular},
        {"FIFO", [](const Text& p) { ::mkfifo(p.c_str(), 0600); }, notRegular},
        {"link to an endless device",
         [](const Text& p) { std::filesystem::create_symlink("/dev/zero", p); }, notRegular},
        {"too large",
         [&](const Text&) { std::filesystem::resize_file(dir.Write("too large", ""), 1 << 20); },
         "It is larger than any settings file."},
        {"random bytes", [&](const Text&) { dir.Write("random bytes", binary); }, notFormat},
        {"UTF-16", [&](const Text&) { dir.Write("UTF-16", utf16); }, notFormat},
        {"read failing", [&](const Text&) { dir.Write("read failing", kDefaultsWithPage); },
         "Input/output error", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text path = dir.File(c.name);
        c.make(path);
        const auto before = std::filesystem::symlink_status(path).type();
        const auto status = testing::RunInChild(
            [&] {
                FakePlatform platform;
                const auto session = Started(platform, path);
                testing::FaultyFileSystem failing(files::RealFileSystem(),
                                                  testing::FaultyFileSystem::Mode::kFailOnce, 2);
                if (c.readFails)
                    platform.files = &failing;
                if (session->LoadState() || !(session->options() == Options{}))
                    return 2;
                session->CompleteStartup();
                session->Quit();
                const bool told = platform.messages.size() == 1 &&
                                  platform.messages[0].title == "Settings" &&
                                  platform.messages[0].prompt ==
                                      "Settings file " + path +
                                          " could not be read; defaults are used.\r\n" + c.why;
                return told ? 0 : 3;
            },
            std::chrono::seconds(20));
        ASSERT_TRUE(status.has_value()) << "blocked";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
        EXPECT_EQ(std::filesystem::symlink_status(path).type(), before);
    }
    // A setting changed: the user's choice is saved over what was there.
    const Text path = dir.Write("changed.usr", binary);
    FakePlatform platform;
    const auto session = Started(platform, path);
    EXPECT_FALSE(session->LoadState());
    session->CompleteStartup();
    session->SetListIndex(Control::kLanguage, 2);
    session->Quit();
    EXPECT_EQ(
        LoadStateFile(path, files::RealFileSystem()).options.value_or(Options{}).languageIndex, 2);
}

}  // namespace
}  // namespace lumora::app
