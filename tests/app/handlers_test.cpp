// The window's handlers as the model runs them: what goes stale, what is asked, where the
// focus goes, the layout switch, links, clipboard, and the insert's refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/session.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::ReadFile;
using lumora::testing::TempDir;

constexpr const char* kPage =
    "<html><head><title>Garden tools</title>\r\n</head><body><h1>Garden tools</h1>\r\n"
    "<p>Spades, rakes and <b>hoses</b> for every garden. Garden hoses and rakes.</p>\r\n"
    "</body></html>\r\n";

class HandlersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session.LoadProgramTexts());
        session.InitialiseSession();
        session.SetWindowVisible(true);
        session.CompleteStartup();
        platform.messages.clear();
        platform.focus.clear();
        page = dir.Write("garden.htm", kPage);
    }

    // Generates once, then removes the page: a later Generate works only from the table.
    void GenerateThenRemovePage() {
        session.SetInputFileText(page);
        session.ClickGenerate();
        ASSERT_TRUE(session.WordTableValid());
        std::filesystem::remove(page);
    }

    FakePlatform platform;
    Session session{platform, LUMORA_BIN_DIR};
    TempDir dir;
    Text page;
};

TEST_F(HandlersTest, CountingOptionsMakeTheTableStaleOutputOptionsDoNot) {
    GenerateThenRemovePage();
    session.SetCheck(Control::kSpaceAfterComma, false);
    session.SetMaxKeywordsText("5");
    session.SetBeginMetaTagWithText("tools");
    EXPECT_TRUE(session.WordTableValid());
    session.ClickGenerate();
    EXPECT_EQ(session.GetMetaTag(),
              "<META NAME=\"keywords\" CONTENT=\"tools,Garden,hoses,rakes\">");

    const std::vector<std::pair<const char*, std::function<void()>>> stale = {
        {"bold weight", [&] { session.SetListIndex(Control::kBoldWeight, 7); }},
        {"minimum frequency", [&] { session.SetListIndex(Control::kThresholdFrequency, 0); }},
        {"short words", [&] { session.SetCheck(Control::kIgnoreShortWords, false); }},
        {"case", [&] { session.SetCheck(Control::kPreserveCase, false); }},
        {"language", [&] { session.SetListIndex(Control::kLanguage, 3); }},
        {"ignore list", [&] { session.WordsToIgnoreLostFocus(); }},
        {"restore defaults", [&] { session.ClickRestoreDefaults(); }},
        {"clear output", [&] { session.ClickClearOutput(); }},
    };
    for (const auto& [name, change] : stale) {
        session.SetInputFileText(dir.Write("garden.htm", kPage));
        session.ClickGenerate();
        ASSERT_TRUE(session.WordTableValid()) << name;
        change();
        EXPECT_FALSE(session.WordTableValid()) << name;
    }
}

TEST_F(HandlersTest, GermanConfirmationOnlyForGermanAndAnythingButYesKeepsTheCase) {
    session.SetCheck(Control::kPreserveCase, false);
    EXPECT_TRUE(platform.messages.empty());
    session.SetCheck(Control::kPreserveCase, true);
    session.SetListIndex(Control::kLanguage, 2);
    for (Answer answer : {Answer::kNo, Answer::kCancel}) {
        platform.answers.push_back(answer);
        session.SetCheck(Control::kPreserveCase, false);
        ASSERT_FALSE(platform.messages.empty());
        EXPECT_EQ(platform.messages.back().prompt,
                  "For German text it is better to keep upper/lower case.\r\n\r\n"
                  "Are you sure you want all keywords in lower case?");
        EXPECT_EQ(platform.messages.back().title, "Confirmation");
        EXPECT_EQ(platform.messages.back().buttons, Buttons::kYesNoCancel);
        EXPECT_TRUE(session.Checked(Control::kPreserveCase));
    }
    const auto asked = platform.messages.size();
    platform.answers.push_back(Answer::kYes);
    session.SetCheck(Control::kPreserveCase, false);
    EXPECT_EQ(platform.messages.size(), asked + 1);
    EXPECT_FALSE(session.Checked(Control::kPreserveCase));
}

