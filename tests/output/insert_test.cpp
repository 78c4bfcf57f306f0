// Insert writes only the tag, in the page's own encoding, and never damages the page on
// disk: the page keeps its owner, group and mode, refused pages stay as they are, and no
// failure, signal or kill leaves a half file or a stray name.
#include "output/insert.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "files/page_file.h"
#include "support/case_file.h"
#include "support/faulty_file_system.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using testing::FaultyFileSystem;
using testing::ModeOf;
using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;
using Mode = FaultyFileSystem::Mode;

Text MessageOf(const InsertResult& result) {
    return result.error ? result.error->Message() : Text();
}

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";
const Text kOld =
    "<html>\n<head>\n<title>T</title>\n</head>\n<body>" + Text(300, 'b') + "</body>\n</html>\n";
constexpr unsigned kPageMode = 0640;

Text Replaced(Text text, const Text& what, const Text& by) {
    if (const auto at = text.find(what); at != Text::npos)
        text.replace(at, what.size(), by);
    return text;
}

// The page as an undisturbed insert leaves it.
Text Fresh() {
    TempDir dir;
    const Text page = dir.Write("page.htm", kOld);
    EXPECT_TRUE(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem()).ok());
    return ReadFile(page);
}

// The cases of tests/data/insert.txt: only the tag changes, or the page stays and the
// refusal says why.
TEST(InsertMetaTag, OnlyTheTagChangesOrThePageStays) {
    TempDir dir;
    const Text page = dir.File("page.htm");
    for (const testing::Case& c : testing::ReadCases("insert.txt")) {
        SCOPED_TRACE(c.name);
        dir.Write("page.htm", c.Get("page"));
        const InsertResult outcome =
            InsertMetaTag(page, c.Get("tag", kTag), std::nullopt, files::RealFileSystem());
        EXPECT_EQ(MessageOf(outcome), Replaced(c.Get("message"), "{page}", page));
        EXPECT_EQ(ReadFile(page), Replaced(c.Get("after", c.Get("page")), "{tag}", kTag));
        EXPECT_EQ(dir.Names(), std::set<std::string>{"page.htm"});
    }
    // A page that is one long line still works, and works in linear time.
    const Text big(2 << 20, 'x');
    dir.Write("page.htm", "<meta name=\"keywords\" title='" + big + "'></head>" + big);
    EXPECT_TRUE(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem()).ok());
    EXPECT_EQ(ReadFile(page), kTag + "</head>" + big);
}

// Both ways a new file is made: without a name, and (where a file system cannot do that)
// under a temporary name.
struct Variant {
    const char* name;
    files::FileSystem* fs;
};
std::vector<Variant> Variants() {
    static const std::unique_ptr<files::FileSystem> named = files::NewNamedTempFileSystem();
    return {{"unnamed", &files::RealFileSystem()}, {"named", named.get()}};
}

// A fresh page, and an earlier backup or none, in an emptied folder.
struct Scene {
    explicit Scene(const TempDir& d, bool earlierBackup = true) : dir(d) {
        for (const auto& name : dir.Names()) std::filesystem::remove_all(dir.File(name));
        page = dir.Write("page.htm", kOld);
        ::chmod(page.c_str(), kPageMode);
        backup = earlierBackup ? dir.Write("page.bak.htm", "earlier") : dir.File("page.bak.htm");
    }
    const TempDir& dir;
    Text page;
    Text backup;
};

// The calls an undisturbed insert makes, in order. On the way, each new file must be
// private until it is whole, and show no more than the page before it is given a name.
std::vector<std::string> CallsOfInsert(files::FileSystem& real, bool withBackup) {
    TempDir dir;
    Scene scene(dir, false);
    FaultyFileSystem fs(real, Mode::kFailOnce, 0);
    std::vector<std::string> calls;
    fs.watch = [&calls](int, const char* call, int fd) {
        calls.emplace_back(call);
        if (fd < 0 || calls.back() == "Close")
            return;
        struct stat info {};
        ASSERT_EQ(::fstat(fd, &info), 0);
        const unsigned mode = info.st_mode & 07777;
        if (calls.back() == "Write" || calls.back() == "SetOwner" || calls.back() == "SetMode") {
            EXPECT_EQ(mode & 077, 0u) << call;
        } else {
            EXPECT_EQ(mode, kPageMode) << call;
        }
    };
    const auto backup = withBackup ? std::optional<Text>(scene.backup) : std::nullopt;
    EXPECT_TRUE(InsertMetaTag(scene.page, kTag, backup, fs).ok());
    EXPECT_EQ(ModeOf(scene.page), kPageMode);
    if (withBackup) {
        EXPECT_EQ(ModeOf(scene.backup), kPageMode);
    }
    return calls;
}

