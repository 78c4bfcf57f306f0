// The presenter as the window drives it: refusals, the window during a pass, Stop, reuse
// of the ranked words, what goes stale, limits, encodings and the insert.
#include "app/session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "support/case_file.h"
#include "support/fake_platform.h"
#include "support/scripted_pass_runner.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::ReadFile;
using lumora::testing::ScriptedPassRunner;
using lumora::testing::TempDir;

constexpr const char* kPage =
    "<html><head><title>Garden tools</title>\r\n</head><body><h1>Garden tools</h1>\r\n"
    "<p>Spades, rakes and <b>hoses</b> for every garden. Garden hoses and rakes.</p>\r\n"
    "</body></html>\r\n";
constexpr const char* kTag = "<META NAME=\"keywords\" CONTENT=\"Garden, tools, hoses, rakes\">";

// Messages as the command line gives them; {path} stands for the page's path.
constexpr const char* kNulAt37 =
    "The input file {path} contains a NUL byte at position 37. It does not appear to be a text "
    "file and cannot be processed.";
constexpr const char* kWrongExtension =
    "The input file {path} must be an HTML page: its extension has to contain \"htm\" (for "
    "example .htm, .html or .shtml) or be \"php\".";

Text Named(Text message, const Text& path) {
    if (const auto at = message.find("{path}"); at != Text::npos)
        message.replace(at, 6, path);
    return message;
}

// The session started up with the page chosen; passes run inside the call, or by hand.
class SessionTest : public ::testing::Test {
  protected:
    explicit SessionTest(bool byHand = false)
        : session(platform, LUMORA_BIN_DIR, byHand ? &runner : nullptr) {}
    void SetUp() override {
        ASSERT_TRUE(session.LoadProgramTexts());
        session.InitialiseSession();
        session.SetStateFilePath(dir.File("lmr.usr"));
        session.SetWindowVisible(true);
        session.CompleteStartup();
        platform.messages.clear();
        platform.focus.clear();
        session.SetInputFileText(page);
    }
    Text T(int n) const { return session.GetProgramText(n); }

    FakePlatform platform;
    ScriptedPassRunner runner;
    Session session;
    TempDir dir;
    Text page = dir.Write("garden.htm", kPage);
};

TEST_F(SessionTest, GenerateWritesTheTagAndLaterPassesReuseTheFinishedTable) {
    session.ClickGenerate();
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_EQ(session.OutputText(), Text(kTag) +
                                        "\r\n\r\nNumber of keywords in meta tag: 4\r\n"
                                        "Number of bytes in meta tag: 58");
    session.ClickCopyToClipboard();
    EXPECT_EQ(platform.clipboard, std::vector<Text>{kTag});
    // With the page gone only the finished table can answer; output options keep it.
    std::filesystem::remove(page);
    session.ClickListWords();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(session.OutputText().rfind("Rank Value Frequency\r\n", 0), 0u);
    session.SetCheck(Control::kSpaceAfterComma, false);
    session.SetBeginMetaTagWithText("tools");
    session.ClickGenerate();
    EXPECT_EQ(session.GetMetaTag(),
              "<META NAME=\"keywords\" CONTENT=\"tools,Garden,hoses,rakes\">");
    // Clearing the output makes the next press read the page again, which is gone now.
    session.ClickClearOutput();
    session.ClickGenerate();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "File not found");
}

TEST_F(SessionTest, CountingOptionsMakeTheTableStale) {
    const std::vector<std::pair<const char*, std::function<void()>>> stale = {
        {"bold weight", [&] { session.SetListIndex(Control::kBoldWeight, 7); }},
        {"minimum frequency", [&] { session.SetListIndex(Control::kThresholdFrequency, 0); }},
        {"short words", [&] { session.SetCheck(Control::kIgnoreShortWords, false); }},
        {"language", [&] { session.SetListIndex(Control::kLanguage, 3); }},
        {"word rules", [&] { session.SetListIndex(Control::kWordRules, 1); }},
        {"page encoding", [&] { session.SetListIndex(Control::kEncoding, 2); }},
        {"ignore list", [&] { session.WordsToIgnoreLostFocus(); }},
        {"restore defaults", [&] { session.ClickRestoreDefaults(); }},
    };
    for (const auto& [name, change] : stale) {
        session.ClickGenerate();
        ASSERT_TRUE(session.WordTableValid()) << name;
        change();
        EXPECT_FALSE(session.WordTableValid()) << name;
    }
}

