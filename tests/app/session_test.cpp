// The session's pass as the window and the command-line tool drive it: refusals and
// their messages, the LF-only question, Stop, reuse of a finished word table, limits.
#include "app/session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace lumora::app {
namespace {

using lumora::testing::FakePlatform;
using lumora::testing::TempDir;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(session.LoadProgramTexts());
        session.InitialiseSession();
        session.CompleteStartup();
        platform.messages.clear();
    }

    Text T(int n) const { return session.GetProgramText(n); }

    FakePlatform platform;
    Session session{platform, LUMORA_BIN_DIR};
    TempDir dir;
};

constexpr const char* kPage =
    "<html><head><title>Garden tools</title></head>\r\n"
    "<body><h1>Garden tools</h1>\r\n"
    "<p>Spades, rakes and <b>hoses</b> for every garden. Garden hoses and rakes.</p>\r\n"
    "</body></html>\r\n";

TEST_F(SessionTest, GenerateWritesTagAndCountLabel) {
    session.SetInputFileText("  " + dir.Write("garden.htm", kPage) + "  ");
    session.ClickGenerate();
    ASSERT_TRUE(platform.messages.empty());
    EXPECT_EQ(session.OutputText(),
              "<META NAME=\"keywords\" CONTENT=\"Garden, tools, hoses, rakes\">\r\n\r\n"
              "Number of keywords in meta tag: 4\r\n"
              "Number of bytes in meta tag: 58");
    EXPECT_EQ(session.NumberOfWordsCaption(),
              "Number of words found satisfying above conditions: 4");
    EXPECT_EQ(session.options().inputFile, dir.File("garden.htm"));  // trimmed
    EXPECT_TRUE(session.WordTableValid());
    EXPECT_EQ(session.ListWordsCaption(), "List words");
    EXPECT_TRUE(session.IsEnabled(Control::kGenerate));
}

TEST_F(SessionTest, FinishedTableIsReusedWithoutReadingThePageAgain) {
    const Text path = dir.Write("garden.htm", kPage);
    session.SetInputFileText(path);
    session.ClickGenerate();
    const Text tag = session.OutputText();
    std::filesystem::remove(path);
    session.ClickListWords();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(session.OutputText().rfind("Rank Value Frequency\r\n", 0), 0u);
    session.SetMaxKeywordsText("");
    session.ClickGenerate();
    EXPECT_EQ(session.OutputText(), tag);
    // Clearing the output makes the next press read the page again, which is gone now.
    session.ClickClearOutput();
    session.ClickGenerate();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, T(6));
}

struct Refusal {
    const char* name;
    Text file;  // relative name, created with `content` when content is set
    const char* content;
    Text prompt;  // expected prompt; program texts spelled as {n}
    Text title;
    Icon icon;
};

TEST_F(SessionTest, RefusedPagesShowOneMessageAndLeaveTheTableStale) {
    const Text formFeedAt37 = Text(36, 'a') + "\f rest";
    const std::vector<Refusal> cases = {
        {"no name", "", nullptr, "{7}", "{8}", Icon::kExclamation},
        {"missing file", "gone.htm", nullptr, "{5}", "{6}", Icon::kExclamation},
        {"wrong extension", "page.php5", "x", "{3}", "{4}", Icon::kNone},
        {"dot only in folder", "my.site/page", "x", "Invalid input file specification",
         "Invalid input", Icon::kExclamation},
        {"empty page", "empty.htm", "", "{22}", "{21}", Icon::kExclamation},
        {"control character", "binary.html", formFeedAt37.c_str(), "{24} 37\r\n{25}", "{26}",
         Icon::kExclamation},
    };
    auto expand = [this](Text s) {
        for (int n : {3, 4, 5, 6, 7, 8, 21, 22, 24, 25, 26}) {
            const Text key = "{" + std::to_string(n) + "}";
            for (auto p = s.find(key); p != Text::npos; p = s.find(key))
                s.replace(p, key.size(), T(n));
        }
        return s;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.messages.clear();
        Text path;
        if (!c.file.empty()) {
            std::filesystem::create_directories(
                std::filesystem::path(dir.File(c.file)).parent_path());
            path = c.content ? dir.Write(c.file, c.content) : dir.File(c.file);
        }
        session.SetInputFileText(path);
        session.ClickGenerate();
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0].prompt, expand(c.prompt));
        EXPECT_EQ(platform.messages[0].title, expand(c.title));
        EXPECT_EQ(platform.messages[0].icon, c.icon);
        EXPECT_FALSE(session.WordTableValid());
        EXPECT_EQ(session.options().inputFile, path);
        EXPECT_EQ(session.ListWordsCaption(), "List words");
    }
}

TEST_F(SessionTest, UnixPageAsksFirstAndNoLeavesTheWindowUsable) {
    session.SetInputFileText(dir.Write("unix.htm", "<title>Unix tools</title>\nUnix tools\n"));
    platform.answers.push_back(Answer::kNo);
    session.ClickGenerate();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt,
              "This file has Unix/Linux line endings.\r\n\r\n"
              "This program processes files of this type but much more slowly.\r\n"
              "Use of this program with large Unix/Linux files is not recommended.\r\n"
              "Do you wish to proceed with this file?");
    EXPECT_EQ(platform.messages[0].title, "Warning");
    EXPECT_EQ(platform.messages[0].buttons, Buttons::kYesNo);
    EXPECT_EQ(session.ListWordsCaption(), "List words");
    EXPECT_TRUE(session.IsEnabled(Control::kGenerate));
    EXPECT_FALSE(session.WordTableValid());

    // Yes reads the page; the LFs inside the one long line separate words.
    session.ClickGenerate();
    EXPECT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(session.OutputText().rfind("<META NAME=\"keywords\" CONTENT=\"Unix, tools\">", 0),
              0u);
}

