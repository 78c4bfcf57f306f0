#include "text/program_texts.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace lumora::text {
namespace {

TEST(ProgramTexts, LoadResults) {
    Text sixLanguages;
    for (int i = 0; i < 6; ++i) sixLanguages += "@language L\r\n1=t\r\n";
    const std::pair<Text, std::int32_t> cases[] = {
        {"", -6},
        {"# only a comment\r\n\r\n", 0},
        {"1=a\r\n2=\r\n", -502},
        {"1=a\r\n2=" + Text(kMaxProgramTextLength + 1, 'x') + "\r\n", -1002},
        {"1=" + Text(kMaxProgramTextLength, 'x'), 1},
        {"1=a\r\n\r\n1=b\r\n", -1503},
        {sixLanguages, 6},
        {"1=t\r\n" + sixLanguages, -3},
    };
    for (const auto& [content, result] : cases) {
        ProgramTexts texts;
        EXPECT_EQ(texts.LoadFromContent(content), result) << content.substr(0, 40);
        EXPECT_EQ(texts.Get(1).empty(), result <= 0);
    }
}

TEST(ProgramTexts, GetByNumberAndLanguage) {
    ProgramTexts texts;
    ASSERT_EQ(texts.LoadFromContent("\xEF\xBB\xBF# texts\r\n@language English\r\n1=One \xE9 \r\n"
                                    "2=Two\r\n@language French\r\n1=Un\n"),
              3);
    EXPECT_EQ(texts.Get(1), "One \u00E9 ");  // not UTF-8: the earlier single-byte format
    EXPECT_EQ(texts.Get(2, 0), "Two");
    ProgramTexts utf8;
    ASSERT_EQ(utf8.LoadFromContent("1=Caf\u00E9 \u0416\u2019\r\n"), 1);
    EXPECT_EQ(utf8.Get(1), "Caf\u00E9 \u0416\u2019");
    EXPECT_EQ(texts.Get(1, 1), "Un");
    for (auto [n, language] : {std::pair{2, 1}, {3, 0}, {1, 2}, {1, -1}}) {
        EXPECT_EQ(texts.Get(n, language), "");
    }

    testing::TempDir dir;
    EXPECT_EQ(texts.Load(dir.Write("empty.dat", "")), -6);
    EXPECT_EQ(texts.Get(1), "");
    EXPECT_EQ(texts.Load(dir.File("absent.dat")), -1);
    EXPECT_EQ(texts.Load(dir.Path()), -1);
}

TEST(ProgramTexts, LoadErrorMessagesNameTheFileAndVersion) {
    const Text file = "C:\\Lumora\\lmr_text.dat";
    const std::pair<std::int32_t, Text> cases[] = {
        {0, "No program text was read.\r\n" + file},
        {-1, "Cannot open file containing program text.\r\n" + file},
        {-3, "Too much program text.\r\n" + file},
        {-1000, "Missing string at line 500 of " + file + "."},
        {-1250, "String too long at line 250 of " + file + "."},
        {-1501, "Duplicate in program text at line 1 of " + file + "."},
    };
    for (const auto& [result, message] : cases) {
        EXPECT_EQ(ProgramTexts::LoadErrorMessage(result, file), message);
    }
    EXPECT_EQ(VersionText(1, 0), "1.07");
    EXPECT_EQ(VersionText(5, 5), "5.57");
}

// Damaged copies of the shipped file: each fails to load with a message that names the
// file and the line to look at.
TEST(ProgramTexts, DamagedFilesAreReportedByFileAndLine) {
    const Text shipped = testing::ReadFile(Text(LUMORA_SOURCE_DIR) + "/data/lmr_text.dat");
    const std::size_t last = shipped.rfind("315=");
    ASSERT_NE(last, Text::npos);
    const std::size_t cut = shipped.find("\n21=") + 1;  // the file cut after a whole line
    const std::int64_t cutLines = std::count(shipped.begin(), shipped.begin() + cut, '\n');
    const std::int64_t allLines = std::count(shipped.begin(), shipped.end(), '\n');
    Text withNul = shipped;
    withNul.insert(shipped.find("\n9=") + 3, 1, '\0');
    const std::int64_t nulLine =
        std::count(shipped.begin(), shipped.begin() + shipped.find("\n9="), '\n') + 2;
    testing::TempDir dir;
    const Text path = dir.File("lmr_text.dat");
    const struct {
        const char* name;
        Text content;
        std::int32_t result;
        Text message;
    } cases[] = {
        {"cut after a whole line", shipped.substr(0, cut), -10,
         path +
             " lacks text 21, which the program needs: the file is damaged or cut short (it "
             "ends at line " +
             std::to_string(cutLines) + ")."},
        {"last text lost", shipped.substr(0, last), -10,
         path +
             " lacks text 315, which the program needs: the file is damaged or cut short (it "
             "ends at line " +
             std::to_string(allLines - 1) + ")."},
        {"a zero byte in a text", withNul, -11,
         "Damaged text at line " + std::to_string(nulLine) + " of " + path +
             ": it holds the control character 0."},
        {"binary",
         Text("\x7f"
              "ELF\x02\x01\x01",
              7),
         -11, "Damaged text at line 1 of " + path + ": it holds the control character 2."},
        {"a line that is no text", "1=a\r\ngarbage\r\n", -502,
         "Missing string at line 2 of " + path + "."},
        {"seven languages",
         "@language a\n@language b\n@language c\n@language d\n@language "
         "e\n@language f\n@language g\n",
         -3, "Too much program text: line 7 of " + path + " starts a seventh language."},
        {"empty", "", -6, "File is empty.\r\n" + path},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramTexts texts;
        dir.Write("lmr_text.dat", c.content);
        EXPECT_EQ(texts.Load(path), c.result);
        EXPECT_EQ(texts.ErrorMessage(path), c.message);
        EXPECT_EQ(texts.Get(1), "");
    }
    ProgramTexts texts;
    dir.Write("lmr_text.dat", shipped);
    EXPECT_GT(texts.Load(path), 0);
    EXPECT_EQ(texts.ErrorMessage(path), "");
}

TEST(ProgramTexts, ShippedFileHoldsEveryText) {
    const Text path = Text(LUMORA_SOURCE_DIR) + "/data/lmr_text.dat";
    ProgramTexts texts;
    ASSERT_GT(texts.Load(path), 0);
    for (int n : {1, 3, 4, 5, 6, 7, 8, 9, 15, 21, 22, 23, 24, 25, 26, 310, 315}) {
        EXPECT_FALSE(texts.Get(n).empty()) << n;
    }
    EXPECT_EQ(texts.Get(tx::kDataFolderName), "lumora");
    EXPECT_NE(texts.Get(tx::kControlCharPrompt).back(), ' ');  // a blank and the position follow

    const Text content = testing::ReadFile(path);
    for (std::size_t i = content.find('\n'); i != Text::npos; i = content.find('\n', i + 1)) {
        ASSERT_TRUE(i > 0 && content[i - 1] == '\r') << "line end at " << i;
    }
}

}  // namespace
}  // namespace lumora::text
