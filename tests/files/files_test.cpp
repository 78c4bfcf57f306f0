// The temporary names a replace leaves behind when it is killed, and where a bare name
// lives. (A page that is no regular file is refused end to end, in cli_test.cpp.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "files/page_file.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace lumora::files {
namespace {

using testing::TempDir;

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

// Clean-up removes only what an earlier run left for this very page, and only once it is
// too old to belong to a run still going: never the names of a page whose name begins with
// the same 220 bytes, nor names that only look like its own.
TEST(ReplaceFile, CleanUpTakesOnlyOldTemporaryNamesOfThisPage) {
    TempDir dir;
    const Text shared(220, 'p');
    const Text page = shared + "a.htm";
    const Text mineOld = TempNameOf(dir, page);
    ASSERT_LE(mineOld.size(), 255u);
    ASSERT_TRUE(IsTempName(mineOld));
    Text mineNew = mineOld, upper = mineOld, otherHash = mineOld;
    mineNew[mineNew.size() - 5] = mineNew[mineNew.size() - 5] == 'a' ? 'b' : 'a';
    upper[upper.size() - 5] = 'A';
    otherHash[otherHash.find(".lumora-") + 8] ^= 1;
    const Text old[] = {mineOld, upper, otherHash, TempNameOf(dir, shared + "b.htm"),
                        "." + page + ".lumora-a1b2c3d4.tmp"};
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const Text& name : old) {
        dir.Write(name, "left");
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.File(name).c_str(), hourAgo, 0), 0);
    }
    dir.Write(mineNew, "left");
    EXPECT_EQ(ReplaceFile(RealFileSystem(), dir.File(page), "new", Mine(), page), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir.File(mineOld)));
    for (const Text& name : {mineNew, upper, otherHash, old[3], old[4]})
        EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
}

TEST(ReplaceFile, ABareNameLivesInTheCurrentFolder) {
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ReplaceFile(RealFileSystem(), "here.htm", "here", Mine(), "here.htm"), std::nullopt);
    std::filesystem::current_path(previous);
    EXPECT_EQ(testing::Snapshot(dir.Path()),
              (std::map<std::string, std::string>{{dir.File("here.htm"), "here"}}));
}

}  // namespace
}  // namespace lumora::files
