// Checking page names, reading pages by name as given, and the temporary names that
// clean-up may remove.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "files/file_checks.h"
#include "files/page_file.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

// The names refused are the session's tests; here, every page-like name is taken.
TEST(FileChecksTest, InputFileNames) {
    TempDir dir;
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

// Each page path, read by a child under a time limit (a FIFO opened for reading would
// block it): the bytes, or the message naming the path exactly as given.
TEST(ReadPage, ReadsRegularFilesAndRefusesTheRestByName) {
    TempDir dir;
    dir.Write("page.htm", "<p>a</p>");
    dir.Write(" blank.htm ", "<p>blanks</p>");
    ASSERT_EQ(::mkfifo(dir.File("fifo.htm").c_str(), 0644), 0);
    std::filesystem::create_directory(dir.File("folder.htm"));
    std::filesystem::create_symlink(dir.File("fifo.htm"), dir.File("to-fifo.htm"));
    std::filesystem::create_symlink(dir.File("page.htm"), dir.File("to-page.htm"));
    std::filesystem::create_symlink(dir.File("gone.htm"), dir.File("dangling.htm"));
    const struct {
        Text path;
        Text bytes;
        Text message;
    } cases[] = {
        {dir.File("page.htm"), "<p>a</p>", ""},
        {dir.File("to-page.htm"), "<p>a</p>", ""},
        {dir.File(" blank.htm "), "<p>blanks</p>", ""},
        {dir.File("blank.htm"), "", dir.File("blank.htm") + " does not exist"},
        {dir.File("dangling.htm"), "", dir.File("dangling.htm") + " does not exist"},
        {dir.File("fifo.htm"), "", dir.File("fifo.htm") + " is not a regular file"},
        {dir.File("to-fifo.htm"), "", dir.File("to-fifo.htm") + " is not a regular file"},
        {dir.File("folder.htm"), "", dir.File("folder.htm") + " is not a regular file"},
        {"/dev/zero", "", "/dev/zero is not a regular file"},
        {dir.File("page.htm/x"), "",
         dir.File("page.htm/x") + " could not be read: Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto status = testing::RunInChild(
            [&] {
                Text bytes = "stale";
                const auto error = ReadPage(c.path, bytes);
                EXPECT_EQ(error ? error->Message() : "", c.message);
                EXPECT_EQ(bytes, c.bytes);
                const auto problem = NotRegularFileProblem(c.path);
                EXPECT_EQ(problem ? problem->Message() : "",
                          c.message.ends_with("regular file") ? c.message : "");
                return ::testing::Test::HasFailure() ? 1 : 0;
            },
            std::chrono::seconds(5));
        ASSERT_TRUE(status.has_value()) << "blocked";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }
}

TEST(ReplaceFile, TemporaryNamesAreRecognisedOnlyForTheirFile) {
    const struct {
        const char* name;
        const char* base;
        bool temp;
    } cases[] = {
        {".page.htm.lumora-a1b2c3d4.tmp", "page.htm", true},
        {".page.htm.lumora-a1b2c3d4.tmp", "page.bak.htm", false},
        {".page.bak.htm.lumora-00000000.tmp", "page.bak.htm", true},
        {".page.htm.lumora-a1b2c3d.tmp", "page.htm", false},   // one character short
        {".page.htm.lumora-A1B2C3D4.tmp", "page.htm", false},  // not our characters
        {".page.htm.lumora-a1b2/3d4.tmp", "page.htm", false},
        {".other.htm.lumora-a1b2c3d4.tmp", "page.htm", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsTempNameFor(c.name, c.base), c.temp) << c.name;
    // A very long page name still gets a temporary name that fits and is recognised.
    const Text longBase(250, 'p');
    const Text longTemp = "." + longBase.substr(0, 200) + ".lumora-abcdefgh.tmp";
    EXPECT_TRUE(IsTempNameFor(longTemp, longBase));
    EXPECT_LE(longTemp.size(), 255u);
}

TEST(ReplaceFile, LongNamesAndRelativePaths) {
    TempDir dir;
    FileInfo like;
    like.owner = ::geteuid();
    like.group = ::getegid();
    like.mode = 0644;
    const Text longName = dir.File(Text(250, 'p') + ".htm");
    EXPECT_EQ(ReplaceFile(RealFileSystem(), longName, "long", like, longName), std::nullopt);
    EXPECT_EQ(testing::ReadFile(longName), "long");
    // A bare name lives in the current folder.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ReplaceFile(RealFileSystem(), "here.htm", "here", like, "here.htm"), std::nullopt);
    std::filesystem::current_path(previous);
    EXPECT_EQ(testing::ReadFile(dir.File("here.htm")), "here");
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++names;
    EXPECT_EQ(names, 2u);
}

}  // namespace
}  // namespace lumora::files