// After an action the focus goes to the next thing to do: a page to choose, or Generate;
// a hidden window keeps its focus where it is.
TEST_F(SessionTest, TheFocusGoesToTheNextThingToDo) {
    session.ClickClearWordsToIgnore();
    EXPECT_EQ(platform.focus.back(), Control::kGenerate);
    session.SetInputFileText("");
    session.ClickClearWordsToIgnore();
    EXPECT_EQ(platform.focus.back(), Control::kInputFileButton);
    platform.focus.clear();
    session.SetWindowVisible(false);
    session.ClickClearWordsToIgnore();
    EXPECT_TRUE(platform.focus.empty());
}

// The cases of tests/data/session_refusals.txt.
TEST_F(SessionTest, RefusedPagesShowOneMessageAndLeaveTheTableStale) {
    std::filesystem::create_directories(dir.File("my.site"));
    for (const testing::Case& c : testing::ReadCases("session_refusals.txt")) {
        SCOPED_TRACE(c.name);
        platform.messages.clear();
        const Text path = !c.Has("file")     ? ""
                          : c.Has("content") ? dir.Write(c.Get("file"), c.Get("content"))
                                             : dir.File(c.Get("file"));
        session.SetInputFileText(path);
        session.ClickGenerate();
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].prompt, Named(c.Get("prompt"), path));
        EXPECT_EQ(platform.messages[0].title, c.Get("title"));
        EXPECT_FALSE(session.WordTableValid());
        EXPECT_EQ(session.options().inputFile, path);
    }
}

// The presenter with a pass that the test runs by hand.
class SessionPassTest : public SessionTest {
  protected:
    SessionPassTest() : SessionTest(true) {}
};

TEST_F(SessionPassTest, DuringAPassOnlyStopAndTheOptionsAreUsable) {
    session.ClickGenerate();
    ASSERT_TRUE(runner.Running());
    EXPECT_EQ(session.ListWordsCaption(), "Stop");
    for (Control c : {Control::kGenerate, Control::kInsert, Control::kShowExisting})
        EXPECT_FALSE(session.IsEnabled(c)) << static_cast<int>(c);
    for (Control c : {Control::kListWords, Control::kBoldWeight, Control::kInputFile})
        EXPECT_TRUE(session.IsEnabled(c)) << static_cast<int>(c);
    // New words are shown as they arrive, with the running count and the share read.
    runner.Report({40, 200, 2, {"Garden", "tools"}});
    runner.Report({90, 200, 3, {"Spades"}});
    EXPECT_EQ(session.OutputText(), "Garden tools Spades ");
    EXPECT_EQ(session.NumberOfWordsCaption(), "Number of words found: 3");
    EXPECT_EQ(platform.progress.back(), (std::pair<std::int64_t, std::int64_t>{90, 200}));
    session.ClickGenerate();  // a second press never starts a second pass
    EXPECT_EQ(runner.started, 1);
    // A tag option changed meanwhile keeps the result; the focus goes to Stop.
    session.SetCheck(Control::kSpaceAfterComma, false);
    EXPECT_EQ(platform.focus.back(), Control::kListWords);
    runner.RunWork();
    EXPECT_TRUE(session.IsEnabled(Control::kGenerate));
    EXPECT_TRUE(session.WordTableValid());
    EXPECT_EQ(session.GetMetaTag(),
              "<META NAME=\"keywords\" CONTENT=\"Garden,tools,hoses,rakes\">");
    EXPECT_EQ(platform.focus.back(), Control::kGenerate);
    // A counting option changed meanwhile: the pass counted with the old weight.
    session.ClickClearOutput();  // the next press reads the page again
    session.ClickListWords();
    session.SetListIndex(Control::kBoldWeight, 5);
    runner.RunWork();
    EXPECT_FALSE(session.WordTableValid());
}

