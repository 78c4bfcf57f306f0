#include "files/file_checks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

TEST(FileChecksTest, FilesAndFolders) {
    TempDir dir;
    const std::string page = dir.Write("page.htm", "x");
    std::filesystem::create_directory(dir.File("folder.htm"));
    EXPECT_TRUE(FileExists(page));
    EXPECT_FALSE(FileExists(dir.File("folder.htm")));
    EXPECT_FALSE(FileExists(dir.File("missing.htm")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FolderExists(dir.File("folder.htm")));
    EXPECT_FALSE(FolderExists(page));
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

TEST(FileChecksTest, FolderOfAPath) {
    EXPECT_EQ(FolderOfPath("/home/Ann/page.htm"), "/home/Ann/");
    EXPECT_EQ(FolderOfPath("page.htm"), "");
    // The bytes of a name stay as they are, whatever their case or encoding.
    EXPECT_EQ(FolderOfPath("c:/Web/\u00C9T\u00C9/Page.htm"), "c:/Web/\u00C9T\u00C9/");
}

}  // namespace
}  // namespace lumora::files
