#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "site/page_set.h"
#include "site/unified_diff.h"
#include "site/worker_pool.h"
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
bool WalkedAsFolder(const Text& argument) {
    return site::WalkedAsFolder(argument, files::RealFileSystem());
}

// --- Which pages a command takes -------------------------------------------------------

class PageSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_.File("site/a/deep"));
        fs::create_directories(dir_.File("site/b"));
        for (const char* name :
             {"site/index.html", "site/about.htm", "site/notes.txt", "site/a/one.html",
              "site/a/deep/two.htm", "site/b/three.html", "site/b/draft.html"}) {
            dir_.Write(name, "<html></html>");
        }
        // A loop back to the top, and a link to a folder outside.
        fs::create_directory_symlink("..", dir_.File("site/a/loop"));
        fs::create_directories(dir_.File("elsewhere"));
        dir_.Write("elsewhere/far.html", "x");
        fs::create_directory_symlink(dir_.File("elsewhere"), dir_.File("site/linked"));
        // A page twice (once through a link), and a link to a page outside.
        fs::create_symlink("../index.html", dir_.File("site/b/alias.html"));
        fs::create_symlink(dir_.File("elsewhere/far.html"), dir_.File("site/out.htm"));
    }
    Text P(const char* name) const { return dir_.File(name); }
    TempDir dir_;
};

// Links are neither taken nor entered unless followed; followed, one leading outside the
// folder given is reported, and a file reached twice is taken once, where it lives.
TEST_F(PageSetTest, FolderGivesItsPagesSortedWithOrWithoutSubfolders) {
    struct Case {
        PageSetOptions options;
        std::vector<const char*> expected;
        std::vector<const char*> refused;  // links that lead outside
    };
    PageSetOptions flat;
    PageSetOptions deep;
    deep.recursive = true;
    PageSetOptions flatFollowing = flat;
    flatFollowing.followSymlinks = true;
    PageSetOptions excluding = deep;  // and following links
    excluding.followSymlinks = true;
    excluding.exclude = {"draft*", "*/a/deep"};
    const std::vector<Case> cases = {
        {flat, {"site/about.htm", "site/index.html"}, {}},
        {deep,
         {"site/a/deep/two.htm", "site/a/one.html", "site/about.htm", "site/b/draft.html",
          "site/b/three.html", "site/index.html"},
         {}},
        {flatFollowing, {"site/about.htm", "site/index.html"}, {"site/out.htm"}},
        {excluding,
         {"site/a/one.html", "site/about.htm", "site/b/three.html", "site/index.html"},
         {"site/linked", "site/out.htm"}},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        std::vector<Text> expected, refused, problems;
        for (const char* e : cases[c].expected) expected.push_back(P(e));
        for (const char* r : cases[c].refused) refused.push_back(P(r));
        const PageSet set = CollectPages({P("site")}, cases[c].options);
        EXPECT_EQ(set.pages, expected) << "case " << c;
        for (const Error& problem : set.problems) {
            EXPECT_EQ(problem.code, Error::Code::kLinkOutside) << problem.Message();
            problems.push_back(problem.path);
        }
        std::sort(problems.begin(), problems.end());
        EXPECT_EQ(problems, refused) << "case " << c;
    }
    const PageSet set = CollectPages({P("site")}, flatFollowing);
    ASSERT_EQ(set.problems.size(), 1u);
    EXPECT_EQ(set.problems[0].Message(),
              P("site/out.htm") + " was left out: it is a symbolic link to " +
                  fs::canonical(P("elsewhere/far.html")).string() + ", outside the folders given");
}

TEST_F(PageSetTest, NamedFilesAreTakenAsGivenOnceEachAndMissingOnesReported) {
    const PageSet set = CollectPages(
        {P("site/notes.txt"), P("site/index.html"), P("site/index.html"), P("site/nothing.html")},
        {});
    EXPECT_EQ(set.pages, (std::vector<Text>{P("site/index.html"), P("site/notes.txt")}));
    ASSERT_EQ(set.problems.size(), 1u);
    EXPECT_EQ(set.problems[0].path, P("site/nothing.html"));
    EXPECT_EQ(set.problems[0].Message(), P("site/nothing.html") + ": No such file or directory");
}

// Page names in any case, except for the user's own patterns; never a backup or an
// insert's temporary file from a folder, whatever the patterns; anything when named.
TEST_F(PageSetTest, FoldersTakePageNamesInAnyCaseButNoBackupOrTemporaryFile) {
    // The temporary name of a page whose name was cut to fit.
    const Text temp = "site/b/." + Text(200, 't') + ".lumora-0123456789abcdef-ab12cd34.tmp";
    for (const Text& name :
         {Text("site/b/UP.HTM"), Text("site/b/x.Xhtml"), Text("site/b/three.bak.html"), temp})
        dir_.Write(name, "<html></html>");
    const std::vector<Text> all = {P("site/b/UP.HTM"), P("site/b/draft.html"),
                                   P("site/b/three.html"), P("site/b/x.Xhtml")};
    PageSetOptions everything, exact;
    everything.include = {"*"};
    exact.include = {"*.html"};
    EXPECT_EQ(CollectPages({P("site/b")}, {}).pages, all);
    EXPECT_EQ(CollectPages({P("site/b")}, everything).pages, all);
    EXPECT_EQ(CollectPages({P("site/b")}, exact).pages,
              (std::vector<Text>{P("site/b/draft.html"), P("site/b/three.html")}));
    EXPECT_EQ(CollectPages({P("site/b/three.bak.html")}, {}).pages,
              std::vector<Text>{P("site/b/three.bak.html")});
}