// Through a symbolic link the page is replaced where it lives and the link stays; the page
// and its backup keep the page's owner, group and mode, and one name each.
TEST(InsertFile, KeepsOwnerGroupAndModeOfPageAndBackup) {
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 4321 : ::geteuid();
    const gid_t group = root ? 8765 : ::getegid();
    TempDir dir;
    for (const unsigned mode : {0604u, 0755u}) {
        SCOPED_TRACE(mode);
        Scene scene(dir);
        ASSERT_EQ(::chown(scene.page.c_str(), owner, group), 0);
        ASSERT_EQ(::chmod(scene.page.c_str(), mode), 0);
        const Text link = dir.File("link.htm");
        std::filesystem::create_symlink(scene.page, link);
        const InsertResult outcome =
            InsertMetaTag(link, kTag, dir.File("link.bak.htm"), files::RealFileSystem());
        ASSERT_TRUE(outcome.ok()) << MessageOf(outcome);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_TRUE(ReadFile(link) == Fresh());
        EXPECT_TRUE(ReadFile(dir.File("link.bak.htm")) == kOld);
        for (const Text& path : {scene.page, dir.File("link.bak.htm")}) {
            struct stat info {};
            ASSERT_EQ(::stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, owner) << path;
            EXPECT_EQ(info.st_gid, group) << path;
            EXPECT_EQ(info.st_mode & 07777, mode) << path;
            EXPECT_EQ(info.st_nlink, 1u) << path;
        }
    }
}

// At each call in turn: a failure (of that call, or of it and every later one), a kill,
// or Ctrl-C or a hang-up. The page is then old or new and whole with its mode, the backup
// earlier or a whole copy of the old page, and a failure names the page. A polite signal
// waits while a new file has a temporary name, so only a kill between naming the new file
// and the rename, or a failing clean-up, leaves a name behind; the next run removes it.
TEST(InsertFile, FailureOrSignalAtEachCallLeavesWholeFiles) {
    const Text fresh = Fresh();
    const struct {
        Mode mode;
        int signal;
    } events[] = {{Mode::kFailOnce, 0},
                  {Mode::kFailOnwards, 0},
                  {Mode::kSignal, SIGKILL},
                  {Mode::kSignal, SIGINT},
                  {Mode::kSignal, SIGHUP}};
    TempDir dir;
    for (const Variant& v : Variants()) {
        const bool unnamed = v.fs == &files::RealFileSystem();
        for (const bool withBackup : {false, true}) {
            const auto calls = CallsOfInsert(*v.fs, withBackup);
            for (const auto& e : events) {
                for (std::size_t n = 1; n <= calls.size(); ++n) {
                    const std::string& call = calls[n - 1];
                    SCOPED_TRACE(::testing::Message()
                                 << v.name << " backup " << withBackup << " mode "
                                 << static_cast<int>(e.mode) << " signal " << e.signal << " at "
                                 << n << " " << call);
                    Scene scene(dir, false);
                    const auto backup =
                        withBackup ? std::optional<Text>(scene.backup) : std::nullopt;
                    FaultyFileSystem fs(*v.fs, e.mode, static_cast<int>(n), e.signal);
                    Text now;
                    if (e.mode != Mode::kSignal) {
                        const InsertResult outcome = InsertMetaTag(scene.page, kTag, backup, fs);
                        now = ReadFile(scene.page);
                        // Only the clean-up of earlier runs is left out.
                        const bool cleanUp = e.mode == Mode::kFailOnce && call == "ListFolder";
                        const bool lastSync = call == "SyncFolder" && n == calls.size();
                        EXPECT_EQ(outcome.ok(), cleanUp);
                        if (!cleanUp) {
                            EXPECT_NE(MessageOf(outcome).find("page."), Text::npos)
                                << MessageOf(outcome);
                        }
                        EXPECT_TRUE(now == (cleanUp || lastSync ? fresh : kOld));
                    } else {
                        const auto status = RunInChild([&] {
                            InsertMetaTag(scene.page, kTag, backup, fs);
                            return 0;
                        });
                        ASSERT_TRUE(status.has_value());
                        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == e.signal);
                        now = ReadFile(scene.page);
                        EXPECT_TRUE(now == kOld || now == fresh);
                        // A polite signal during the page's own rename waits for it.
                        if (e.signal != SIGKILL && n == calls.size() - 1) {
                            ASSERT_EQ(call, "Rename");
                            EXPECT_TRUE(now == fresh);
                        }
                    }
                    EXPECT_EQ(ModeOf(scene.page), kPageMode);
                    const Text saved = ReadFile(scene.backup);
                    EXPECT_TRUE(saved.empty() || (withBackup && saved == kOld));
                    if (withBackup && now == fresh) {
                        EXPECT_TRUE(saved == kOld);
                    }
                    const bool killed = e.signal == SIGKILL;
                    const bool mayLeaveName = killed || e.mode == Mode::kFailOnwards;
                    for (const auto& name : dir.Names()) {
                        if (name == "page.htm" || name == "page.bak.htm")
                            continue;
                        EXPECT_TRUE(mayLeaveName && (files::IsTempNameFor(name, "page.htm") ||
                                                     files::IsTempNameFor(name, "page.bak.htm")))
                            << name;
                        if (killed && unnamed) {
                            // Named only for the rename: complete, and as open as the page.
                            EXPECT_TRUE(call == "Close" || call == "Stat" || call == "Rename")
                                << name;
                            const Text content = ReadFile(dir.File(name));
                            EXPECT_TRUE(content == fresh || content == kOld) << name;
                            EXPECT_EQ(ModeOf(dir.File(name)), kPageMode) << name;
                        }
                    }
                    if (mayLeaveName) {
                        // Old enough by then that no run can still be using them.
                        const timespec old[2] = {{0, 0}, {0, 0}};
                        for (const auto& name : dir.Names())
                            ::utimensat(AT_FDCWD, dir.File(name).c_str(), old, 0);
                        ASSERT_TRUE(InsertMetaTag(scene.page, kTag, backup, *v.fs).ok());
                    }
                    auto names = dir.Names();
                    names.erase("page.bak.htm");
                    EXPECT_EQ(names, std::set<std::string>{"page.htm"});
                }
            }
        }
    }
}

