// Checking page names, reading pages by name as given, and the temporary names that
// clean-up may remove.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "files/file_checks.h"
#include "files/page_file.h"
#include "support/faulty_file_system.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

// The names refused are the session's tests; here, every page-like name is taken.
TEST(FileChecksTest, InputFileNames) {
    TempDir dir;
    for (const char* name : {"page.HTM", "page.shtml", "page.xhtml", "page.phtml", "page.php"})
        EXPECT_EQ(CheckInputFileName(dir.Write(name, "<html>"), RealFileSystem()),
                  InputNameStatus::kOk)
            << name;
    EXPECT_EQ(CheckInputFileName(dir.Write("page.", "<html>"), RealFileSystem()),
              InputNameStatus::kWrongExtension);
    EXPECT_EQ(CheckInputFileName("page", RealFileSystem()), InputNameStatus::kInvalidName);
    std::filesystem::create_directory(dir.File("folder.htm"));
    EXPECT_FALSE(FileExists(dir.File("folder.htm"), RealFileSystem()));
    EXPECT_FALSE(FileExists("", RealFileSystem()));
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

FileInfo Mine() {
    FileInfo like;
    like.owner = ::geteuid();
    like.group = ::getegid();
    like.mode = 0644;
    return like;
}

// The temporary name a replace gives the new version of `base`, seen in the folder just
// before the rename.
Text TempNameOf(const TempDir& dir, const Text& base) {
    static const std::unique_ptr<FileSystem> named = NewNamedTempFileSystem();
    testing::FaultyFileSystem fs(*named, testing::FaultyFileSystem::Mode::kFailOnce, 0);
    Text temp;
    fs.watch = [&](int, const char* call, int) {
        for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
            const Text name = e.path().filename().string();
            if (Text(call) == "Rename" && name.starts_with('.'))
                temp = name;
        }
    };
    EXPECT_EQ(ReplaceFile(fs, dir.File(base), "x", Mine(), base), std::nullopt);
    return temp;
}

// Names made for a page are known as its own and as temporary names, and never as those
// of another page, even one whose name begins with the same 220 bytes.
TEST(ReplaceFile, TemporaryNamesAreRecognisedOnlyForTheirFile) {
    TempDir dir;
    const Text shared(220, 'p');
    const Text page = TempNameOf(dir, "page.htm");
    const Text longA = TempNameOf(dir, shared + "a.htm");
    ASSERT_FALSE(page.empty());
    EXPECT_LE(longA.size(), 255u);
    Text upper = page, slash = page, shorter = page, otherHash = page;
    upper[upper.size() - 5] = 'A';
    slash[slash.size() - 5] = '/';
    shorter.erase(shorter.size() - 5, 1);
    otherHash[otherHash.find(".lumora-") + 8] ^= 1;
    const struct {
        Text name;
        Text base;
        bool forBase;
        bool temp;
    } cases[] = {
        {page, "page.htm", true, true},
        {page, "page.bak.htm", false, true},
        {longA, shared + "a.htm", true, true},
        {longA, shared + "b.htm", false, true},
        {upper, "page.htm", false, false},
        {slash, "page.htm", false, false},
        {shorter, "page.htm", false, false},
        {otherHash, "page.htm", false, false},
        {".page.htm.lumora-a1b2c3d4.tmp", "page.htm", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTempNameFor(c.name, c.base), c.forBase) << c.name;
        EXPECT_EQ(IsTempName(c.name), c.temp) << c.name;
    }
}

// Clean-up removes only what an earlier run left for this very page, and only once it is
// too old to belong to a run still going.
TEST(ReplaceFile, CleanUpTakesOnlyOldTemporaryNamesOfThisPage) {
    TempDir dir;
    const Text shared(220, 'p');
    const Text page = shared + "a.htm";
    const Text mineOld = TempNameOf(dir, page);
    Text mineNew = mineOld;
    mineNew[mineNew.size() - 5] = mineNew[mineNew.size() - 5] == 'a' ? 'b' : 'a';
    const Text siblingOld = TempNameOf(dir, shared + "b.htm");
    for (const Text& name : {mineOld, mineNew, siblingOld}) dir.Write(name, "left");
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const Text& name : {mineOld, siblingOld})
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.File(name).c_str(), hourAgo, 0), 0);
    EXPECT_EQ(ReplaceFile(RealFileSystem(), dir.File(page), "new", Mine(), page), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir.File(mineOld)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(mineNew)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(siblingOld)));
}

TEST(ReplaceFile, LongNamesAndRelativePaths) {
    TempDir dir;
    const FileInfo like = Mine();
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