TEST_F(SessionPassTest, StopErrorsAndQuitEndThePass) {
    session.ClickListWords();
    runner.Report({1, 2, 1, {"alpha"}});
    session.ClickListWords();  // the button reads "Stop"
    EXPECT_TRUE(runner.StopRequested());
    EXPECT_TRUE(runner.Running());  // until the pass itself has ended
    platform.focus.clear();
    engine::AnalysisResult stopped;
    stopped.analysis.stopped = true;
    stopped.analysis.wordsWhenStopped = 1;
    stopped.analysis.wordsFound = {"alpha"};
    runner.Finish(stopped);
    EXPECT_EQ(session.OutputText(), "alpha \r\n\r\nStopped with 1 word identified.");
    EXPECT_EQ(session.NumberOfWordsCaption(), "");
    EXPECT_FALSE(session.WordTableValid());
    EXPECT_EQ(session.ListWordsCaption(), "List words");
    EXPECT_TRUE(platform.focus.empty());  // a stop leaves the focus where it is
    // A real pass with its stop requested before it reads anything stops at once.
    session.ClickListWords();
    session.ClickListWords();
    runner.RunWork();
    EXPECT_EQ(session.OutputText(), "\r\n\r\nStopped with 0 words identified.");

    session.ClickGenerate();
    runner.Report({1, 2, 1, {"alpha"}});
    engine::AnalysisResult failed;
    failed.error = {engine::Error::Code::kNotText, "", 37, ""};
    runner.Finish(failed);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, Named(kNulAt37, session.options().inputFile));
    EXPECT_EQ(session.NumberOfWordsCaption(), "");
    EXPECT_EQ(session.ListWordsCaption(), "List words");

    session.ClickGenerate();
    session.Quit();
    EXPECT_EQ(runner.abandoned, 1);
    EXPECT_FALSE(session.PassRunning());
    EXPECT_EQ(platform.programEnded, 1);
}

TEST(SessionStartup, MissingFilesOfTheProgramAreReported) {
    TempDir data;
    FakePlatform p;
    Session noTexts(p, data.Path());
    EXPECT_FALSE(noTexts.LoadProgramTexts());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].prompt,
              "Cannot open file containing program text.\r\n" + data.File("lmr_text.dat"));
    EXPECT_EQ(p.messages[0].icon, Icon::kCritical);

    // A missing common-word list is reported once per try and the box stays unticked.
    p.messages.clear();
    for (const char* name : {"lmr_text.dat", "cmwds_fr.txt"})
        std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/" + name, data.File(name));
    Session s(p, data.Path());
    ASSERT_TRUE(s.LoadProgramTexts());
    s.InitialiseSession();
    s.CompleteStartup();
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].title, "Common words not available");
    EXPECT_NE(p.messages[0].prompt.find(data.File("cmwds_en.txt")), Text::npos);
    EXPECT_FALSE(s.options().ignoreCommonWords);
    s.SetListIndex(Control::kLanguage, 1);  // French is there
    s.SetCheck(Control::kIgnoreCommonWords, true);
    EXPECT_TRUE(s.Checked(Control::kIgnoreCommonWords));
    s.SetListIndex(Control::kLanguage, 6);  // "Another": no cmwds_xx.txt here
    EXPECT_FALSE(s.Checked(Control::kIgnoreCommonWords));
    EXPECT_EQ(p.messages.back().prompt,
              "Common words in another language could not be read from file\r\n" +
                  data.File("cmwds_xx.txt"));
    s.SetCheck(Control::kIgnoreCommonWords, true);
    EXPECT_EQ(p.messages.size(), 3u);  // one message per try, not one per re-entry
    EXPECT_FALSE(s.Checked(Control::kIgnoreCommonWords));
}

TEST_F(SessionTest, BoxesAreCleanedAndRefusalsRestoreTheDefault) {
    session.SetMaxKeywordsText("4");
    EXPECT_FALSE(session.MaxKeywordsLostFocus());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, "Minimum number of keywords in the meta tag is 5.");
    EXPECT_EQ(session.options().maxKeywords, "50");
    session.SetMaxBytesText("1.500");
    EXPECT_FALSE(session.MaxBytesLostFocus());
    EXPECT_EQ(session.options().maxBytes, "500");

    session.SetWordsToIgnoreText("  Garden  Rakes, ");
    session.WordsToIgnoreLostFocus();
    EXPECT_EQ(session.options().wordsToIgnore, "garden,rakes");
    session.ClickGenerate();
    EXPECT_EQ(session.GetMetaTag(), "<META NAME=\"keywords\" CONTENT=\"tools, hoses\">");

    // Restore defaults keeps the texts and the language.
    session.SetBeginMetaTagWithText("garden shop");
    session.SetListIndex(Control::kLanguage, 4);
    session.SetListIndex(Control::kEncoding, EncodingIndexOf("KOI8-R"));
    session.SetMaxBytesText("700");
    session.ClickRestoreDefaults();
    Options expected;
    expected.inputFile = page;
    expected.beginMetaTagWith = "garden shop";
    expected.wordsToIgnore = "garden,rakes";
    expected.languageIndex = 4;
    EXPECT_EQ(session.options(), expected);
}