TEST_F(SessionTest, StopDuringAPassKeepsWhatWasFoundAndMarksTheTableStale) {
    session.SetInputFileText(dir.Write("many.htm", "alpha bravo charlie delta echo foxtrot\r\n"));
    for (int stopAfter : {1, 3}) {
        SCOPED_TRACE(stopAfter);
        platform.pendingInputCalls = 0;
        platform.onPendingInput = [&] {
            // During the pass only Stop and the options are usable.
            EXPECT_EQ(session.ListWordsCaption(), "Stop");
            EXPECT_FALSE(session.IsEnabled(Control::kGenerate));
            EXPECT_FALSE(session.IsEnabled(Control::kInsert));
            EXPECT_TRUE(session.IsEnabled(Control::kListWords));
            if (platform.pendingInputCalls == stopAfter)
                session.ClickListWords();
        };
        session.ClickGenerate();
        platform.onPendingInput = nullptr;
        EXPECT_EQ(platform.pendingInputCalls, stopAfter);
        const Text expected = stopAfter == 1
                                  ? "alpha \r\n\r\nStopped with 1 word identified."
                                  : "alpha bravo charlie \r\n\r\nStopped with 3 words identified.";
        EXPECT_EQ(session.OutputText(), expected);
        EXPECT_EQ(session.NumberOfWordsCaption(), "");
        EXPECT_FALSE(session.WordTableValid());
        EXPECT_TRUE(session.LastPassStopped());
        EXPECT_EQ(session.ListWordsCaption(), "List words");
        EXPECT_TRUE(session.IsEnabled(Control::kGenerate));
    }
}

TEST_F(SessionTest, WeightChangedDuringAPassAppliesToTheWordsThatFollow) {
    session.SetInputFileText(dir.Write("w.htm", "<b>first</b> <b>second</b>\r\n"));
    Options options = session.options();
    options.ignoreCommonWords = false;
    options.thresholdIndex = 0;
    session.RestoreOptions(options);
    platform.onPendingInput = [&] {
        Options changed = session.options();
        changed.boldWeightIndex = 9;
        session.RestoreOptions(changed);
    };
    session.ClickListWords();
    platform.onPendingInput = nullptr;
    // first: 3 + 4 = 7, second: 3 + 9 = 12 -> scaled to 58 and 100.
    EXPECT_EQ(session.OutputText(),
              "Rank Value Frequency\r\n"
              "   1   100    1 second\r\n"
              "   2    58    1 first\r\n");
}

TEST_F(SessionTest, MissingCommonWordListIsReportedAndTheBoxUnticked) {
    TempDir data;
    std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/lmr_text.dat",
                               data.File("lmr_text.dat"));
    FakePlatform p;
    Session s(p, data.Path());
    ASSERT_TRUE(s.LoadProgramTexts());
    s.InitialiseSession();
    s.CompleteStartup();
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].title, "Common words not available");
    EXPECT_EQ(p.messages[0].prompt, "Common words in English could not be read from file\r\n" +
                                        data.File("cmwds_en.txt"));
    EXPECT_FALSE(s.options().ignoreCommonWords);
}

TEST_F(SessionTest, ProgramTextFileThatCannotBeLoadedEndsStartup) {
    FakePlatform p;
    Session s(p, dir.Path());
    EXPECT_FALSE(s.LoadProgramTexts());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].prompt,
              "Cannot open file containing program text.\r\n" + dir.File("lmr_text.dat"));
    EXPECT_EQ(p.messages[0].icon, Icon::kCritical);
}

TEST_F(SessionTest, LimitBoxesAreCleanedAndRefusalsRestoreTheDefault) {
    session.SetMaxKeywordsText("4");
    EXPECT_FALSE(session.MaxKeywordsLostFocus());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, "Minimum number of keywords in the meta tag is 5.");
    EXPECT_EQ(platform.messages[0].title, "");
    EXPECT_EQ(session.options().maxKeywords, "50");

    session.SetMaxBytesText("1,000");
    EXPECT_TRUE(session.MaxBytesLostFocus());
    EXPECT_EQ(session.options().maxBytes, "1000");
    session.SetMaxBytesText("1.500");
    EXPECT_FALSE(session.MaxBytesLostFocus());
    EXPECT_EQ(platform.messages.back().prompt, "Maximum number of bytes in the meta tag is 1000.");
    EXPECT_EQ(session.options().maxBytes, "500");
}

TEST_F(SessionTest, WordsToIgnoreAreNormalisedAndFilterThePass) {
    session.SetWordsToIgnoreText("  Garden  Rakes, ");
    session.WordsToIgnoreLostFocus();
    EXPECT_EQ(session.options().wordsToIgnore, "garden,rakes");
    EXPECT_EQ(session.IgnoreList(), "garden,rakes,");
    session.SetInputFileText(dir.Write("garden.htm", kPage));
    session.ClickGenerate();
    EXPECT_EQ(session.GetMetaTag(), "<META NAME=\"keywords\" CONTENT=\"tools, hoses\">");
}

}  // namespace
}  // namespace lumora::app
