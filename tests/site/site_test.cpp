#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "site/page_set.h"
#include "site/unified_diff.h"
#include "site/worker_pool.h"
#include "support/case_file.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace lumora::site {
namespace {

using lumora::testing::ReadFile;
using lumora::testing::TempDir;
namespace fs = std::filesystem;

// The walk over the real disk.
PageSet CollectPages(const std::vector<Text>& arguments, const PageSetOptions& options) {
    return site::CollectPages(arguments, options, files::RealFileSystem());
}

// Fails one call of the walk for one path (for ListFolder: the folder opened at that path).
class FailingFor : public lumora::testing::FaultyFileSystem {
  public:
    FailingFor(Text call, Text path)
        : FaultyFileSystem(files::RealFileSystem(), Mode::kFailOnce, 0),
          call_(std::move(call)),
          path_(std::move(path)) {}
    Text Stat(const files::Folder& in, const Text& n, files::FileInfo& i) override {
        return Fails("Stat", n) ? kFailure : FaultyFileSystem::Stat(in, n, i);
    }
    Text RealPath(const Text& p, Text& r) override {
        return Fails("RealPath", p) ? kFailure : FaultyFileSystem::RealPath(p, r);
    }
    Text OpenFolder(const files::Folder& in, const Text& n, files::Folder& f) override {
        if (Fails("OpenFolder", n))
            return kFailure;
        Text error = FaultyFileSystem::OpenFolder(in, n, f);
        if (n == path_)
            listed_ = f.fd();
        return error;
    }
    Text ListFolder(const files::Folder& f, std::vector<Text>& names) override {
        if (call_ != "ListFolder" || f.fd() != listed_)
            return FaultyFileSystem::ListFolder(f, names);
        listed_ = -1;
        return kFailure;
    }