TEST_F(HandlersTest, UnavailableListIsReportedOnceAndTheBoxUnticked) {
    TempDir data;
    std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/lmr_text.dat",
                               data.File("lmr_text.dat"));
    std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/cmwds_en.txt",
                               data.File("cmwds_en.txt"));
    FakePlatform p;
    Session s(p, data.Path());
    ASSERT_TRUE(s.LoadProgramTexts());
    s.InitialiseSession();
    s.CompleteStartup();
    EXPECT_TRUE(p.messages.empty());

    s.SetListIndex(Control::kLanguage, 6);  // "Another": no cmwds_xx.txt here
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].prompt,
              "Common words in another language could not be read from file\r\n" +
                  data.File("cmwds_xx.txt"));
    EXPECT_FALSE(s.Checked(Control::kIgnoreCommonWords));

    s.SetCheck(Control::kIgnoreCommonWords, true);
    EXPECT_EQ(p.messages.size(), 2u);  // one message, not one per re-entry
    EXPECT_FALSE(s.Checked(Control::kIgnoreCommonWords));

    s.SetListIndex(Control::kLanguage, 0);
    s.SetCheck(Control::kIgnoreCommonWords, true);
    EXPECT_EQ(p.messages.size(), 2u);
    EXPECT_TRUE(s.Checked(Control::kIgnoreCommonWords));
}

TEST_F(HandlersTest, LargeWindowUsesNineTenthsOfTheScreenAndBackCentres) {
    session.SetWindowMetrics(8100, 2000, 12000);
    session.SetCheck(Control::kLargeWindow, true);
    EXPECT_EQ(session.WindowLayout().windowTop, 300);
    EXPECT_EQ(session.WindowLayout().windowHeight, 10800);
    EXPECT_EQ(session.WindowLayout().outputHeight, 10800 - 4725 - 645 - 550);
    EXPECT_EQ(session.WindowLayout().frameTop, 4725 + 4880 + 100);
    session.SetCheck(Control::kLargeWindow, false);
    EXPECT_EQ(session.WindowLayout().windowHeight, 8100);
    EXPECT_EQ(session.WindowLayout().windowTop, 1950);
    EXPECT_EQ(session.WindowLayout().frameTop, 4725 + (8100 - 4725 - 645 - 550) + 100);
}

TEST_F(HandlersTest, FocusGoesToTheNextSensibleButton) {
    session.ClickClearOutput();
    EXPECT_EQ(platform.focus.back(), Control::kInputFileButton);
    session.SetInputFileText(page);
    session.ClickClearOutput();
    EXPECT_EQ(platform.focus.back(), Control::kGenerate);
    session.ClickClearInputFile();
    EXPECT_EQ(session.options().inputFile, "");
    EXPECT_EQ(platform.focus.back(), Control::kInputFileButton);
}

TEST_F(HandlersTest, OpenFileDialogSetsTheNameOrLeavesItOnCancel) {
    session.SetInputFileText("/old/name.htm");
    platform.chosenFile = "";
    session.ClickInputFileButton();
    EXPECT_EQ(session.options().inputFile, "/old/name.htm");
    session.SetOutputText("previous");
    platform.chosenFile = page;
    session.ClickInputFileButton();
    EXPECT_EQ(session.options().inputFile, page);
    EXPECT_EQ(session.OutputText(), "");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(HandlersTest, InputFileLosingTheFocusIsTrimmedAndChecked) {
    session.SetInputFileText("   " + page + "  ");
    session.InputFileLostFocus();
    EXPECT_EQ(session.options().inputFile, page);
    EXPECT_TRUE(platform.messages.empty());
    session.SetInputFileText(dir.File("page.txt"));
    session.InputFileLostFocus();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, session.GetProgramText(3));
    EXPECT_EQ(session.options().inputFile, dir.File("page.txt"));  // kept for correcting
}

TEST_F(HandlersTest, StartupEmptiesARememberedPageThatHasGone) {
    FakePlatform p;
    Session s(p, LUMORA_BIN_DIR);
    ASSERT_TRUE(s.LoadProgramTexts());
    s.InitialiseSession();
    Options o;
    o.inputFile = dir.File("gone.htm");
    s.RestoreOptions(o);
    s.CompleteStartup();
    EXPECT_EQ(s.options().inputFile, "");
    EXPECT_TRUE(p.messages.empty());
}