TEST_F(SessionTest, GermanConfirmationOnlyForGermanAndAnythingButYesKeepsTheCase) {
    session.SetCheck(Control::kPreserveCase, false);
    session.SetCheck(Control::kPreserveCase, true);
    EXPECT_TRUE(platform.messages.empty());
    session.SetListIndex(Control::kLanguage, 2);
    platform.answers = {Answer::kNo, Answer::kCancel, Answer::kYes};
    for (bool kept : {true, true, false}) {
        session.SetCheck(Control::kPreserveCase, false);
        EXPECT_EQ(session.Checked(Control::kPreserveCase), kept);
    }
    ASSERT_EQ(platform.messages.size(), 3u);
    EXPECT_EQ(platform.messages[1].buttons, Buttons::kYesNoCancel);
}

TEST_F(SessionTest, InputFileFromTheDialogOrTypedIsTrimmedCheckedAndMovesTheFocus) {
    session.SetInputFileText("/old/name.htm");
    session.ClickInputFileButton();  // cancelled
    EXPECT_EQ(session.options().inputFile, "/old/name.htm");
    session.SetOutputText("previous");
    platform.chosenFile = page;
    session.ClickInputFileButton();
    EXPECT_EQ(session.options().inputFile, page);
    EXPECT_EQ(session.OutputText(), "");
    EXPECT_EQ(platform.focus.back(), Control::kGenerate);
    session.SetInputFileText("   " + page + "  ");
    session.InputFileLostFocus();
    EXPECT_EQ(session.options().inputFile, page);
    EXPECT_TRUE(platform.messages.empty());
    session.SetInputFileText(dir.File("page.txt"));
    session.InputFileLostFocus();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, Named(kWrongExtension, dir.File("page.txt")));
    EXPECT_EQ(session.options().inputFile, dir.File("page.txt"));  // kept for correcting

    session.ClickManualLink();
    platform.webSucceeds = false;
    session.ClickMakerLink();
    // The manual is the README the build put beside the data files.
    EXPECT_EQ(platform.webAddresses,
              (std::vector<Text>{"file://" LUMORA_BIN_DIR "/README.md", T(315)}));
    EXPECT_EQ(platform.messages.back().title, "Cannot launch web browser");
}