// A dangling link among the pages left errno set for readdir's end, and the whole folder
// was reported as unreadable.
TEST_F(PageSetTest, ADanglingLinkInAFolderIsNoProblemOfTheFolder) {
    fs::create_symlink(dir_.File("gone.htm"), dir_.File("site/b/dangling.txt"));
    fs::create_symlink(dir_.File("gone"), dir_.File("site/b/dangling-folder"));
    const PageSet set = CollectPages({P("site/b")}, {});
    EXPECT_TRUE(set.problems.empty()) << set.problems.front().Message();
    EXPECT_EQ(set.pages, (std::vector<Text>{P("site/b/draft.html"), P("site/b/three.html")}));
}

// The disk, with one call failing for one path (a folder's listing: for the path it was
// opened by).
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
        listed_ = -1;  // the number may be given to another folder later
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
TEST_F(PageSetTest, AFailingLookGivesThatEntrysErrorAndTheWalkGoesOn) {
    PageSetOptions following;
    following.recursive = true;
    following.followSymlinks = true;
    const std::vector<Text> others = {P("site/a/deep/two.htm"), P("site/a/one.html"),
                                      P("site/about.htm"), P("site/index.html")};
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
         {P("site/a/deep/two.htm"), P("site/a/one.html"), P("site/about.htm"),
          P("site/b/draft.html"), P("site/b/three.html"), P("site/index.html")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + c.path);
        FailingFor failing(c.call, P(c.path));
        const PageSet set = site::CollectPages({P("site")}, following, failing);
        EXPECT_EQ(set.pages, c.pages);
        std::vector<Text> problems;
        for (const Error& problem : set.problems) {
            if (problem.code != Error::Code::kLinkOutside)
                problems.push_back(problem.Message());
        }
        EXPECT_EQ(problems, std::vector<Text>{P(c.path) + ": Input/output error"});
    }
}

TEST_F(PageSetTest, AFolderNamedLikeAPageIsTakenAsAPageUnlessWrittenWithASlash) {
    fs::create_directories(dir_.File("old.htm"));
    fs::create_directories(dir_.File("Old.XHTML"));
    dir_.Write("old.htm/inside.htm", "x");
    struct Case {
        Text argument;
        bool walked;
        std::vector<Text> pages;
    };
    const std::vector<Case> cases = {
        {P("old.htm"), false, {P("old.htm")}},
        {P("old.htm") + "/", true, {P("old.htm") + "/inside.htm"}},
        {P("Old.XHTML"), false, {P("Old.XHTML")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(WalkedAsFolder(c.argument), c.walked);
        EXPECT_EQ(CollectPages({c.argument}, {}).pages, c.pages);
        // Whatever the include patterns say.
        PageSetOptions everything;
        everything.include = {"*"};
        EXPECT_EQ(CollectPages({c.argument}, everything).pages == std::vector<Text>{c.argument},
                  !c.walked);
    }
}

// --- The dry run's diff ------------------------------------------------------------------

// Applies a diff with the system's patch and returns the result.
Text Patched(const TempDir& dir, const Text& before, const Text& diff) {
    const Text page = dir.Write("page.htm", before);
    const Text patchFile = dir.Write("page.diff", diff);
    const Text command = "patch --quiet --binary " + page + " < " + patchFile + " > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << diff;
    return ReadFile(page);
}

TEST(UnifiedDiffTest, PatchTurnsTheOldPageIntoTheNewOne) {
    if (std::system("command -v patch > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "patch is not installed";
    TempDir dir;
    std::mt19937 random(11);
    // patch reads lines up to LF, so pages whose lines end in a lone CR are left out here.
    const std::vector<Text> ends = {"\n", "\r\n"};
    for (int round = 0; round < 120; ++round) {
        const Text& end = ends[static_cast<std::size_t>(round) % 2];
        std::vector<Text> lines;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) lines.push_back("line " + std::to_string(random() % 7));
        Text before;
        for (const Text& l : lines) before += l + end;
        // A few replaced, inserted or removed lines, as an insert makes them.
        std::vector<Text> changed = lines;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % (changed.size() + 1);
            switch (random() % 3) {
                case 0:
                    changed.insert(changed.begin() + static_cast<long>(at), "<META new>");
                    break;
                case 1:
                    if (at < changed.size())
                        changed[at] = "<META replaced " + std::to_string(e) + ">";
                    break;
                default:
                    if (at < changed.size() && changed.size() > 1)
                        changed.erase(changed.begin() + static_cast<long>(at));
            }
        }
        Text after;
        for (const Text& l : changed) after += l + end;
        if (round % 5 == 0 && !after.empty())
            after.resize(after.size() - end.size());  // no line end at the very end
        const Text diff = UnifiedDiff(before, after, "page.htm", "page.htm");
        if (before == after) {
            EXPECT_TRUE(diff.empty());
            continue;
        }
        EXPECT_EQ(Patched(dir, before, diff), after) << "round " << round << "\n" << diff;
    }
}

// --- Pages on several threads, results in order ------------------------------------------

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
