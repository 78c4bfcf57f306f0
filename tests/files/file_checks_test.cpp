#include "files/file_checks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

TEST(FileChecksTest, ClassifiesInputAndListFiles) {
    const struct {
        const char* name;
        std::string bytes;
        std::int64_t inputCode;
        int listCode;  // CheckTextFile with 16384 characters
    } cases[] = {
        {"crlf", "a\r\nb\r\n", 1, 1},
        {"no line end", "a\tb\x80\xff", 1, 1},
        {"lf only", "a\nb\n", 2, 2},
        {"cr only", "a\rb\r", 3, 3},
        {"form feed at 37", std::string(36, 'x') + "\f\r\n", -37, 0},
        {"nul first", std::string(1, '\0'), -1, 0},
        // Positions count over the whole file; the list check stops after 16384 characters.
        {"control in second piece", std::string(16484, 'a') + "\x01", -16485, 1},
        {"lf in second piece", std::string(16384, 'a') + "\n", 2, 1},
        {"empty", "", 4, -2},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.Write(c.name, c.bytes);
        EXPECT_EQ(ClassifyInputFile(path), c.inputCode) << c.name;
        EXPECT_EQ(CheckTextFile(path, 16384), c.listCode) << c.name;
    }
    // A folder is not a file.
    std::filesystem::create_directory(dir.File("folder.htm"));
    for (const std::string& path : {dir.File("missing.htm"), dir.File("folder.htm")}) {
        EXPECT_FALSE(FileExists(path));
        EXPECT_EQ(ClassifyInputFile(path), 0);
        EXPECT_EQ(CheckTextFile(path, 16384), -1);
    }
    EXPECT_TRUE(FolderExists(dir.File("folder.htm")));
    EXPECT_FALSE(FolderExists(dir.File("empty")));
    // A limit above one piece must not let the rest of the second piece through.
    const std::string late = dir.Write("late.txt", std::string(20000, 'a') + "\x02");
    EXPECT_EQ(CheckTextFile(late, 20000), 1);
    EXPECT_EQ(CheckTextFile(late, 20001), 0);
}

TEST(FileChecksTest, InputFileNames) {
    TempDir dir;
    for (const char* name :
         {"page.HTM", "page.shtml", "page.xhtml", "page.phtml", "page.php", "page.php5", "page."}) {
        dir.Write(name, "<html>");
    }
    std::filesystem::create_directory(dir.File("my.site"));
    dir.Write("my.site/page", "<html>");
    for (const char* name : {"page.HTM", "page.shtml", "page.xhtml", "page.phtml", "page.php"}) {
        EXPECT_EQ(CheckInputFileName(dir.File(name)), InputNameStatus::kOk) << name;
    }
    EXPECT_EQ(CheckInputFileName(dir.File("gone.html")), InputNameStatus::kFileMissing);
    EXPECT_EQ(CheckInputFileName(dir.File("page.php5")), InputNameStatus::kWrongExtension);
    EXPECT_EQ(CheckInputFileName(dir.File("page.")), InputNameStatus::kWrongExtension);
    EXPECT_EQ(CheckInputFileName(dir.File("my.site/page")), InputNameStatus::kInvalidName);
    EXPECT_EQ(CheckInputFileName("page"), InputNameStatus::kInvalidName);
}

TEST(FileChecksTest, PathsAndPrompts) {
    EXPECT_EQ(FolderOfPath("/home/Ann/page.htm"), "/home/Ann/");
    EXPECT_EQ(FolderOfPath("page.htm"), "");
    // Only ASCII letters change case: the bytes of a UTF-8 name stay as they are.
    EXPECT_EQ(FolderOfPath("c:/Web/\u00C9T\u00C9/Page.htm"), "C:/web/\u00C9t\u00C9/");

    EXPECT_EQ(LineEndingsPrompt(2, UnixFileQuestionExtra()),
              "This file has Unix/Linux line endings.\r\n\r\n"
              "This program processes files of this type but much more slowly.\r\n"
              "Use of this program with large Unix/Linux files is not recommended.\r\n"
              "Do you wish to proceed with this file?");
    EXPECT_EQ(LineEndingsPrompt(3, ""), "This file has Macintosh line endings.");
    EXPECT_EQ(LineEndingsPrompt(-2, "x"), "This is a zero-length file.");
}

}  // namespace
}  // namespace lumora::files