// Between the read and the write (at the call named), the page's folder is swapped for a
// link to another folder, or the page is saved again or deleted: the write lands in the
// folder first opened or nowhere, and what the author saved stays.
TEST(InsertFile, WritesOnlyWhereItReadAndOnlyOverWhatItRead) {
    const Text fresh = Fresh();
    const Text saved = "<html><head></head><body>saved by the author</body></html>";
    const Text changed = " changed while it was being tagged; nothing written";
    const struct {
        const char* name;
        const char* at;
        std::function<void(const TempDir&)> act;
        Text page;   // in the folder the insert first opened; "" for none
        Text error;  // after the page's name; "" for success
    } cases[] = {
        {"folder swapped before the clean-up", "ListFolder",
         [](const TempDir& d) {
             std::filesystem::rename(d.File("site/sub"), d.File("site/was-sub"));
             std::filesystem::create_directory_symlink(d.File("other"), d.File("site/sub"));
         },
         fresh, ""},
        {"saved again", "Close", [&](const TempDir& d) { d.Write("site/sub/page.htm", saved); },
         saved, changed},
        {"deleted", "Close",
         [](const TempDir& d) { std::filesystem::remove(d.File("site/sub/page.htm")); }, "",
         changed},
    };
    for (const Variant& v : Variants()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << v.name << ": " << c.name);
            TempDir dir;
            std::filesystem::create_directories(dir.File("site/sub"));
            std::filesystem::create_directories(dir.File("other"));
            const Text page = dir.Write("site/sub/page.htm", kOld);
            dir.Write("other/page.htm", kOld);
            FaultyFileSystem fs(*v.fs, Mode::kFailOnce, 0);
            bool acted = false;
            fs.watch = [&](int, const char* call, int) {
                if (!acted && Text(call) == c.at) {
                    acted = true;
                    c.act(dir);
                }
            };
            const InsertResult outcome =
                InsertMetaTag(page, kTag, std::nullopt, fs, {}, dir.File("site"));
            ASSERT_TRUE(acted);
            EXPECT_EQ(MessageOf(outcome), c.error.empty() ? "" : page + c.error);
            const bool swapped = std::filesystem::exists(dir.File("site/was-sub"));
            const Text first = dir.File(swapped ? "site/was-sub" : "site/sub");
            EXPECT_EQ(ReadFile(first + "/page.htm"), c.page);
            EXPECT_EQ(ReadFile(dir.File("other/page.htm")), kOld);
            for (const Text& folder : {first, dir.File("other")}) {
                for (const auto& e : std::filesystem::directory_iterator(folder))
                    EXPECT_EQ(e.path().filename(), "page.htm");
            }
        }
    }
    // A folder already swapped for a link when the insert begins is not entered.
    TempDir dir;
    std::filesystem::create_directories(dir.File("site"));
    std::filesystem::create_directories(dir.File("other"));
    dir.Write("other/page.htm", kOld);
    std::filesystem::create_directory_symlink(dir.File("other"), dir.File("site/sub"));
    const InsertResult outcome = InsertMetaTag(dir.File("site/sub/page.htm"), kTag, std::nullopt,
                                               files::RealFileSystem(), {}, dir.File("site"));
    EXPECT_EQ(outcome.error->code, Error::Code::kCannotExamine);
    EXPECT_EQ(ReadFile(dir.File("other/page.htm")), kOld);
}

TEST(InsertFile, ReadOnlyFolderFailsWithoutChange) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempDir dir;
    Scene scene(dir);
    ::chmod(dir.Path().c_str(), 0555);
    const InsertResult outcome =
        InsertMetaTag(scene.page, kTag, std::nullopt, files::RealFileSystem());
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(MessageOf(outcome), "Could not replace " + scene.page + ": Permission denied");
    EXPECT_EQ(ReadFile(scene.page), kOld);
}

}  // namespace
}  // namespace lumora::output