// The manual link opens the README of the data folder, its path made absolute, plain and
// percent-encoded; without a README it says so and opens nothing.
TEST(SessionManualLink, OpensTheReadmeOfTheDataFolderOrSaysItIsMissing) {
    TempDir dir;
    ASSERT_EQ(dir.Path().find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_/"), Text::npos);
    const struct {
        Text dataDir, readmeIn, address;
    } cases[] = {
        {"plain", "plain", "/plain/README.md"},
        {"none/../plain/", "plain", "/plain/README.md"},
        {"a b#%?\xC3\xA9", "a b#%?\xC3\xA9", "/a%20b%23%25%3F%C3%A9/README.md"},
        {"none", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dataDir);
        std::filesystem::create_directories(dir.File("none"));
        if (!c.readmeIn.empty()) {
            std::filesystem::create_directories(dir.File(c.readmeIn));
            dir.Write(c.readmeIn + "/README.md", "# Manual\n");
        }
        FakePlatform platform;
        Session session(platform, dir.File(c.dataDir));
        session.ClickManualLink();
        if (c.address.empty()) {
            EXPECT_EQ(session.ManualAddress(), "");
            EXPECT_TRUE(platform.webAddresses.empty());
            ASSERT_EQ(platform.messages.size(), 1u);
            EXPECT_NE(platform.messages[0].prompt.find("README.md"), Text::npos);
        } else {
            EXPECT_EQ(platform.webAddresses, std::vector<Text>{"file://" + dir.Path() + c.address});
            EXPECT_TRUE(platform.messages.empty());
        }
    }
}

TEST_F(SessionTest, InsertTakesOnlyATagWithKeywordsAndAsksForABackupWhereOneCanBeMade) {
    session.ClickListWords();
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt, "No meta tag to insert.");
    // A byte limit that no keyword fits in gives CONTENT="": refused before any question.
    session.SetMaxBytesText("10");
    session.ClickGenerate();
    ASSERT_EQ(session.GetMetaTag(), "<META NAME=\"keywords\" CONTENT=\"\">");
    session.ClickInsert();
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages.back().title, "Not inserted");
    EXPECT_EQ(ReadFile(page), kPage);

    session.ClickRestoreDefaults();
    session.ClickGenerate();
    platform.answers.push_back(Answer::kCancel);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt,
              "Back up " + page + " to " + dir.File("garden.bak.htm") + "?");
    EXPECT_EQ(ReadFile(page), kPage);
    session.ClickInsert();  // Yes
    EXPECT_EQ(platform.messages.back().title, "Done");
    EXPECT_EQ(ReadFile(dir.File("garden.bak.htm")), kPage);
    EXPECT_EQ(ReadFile(page).find(Text(kTag) + "\r\n</head><body>"), 41u);
    // Again: the page already holds the tag, so nothing is asked and nothing written.
    const std::size_t asked = platform.messages.size();
    session.ClickInsert();
    ASSERT_EQ(platform.messages.size(), asked + 1);
    EXPECT_EQ(platform.messages.back().prompt, "Meta tag already up to date in " + page + ".");
    EXPECT_EQ(ReadFile(dir.File("garden.bak.htm")), kPage);

    // A name without a dot has no backup name, but the page can still take the tag.
    const Text bare = dir.Write("index", kPage);
    session.SetInputFileText(bare);
    session.ClickInsert();  // Yes
    EXPECT_EQ(platform.messages.back().title, "Not inserted");
    EXPECT_EQ(ReadFile(bare), kPage);
    platform.answers.push_back(Answer::kNo);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().title, "Done");
    EXPECT_NE(ReadFile(bare), kPage);

    // The report of the page's existing tags names a keywords tag but is not one.
    const Text tagged = ReadFile(bare);
    session.ClickShowExisting();
    ASSERT_NE(session.OutputText().find("KEYWORDS meta tag: "), Text::npos);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt, "No meta tag to insert.");
    EXPECT_EQ(ReadFile(bare), tagged);

    // A page gone read-only is refused before anything is asked about a backup.
    ::chmod(page.c_str(), 0444);
    session.SetInputFileText(page);
    session.ClickGenerate();
    platform.messages.clear();
    session.ClickInsert();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Not inserted") << platform.messages[0].prompt;
    EXPECT_FALSE(session.LastInsertSucceeded());
}

// A KOI8-R page that does not say so: once the user chooses KOI8-R, list, show, generate
// and insert all read and write it as KOI8-R.
TEST_F(SessionTest, ChosenEncodingIsUsedByEveryActionOnThePage) {
    const Text utf8 =
        "<html><head><title>Москва летом</title>\r\n</head><body>\r\n"
        "<p>Москва и парки. Москва летом, парки летом.</p>\r\n</body></html>\r\n";
    const Text path = dir.Write("moscow.htm", text::EncodeForPage(utf8, "KOI8-R").bytes);
    session.SetInputFileText(path);
    session.SetListIndex(Control::kEncoding, EncodingIndexOf("KOI8-R"));
    session.ClickListWords();
    EXPECT_NE(session.OutputText().find("Москва"), Text::npos) << session.OutputText();
    session.ClickShowExisting();
    EXPECT_NE(session.OutputText().find("TITLE: Москва летом\r\n"), Text::npos);
    // The tag goes into the page in KOI8-R, a typed phrase included, bytes for characters.
    session.SetBeginMetaTagWithText("Россия");
    session.ClickGenerate();
    const Text tag = session.GetMetaTag();
    ASSERT_EQ(tag.rfind("<META NAME=\"keywords\" CONTENT=\"Россия, Москва", 0), 0u) << tag;
    platform.answers.push_back(Answer::kNo);
    session.ClickInsert();
    ASSERT_TRUE(session.LastInsertSucceeded()) << platform.messages.back().prompt;
    const Text written = ReadFile(path);
    EXPECT_EQ(written.find("&#"), Text::npos);
    EXPECT_EQ(text::DecodePage(written, "KOI8-R").page.text,
              Text(utf8).insert(utf8.find("</head>"), tag + "\r\n"));
}

}  // namespace
}  // namespace lumora::app