TEST_F(HandlersTest, CopyPutsOnlyTheTagOnTheClipboard) {
    session.SetInputFileText(page);
    session.ClickGenerate();
    session.ClickCopyToClipboard();
    ASSERT_EQ(platform.clipboard.size(), 1u);
    EXPECT_EQ(platform.clipboard[0],
              "<META NAME=\"keywords\" CONTENT=\"Garden, tools, hoses, rakes\">");
}

TEST_F(HandlersTest, LinksHelpAndNotice) {
    session.ClickManualLink();
    session.ClickMakerLink();
    ASSERT_EQ(platform.webAddresses.size(), 2u);
    EXPECT_EQ(platform.webAddresses[0], session.GetProgramText(15));
    EXPECT_EQ(platform.webAddresses[1], session.GetProgramText(315));
    EXPECT_TRUE(platform.messages.empty());
    platform.webSucceeds = false;
    session.ClickMakerLink();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Cannot launch web browser");
    session.ClickHelp();
    EXPECT_EQ(platform.helpShown, 1);
    session.DoubleClickCopyrightNotice();
    EXPECT_EQ(platform.messages.back().prompt, "61217");
    EXPECT_EQ(platform.messages.back().title, "");
}

TEST_F(HandlersTest, RestoreDefaultsKeepsTextsAndLanguage) {
    session.SetInputFileText(page);
    session.SetBeginMetaTagWithText("garden shop");
    session.SetWordsToIgnoreText("spade");
    session.SetListIndex(Control::kLanguage, 4);
    session.SetListIndex(Control::kTitleWeight, 1);
    session.SetCheck(Control::kSpaceAfterComma, false);
    session.SetMaxBytesText("700");
    session.ClickRestoreDefaults();
    Options expected;
    expected.inputFile = page;
    expected.beginMetaTagWith = "garden shop";
    expected.wordsToIgnore = "spade";
    expected.languageIndex = 4;
    EXPECT_EQ(session.options(), expected);
}

TEST_F(HandlersTest, InsertRefusesAnythingButATag) {
    session.SetInputFileText(page);
    session.ClickListWords();
    session.ClickInsert();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, "No meta tag to insert.");
    // The report of the page's existing tags names a keywords tag but is not one.
    const Text withTag = dir.Write(
        "tagged.htm", "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n");
    session.SetInputFileText(withTag);
    session.ClickShowExisting();
    ASSERT_NE(session.OutputText().find("KEYWORDS meta tag: "), Text::npos);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt, "No meta tag to insert.");
    EXPECT_EQ(ReadFile(withTag),
              "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n");
}

TEST_F(HandlersTest, InsertAsksForABackupAndKeepsTheOldPage) {
    session.SetInputFileText(page);
    session.ClickGenerate();
    const Text tag = session.GetMetaTag();

    platform.answers.push_back(Answer::kCancel);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt,
              "Back up " + page + " to " + dir.File("garden.bak.htm") + "?");
    EXPECT_EQ(platform.messages.back().title, "Backup?");
    EXPECT_EQ(ReadFile(page), kPage);

    platform.answers.push_back(Answer::kYes);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().prompt, "Meta tag inserted successfully into document.");
    EXPECT_EQ(platform.messages.back().title, "Done");
    EXPECT_EQ(ReadFile(dir.File("garden.bak.htm")), kPage);
    EXPECT_EQ(ReadFile(page).find(tag + "\r\n\r\n</head><body>"), 41u);
}

TEST_F(HandlersTest, PathWithoutADotCannotBeBackedUpButCanBeInsertedInto) {
    const Text bare = dir.Write("index", kPage);
    session.SetInputFileText(page);
    session.ClickGenerate();
    session.SetInputFileText(bare);
    platform.answers.push_back(Answer::kYes);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().title, "Not inserted");
    EXPECT_EQ(ReadFile(bare), kPage);
    platform.answers.push_back(Answer::kNo);
    session.ClickInsert();
    EXPECT_EQ(platform.messages.back().title, "Done");
    EXPECT_NE(ReadFile(bare), kPage);
}

}  // namespace
}  // namespace lumora::app
