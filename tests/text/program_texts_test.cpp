#include "text/program_texts.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace lumora::text {
namespace {

// Each kind of content, with the load's result and the message that names the file and
// the line to look at.
TEST(ProgramTexts, LoadResultsAndTheirMessages) {
    const Text path = "/data/lmr_text.dat";
    Text sixLanguages;
    for (int i = 0; i < 6; ++i) sixLanguages += "@language L\r\n1=t\r\n";
    const struct {
        Text content;
        std::int32_t result;
        Text message;
    } cases[] = {
        {"", -6, "File is empty.\r\n" + path},
        {"# only a comment\r\n\r\n", 0, "No program text was read.\r\n" + path},
        {"1=a\r\ngarbage\r\n", -502, "Missing string at line 2 of " + path + "."},
        {"1=a\r\n2=\r\n", -502, "Missing string at line 2 of " + path + "."},
        {"1=a\r\n2=" + Text(kMaxProgramTextLength + 1, 'x') + "\r\n", -1002,
         "String too long at line 2 of " + path + "."},
        {"1=" + Text(kMaxProgramTextLength, 'x'), 1, ""},
        {"1=a\r\n\r\n1=b\r\n", -1503, "Duplicate in program text at line 3 of " + path + "."},
        {sixLanguages, 6, ""},
        {"1=t\r\n" + sixLanguages, -3,
         "Too much program text: line 12 of " + path + " starts a seventh language."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 40));
        ProgramTexts texts;
        EXPECT_EQ(texts.LoadFromContent(c.content), c.result);
        EXPECT_EQ(texts.ErrorMessage(path), c.message);
        EXPECT_EQ(texts.Get(1).empty(), c.result <= 0);
    }
}

TEST(ProgramTexts, GetByNumberAndLanguage) {
    ProgramTexts texts;
    ASSERT_EQ(texts.LoadFromContent("\xEF\xBB\xBF# texts\r\n@language English\r\n1=One \xE9 \r\n"
                                    "2=Two\r\n@language French\r\n1=Un\n"),
              3);
    EXPECT_EQ(texts.Get(1), "One \u00E9 ");  // not UTF-8: the earlier single-byte format
    EXPECT_EQ(texts.Get(2, 0), "Two");
    EXPECT_EQ(texts.Get(1, 1), "Un");
    for (auto [n, language] : {std::pair{2, 1}, {3, 0}, {1, 2}, {1, -1}})
        EXPECT_EQ(texts.Get(n, language), "");
    ProgramTexts utf8;
    ASSERT_EQ(utf8.LoadFromContent("1=Caf\u00E9 \u0416\u2019\r\n"), 1);
    EXPECT_EQ(utf8.Get(1), "Caf\u00E9 \u0416\u2019");
}

// Damaged copies of the shipped file fail to load by file and line, and so does one that
// cannot be read; the whole file loads with every text the program needs.
TEST(ProgramTexts, ShippedFileHoldsEveryTextAndDamagedCopiesAreReported) {
    const Text shipped = testing::ReadFile(Text(LUMORA_SOURCE_DIR) + "/data/lmr_text.dat");
    const std::size_t last = shipped.rfind("315=");
    ASSERT_NE(last, Text::npos);
    const std::int64_t allLines = std::count(shipped.begin(), shipped.end(), '\n');
    Text withNul = shipped;
    withNul.insert(shipped.find("\n15=") + 4, 1, '\0');
    const std::int64_t nulLine =
        std::count(shipped.begin(), shipped.begin() + shipped.find("\n15="), '\n') + 2;
    testing::TempDir dir;
    const Text path = dir.File("lmr_text.dat");
    const struct {
        Text content;
        std::int32_t result;
        Text message;
    } cases[] = {
        {shipped.substr(0, last), -10,
         path +
             " lacks text 315, which the program needs: the file is damaged or cut short (it "
             "ends at line " +
             std::to_string(allLines - 1) + ")."},
        {withNul, -11,
         "Damaged text at line " + std::to_string(nulLine) + " of " + path +
             ": it holds the control character 0."},
        {"\177ELF\2\1\1", -11,
         "Damaged text at line 1 of " + path + ": it holds the control character 2."},
    };
    for (const auto& c : cases) {
        ProgramTexts texts;
        dir.Write("lmr_text.dat", c.content);
        EXPECT_EQ(texts.Load(path, files::RealFileSystem()), c.result);
        EXPECT_EQ(texts.ErrorMessage(path), c.message);
        EXPECT_EQ(texts.Get(1), "");
    }
    ProgramTexts texts;
    EXPECT_EQ(texts.Load(dir.Path(), files::RealFileSystem()), -1);
    dir.Write("lmr_text.dat", shipped);
    // The look at the file (call 1) succeeds and its reading fails.
    testing::FaultyFileSystem failing(files::RealFileSystem(),
                                      testing::FaultyFileSystem::Mode::kFailOnce, 2);
    EXPECT_EQ(texts.Load(path, failing), -7) << failing.log;
    EXPECT_EQ(texts.ErrorMessage(path), "Error reading file.\r\n" + path);
    ASSERT_GT(texts.Load(path, files::RealFileSystem()), 0);
    EXPECT_EQ(texts.ErrorMessage(path), "");
    // The folder of the user's settings is named by the shipped texts.
    EXPECT_EQ(texts.Get(tx::kDataFolderName), "lumora");
}

}  // namespace
}  // namespace lumora::text