  private:
    static constexpr const char* kFailure = "Input/output error";
    bool Fails(const char* call, const Text& path) const { return call_ == call && path == path_; }
    Text call_, path_;
    int listed_ = -1;
};

// A folder, a link or an argument that cannot be looked at gives that one's error; the
// walk goes on with the others.
TEST(CollectPages, AFailingLookGivesThatEntrysErrorAndTheWalkGoesOn) {
    TempDir dir;
    fs::create_directories(dir.File("site/b"));
    for (const char* name : {"site/index.html", "site/b/three.html"}) dir.Write(name, "<p>");
    fs::create_symlink("../index.html", dir.File("site/b/alias.html"));
    PageSetOptions following;
    following.recursive = true;
    following.followSymlinks = true;
    const std::vector<Text> others = {dir.File("site/index.html")};
    const struct {
        const char* call;
        const char* path;
        std::vector<Text> pages;
    } cases[] = {
        {"OpenFolder", "site/b", others},
        {"ListFolder", "site/b", others},
        {"Stat", "site", {}},
        {"RealPath",
         "site/b/alias.html",
         {dir.File("site/b/three.html"), dir.File("site/index.html")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + c.path);
        FailingFor failing(c.call, dir.File(c.path));
        const PageSet set = site::CollectPages({dir.File("site")}, following, failing);
        EXPECT_EQ(set.pages, c.pages);
        ASSERT_EQ(set.problems.size(), 1u);
        EXPECT_EQ(set.problems[0].Message(), dir.File(c.path) + ": Input/output error");
    }
}

// The cases of tests/data/collect_pages.txt, in a site with what sites hold.
TEST(CollectPages, FoldersGiveTheirPagesSortedAndNamedFilesAreTakenAsGiven) {
    TempDir dir;
    fs::create_directories(dir.File("site/a/deep"));
    fs::create_directories(dir.File("site/b"));
    fs::create_directories(dir.File("elsewhere"));
    fs::create_directories(dir.File("old.htm"));
    fs::create_directories(dir.File("Old.XHTML"));
    // The temporary name of a page whose name was cut to fit.
    const Text temp = "site/b/." + Text(200, 't') + ".lumora-0123456789abcdef-ab12cd34.tmp";
    for (const Text& name :
         {Text("site/index.html"), Text("site/about.htm"), Text("site/notes.txt"),
          Text("site/a/one.html"), Text("site/a/deep/two.htm"), Text("site/b/three.html"),
          Text("site/b/draft.html"), Text("site/b/UP.HTM"), Text("site/b/x.Xhtml"),
          Text("site/b/three.bak.html"), temp, Text("elsewhere/far.html"),
          Text("old.htm/inside.htm")})
        dir.Write(name, "<html></html>");
    fs::create_directory_symlink("..", dir.File("site/a/loop"));
    fs::create_directory_symlink(dir.File("elsewhere"), dir.File("site/linked"));
    fs::create_symlink("../index.html", dir.File("site/b/alias.html"));
    fs::create_symlink(dir.File("elsewhere/far.html"), dir.File("site/out.htm"));
    fs::create_symlink(dir.File("gone.htm"), dir.File("site/b/dangling.txt"));
    fs::create_symlink(dir.File("gone"), dir.File("site/b/dangling-folder"));
    const auto paths = [&](const Text& listed) {
        std::vector<Text> all;
        std::istringstream in(listed);
        for (Text path; in >> path;) all.push_back(dir.File(path));
        return all;
    };
    for (const testing::Case& c : testing::ReadCases("collect_pages.txt")) {
        SCOPED_TRACE(c.name);
        PageSetOptions options;
        options.recursive = c.Get("recursive") == "yes";
        options.followSymlinks = c.Get("follow") == "yes";
        options.include = c.All("include");
        options.exclude = c.All("exclude");
        const PageSet set = CollectPages(paths(c.Get("args")), options);
        EXPECT_EQ(set.pages, paths(c.Get("pages")));
        std::vector<Text> problems;
        for (const Error& problem : set.problems) problems.push_back(problem.path);
        std::sort(problems.begin(), problems.end());
        EXPECT_EQ(problems, paths(c.Get("problems")));
    }
    EXPECT_EQ(CollectPages({dir.File("missing.htm")}, {}).problems.at(0).Message(),
              dir.File("missing.htm") + ": No such file or directory");
}

// Applies a diff with the system's patch and returns the result.
Text Patched(const TempDir& dir, const Text& before, const Text& diff) {
    const Text page = dir.Write("page.htm", before);
    const Text patchFile = dir.Write("page.diff", diff);
    const Text command = "patch --quiet --binary " + page + " < " + patchFile + " > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << diff;
    return ReadFile(page);
}

// Pages of random lines with a few lines inserted, replaced or removed, as an insert makes
// them, sometimes without a line end at the very end.
TEST(UnifiedDiffTest, PatchTurnsTheOldPageIntoTheNewOne) {
    if (std::system("command -v patch > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "patch is not installed";
    TempDir dir;
    std::mt19937 random(11);
    for (int round = 0; round < 120; ++round) {
        // patch reads lines up to LF, so pages whose lines end in a lone CR are left out.
        const Text end = round % 2 ? "\r\n" : "\n";
        std::vector<Text> lines(1 + random() % 40);
        for (Text& line : lines) line = "line " + std::to_string(random() % 7);
        std::vector<Text> changed = lines;
        for (int e = 0, edits = 1 + random() % 3; e < edits; ++e) {
            const std::size_t at = random() % (changed.size() + 1);
            const unsigned kind = random() % 3;
            if (kind == 0)
                changed.insert(changed.begin() + static_cast<long>(at), "<META new>");
            else if (kind == 1 && at < changed.size())
                changed[at] = "<META replaced " + std::to_string(e) + ">";
            else if (kind == 2 && at < changed.size() && changed.size() > 1)
                changed.erase(changed.begin() + static_cast<long>(at));
        }
        Text before, after;
        for (const Text& l : lines) before += l + end;
        for (const Text& l : changed) after += l + end;
        if (round % 5 == 0)
            after.resize(after.size() - end.size());  // no line end at the very end
        const Text diff = UnifiedDiff(before, after, "page.htm", "page.htm");
        if (before == after) {
            EXPECT_TRUE(diff.empty());
        } else {
            EXPECT_EQ(Patched(dir, before, diff), after) << "round " << round << "\n" << diff;
        }
    }
}

TEST(RunInOrderTest, DeliversEveryTaskInIndexOrderWhateverFinishesFirst) {
    for (int workers : {1, 2, 4, 9}) {
        std::vector<int> results(50, -1);
        std::vector<std::size_t> order;
        const std::size_t delivered = RunInOrder(
            results.size(), workers,
            [&](std::size_t i) {
                // Later tasks finish first now and then.
                std::this_thread::sleep_for(std::chrono::microseconds((50 - i) % 7 * 100));
                results[i] = static_cast<int>(i * i);
            },
            [&](std::size_t i) {
                EXPECT_EQ(results[i], static_cast<int>(i * i));
                order.push_back(i);
            });
        EXPECT_EQ(delivered, results.size());
        for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    }
}

}  // namespace
}  // namespace lumora::site
