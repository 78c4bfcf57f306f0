#include "files/file_checks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace lumora::files {
namespace {

// The names refused are the session's tests; here, every page-like name is taken.
TEST(FileChecksTest, InputFileNames) {
    testing::TempDir dir;
    for (const char* name : {"page.HTM", "page.shtml", "page.xhtml", "page.phtml", "page.php"})
        EXPECT_EQ(CheckInputFileName(dir.Write(name, "<html>")), InputNameStatus::kOk) << name;
    EXPECT_EQ(CheckInputFileName(dir.Write("page.", "<html>")), InputNameStatus::kWrongExtension);
    EXPECT_EQ(CheckInputFileName("page"), InputNameStatus::kInvalidName);
    std::filesystem::create_directory(dir.File("folder.htm"));
    EXPECT_FALSE(FileExists(dir.File("folder.htm")));
    EXPECT_FALSE(FileExists(""));
    // The bytes of a name stay as they are, whatever their case or encoding.
    EXPECT_EQ(FolderOfPath("c:/Web/\u00C9T\u00C9/Page.htm"), "c:/Web/\u00C9T\u00C9/");
    EXPECT_EQ(FolderOfPath("page.htm"), "");
}

}  // namespace
}  // namespace lumora::files
