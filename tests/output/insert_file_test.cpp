// What insert does to the files on disk: the page keeps its owner, group and mode, refused
// pages stay as they are, and no failure, signal or kill leaves a stray or half file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include "files/page_file.h"
#include "output/insert.h"
#include "support/faulty_file_system.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Code = Error::Code;
// The code an insert failed with; nullopt when the tag went in.
std::optional<Code> CodeOf(const InsertResult& result) {
    return result.error ? std::optional<Code>(result.error->code) : std::nullopt;
}
constexpr std::optional<Code> kInserted = std::nullopt;
Text MessageOf(const InsertResult& result) {
    return result.error ? result.error->Message() : Text();
}
using testing::FaultyFileSystem;
using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;
using Mode = FaultyFileSystem::Mode;

const Text kTag = "<meta name=\"keywords\" content=\"new, tag\">";
const Text kOld =
    "<html>\n<head>\n<title>T</title>\n</head>\n<body>" + Text(300, 'b') + "</body>\n</html>\n";
constexpr unsigned kPageMode = 0640;

std::set<std::string> Names(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned ModeOf(const Text& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The page as an undisturbed insert leaves it.
Text Fresh() {
    TempDir dir;
    const Text page = dir.Write("page.htm", kOld);
    EXPECT_EQ(CodeOf(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem())), kInserted);
    return ReadFile(page);
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

// A fresh page and an earlier backup in an emptied folder.
struct Scene {
    explicit Scene(const TempDir& d) : dir(d) {
        for (const auto& name : Names(dir)) std::filesystem::remove_all(dir.File(name));
        page = dir.Write("page.htm", kOld);
        ::chmod(page.c_str(), kPageMode);
        backup = dir.Write("page.bak.htm", "earlier");
    }
    const TempDir& dir;
    Text page;
    Text backup;
};

// The calls an undisturbed insert makes, in order.
std::vector<std::string> CallsOfInsert(files::FileSystem& real, bool withBackup) {
    TempDir dir;
    Scene scene(dir);
    FaultyFileSystem fs(real, Mode::kFailOnce, 0);
    std::vector<std::string> calls;
    fs.watch = [&calls](int, const char* name, int) { calls.emplace_back(name); };
    const auto backup = withBackup ? std::optional<Text>(scene.backup) : std::nullopt;
    EXPECT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, backup, fs)), kInserted);
    return calls;
}

bool IsTempName(const std::string& name) {
    return files::IsTempNameFor(name, "page.htm") || files::IsTempNameFor(name, "page.bak.htm");
}

TEST(InsertFile, KeepsOwnerGroupAndModeOfPageAndBackup) {
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 4321 : ::geteuid();
    const gid_t group = root ? 8765 : ::getegid();
    TempDir dir;
    for (const unsigned mode : {0640u, 0604u, 0755u}) {
        SCOPED_TRACE(mode);
        Scene scene(dir);
        ASSERT_EQ(::chown(scene.page.c_str(), owner, group), 0);
        ASSERT_EQ(::chmod(scene.page.c_str(), mode), 0);
        const Text link = dir.File("link.htm");
        std::filesystem::create_symlink(scene.page, link);
        // Through a symbolic link the page is replaced where it lives; the link stays.
        const InsertResult outcome =
            InsertMetaTag(link, kTag, dir.File("link.bak.htm"), files::RealFileSystem());
        ASSERT_EQ(CodeOf(outcome), kInserted) << MessageOf(outcome);
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

// Each refused page is left exactly as it was, no backup is written, no file appears.
TEST(InsertFile, RefusesWhatItMayNotReplace) {
    TempDir dir;
    const struct {
        const char* name;
        std::function<Text(const Scene&)> make;  // returns the path given to insert
        std::function<Text(const Text&)> message;
    } cases[] = {
        {"read-only, even for the superuser",
         [](const Scene& s) {
             ::chmod(s.page.c_str(), 0444);
             return s.page;
         },
         [](const Text& p) { return p + " is read-only"; }},
        {"a folder",
         [](const Scene& s) {
             std::filesystem::create_directory(s.dir.File("folder.htm"));
             return s.dir.File("folder.htm");
         },
         [](const Text& p) { return p + " is not a regular file"; }},
        {"a FIFO, which must not block",
         [](const Scene& s) {
             ::mkfifo(s.dir.File("fifo.htm").c_str(), 0644);
             return s.dir.File("fifo.htm");
         },
         [](const Text& p) { return p + " is not a regular file"; }},
        {"missing", [](const Scene& s) { return s.dir.File("gone.htm"); },
         [](const Text& p) { return p + " does not exist"; }},
        {"several hard links",
         [](const Scene& s) {
             ::link(s.page.c_str(), s.dir.File("other.htm").c_str());
             return s.page;
         },
         [](const Text& p) {
             return p +
                    " has 2 hard links; it was left alone, because a new version under this "
                    "name would no longer be the file its other names show";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(dir);
        const Text path = c.make(scene);
        const auto before = Names(dir);
        const unsigned mode = ModeOf(scene.page);
        const auto status = RunInChild(
            [&] {
                const InsertResult outcome =
                    InsertMetaTag(path, kTag, scene.backup, files::RealFileSystem());
                // Refused: the page was left alone after the checks.
                if (outcome.error && outcome.error->Message() == c.message(path) &&
                    outcome.error->TitleWhenInserting() == "Not inserted")
                    return 0;
                std::fprintf(stderr, "%s\n", MessageOf(outcome).c_str());
                return 1;
            },
            std::chrono::seconds(5));
        ASSERT_TRUE(status.has_value()) << "insert blocked";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        EXPECT_EQ(Names(dir), before);
        EXPECT_TRUE(ReadFile(scene.page) == kOld);
        EXPECT_EQ(ModeOf(scene.page), mode);
        EXPECT_EQ(ReadFile(scene.backup), "earlier");
    }
}

// The new file is private until it is whole, and shows no more than the page before it is
// given a name.
TEST(InsertFile, NewFilesAreNeverMoreOpenThanThePage) {
    TempDir dir;
    for (const Variant& v : Variants()) {
        SCOPED_TRACE(v.name);
        Scene scene(dir);
        ::chmod(scene.page.c_str(), 0604);
        FaultyFileSystem fs(*v.fs, Mode::kFailOnce, 0);
        int checked = 0;
        std::string last;
        fs.watch = [&](int, const char* call, int fd) {
            const std::string name = call;
            if (fd < 0 || name == "Close")
                return;
            struct stat info {};
            ASSERT_EQ(::fstat(fd, &info), 0);
            const unsigned mode = info.st_mode & 07777;
            if (name == "Write" || name == "SetOwner" || name == "SetMode") {
                EXPECT_EQ(mode & 077, 0u) << name;
            } else {
                EXPECT_EQ(mode, 0604u) << name;
            }
            ++checked;
        };
        ASSERT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, scene.backup, fs)), kInserted);
        EXPECT_GE(checked, 8);
        EXPECT_EQ(ModeOf(scene.page), 0604u);
        EXPECT_EQ(ModeOf(scene.backup), 0604u);
    }
}

// A failure at any one call, or at every call from there on, leaves the old page (or, when
// only the last folder sync failed, the new one), the backup earlier or whole, and no
// temporary file.
TEST(InsertFile, FailureAtEachCallLeavesNoTrace) {
    const Text fresh = Fresh();
    TempDir dir;
    for (const Variant& v : Variants()) {
        for (const bool withBackup : {false, true}) {
            const auto calls = CallsOfInsert(*v.fs, withBackup);
            for (const Mode mode : {Mode::kFailOnce, Mode::kFailOnwards}) {
                for (std::size_t n = 1; n <= calls.size(); ++n) {
                    SCOPED_TRACE(::testing::Message()
                                 << v.name << " backup " << withBackup << " mode "
                                 << static_cast<int>(mode) << " failing call " << n << " "
                                 << calls[n - 1]);
                    Scene scene(dir);
                    const auto backup =
                        withBackup ? std::optional<Text>(scene.backup) : std::nullopt;
                    FaultyFileSystem fs(*v.fs, mode, static_cast<int>(n));
                    const InsertResult outcome = InsertMetaTag(scene.page, kTag, backup, fs);
                    const Text now = ReadFile(scene.page);
                    if (mode == Mode::kFailOnce && calls[n - 1] == "ListFolder") {
                        // Only the clean-up of earlier runs is left out.
                        EXPECT_EQ(CodeOf(outcome), kInserted);
                        EXPECT_TRUE(now == fresh);
                    } else {
                        EXPECT_NE(CodeOf(outcome), kInserted);
                        EXPECT_NE(MessageOf(outcome).find("page."), Text::npos)
                            << MessageOf(outcome);
                        const bool lastSync = calls[n - 1] == "SyncFolder" && n == calls.size();
                        EXPECT_TRUE(now == (lastSync ? fresh : kOld));
                    }
                    EXPECT_EQ(ModeOf(scene.page), kPageMode);
                    const Text saved = ReadFile(scene.backup);
                    EXPECT_TRUE(saved == "earlier" || (withBackup && saved == kOld));
                    if (withBackup && now == fresh) {
                        EXPECT_TRUE(saved == kOld);
                    }
                    // Only a failing clean-up can leave a name behind; the next run removes it.
                    if (mode == Mode::kFailOnwards) {
                        EXPECT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, backup, *v.fs)),
                                  kInserted);
                    }
                    EXPECT_EQ(Names(dir), (std::set<std::string>{"page.htm", "page.bak.htm"}));
                }
            }
        }
    }
}

// The process is killed (it cannot stop that) at each call in turn. The page is old or
// new and whole, the backup earlier or a whole copy of the old page; a temporary name can
// only be left where the kill fell between naming the new file and the rename, and the
// next run removes it.
TEST(InsertFile, KillAtEachCallLeavesWholeFiles) {
    const Text fresh = Fresh();
    TempDir dir;
    for (const Variant& v : Variants()) {
        const bool unnamed = v.fs == &files::RealFileSystem();
        for (const bool withBackup : {false, true}) {
            const auto calls = CallsOfInsert(*v.fs, withBackup);
            for (std::size_t n = 1; n <= calls.size() + 1; ++n) {
                const std::string call = n <= calls.size() ? calls[n - 1] : "none";
                SCOPED_TRACE(::testing::Message() << v.name << " backup " << withBackup
                                                  << " killed at " << n << " " << call);
                Scene scene(dir);
                const auto backup = withBackup ? std::optional<Text>(scene.backup) : std::nullopt;
                const auto status = RunInChild([&] {
                    FaultyFileSystem fs(*v.fs, Mode::kSignal, static_cast<int>(n), SIGKILL);
                    return CodeOf(InsertMetaTag(scene.page, kTag, backup, fs)) == kInserted ? 0 : 1;
                });
                ASSERT_TRUE(status.has_value());
                if (n > calls.size()) {
                    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
                } else {
                    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
                }
                const Text now = ReadFile(scene.page);
                EXPECT_TRUE(now == kOld || now == fresh);
                EXPECT_EQ(ModeOf(scene.page), kPageMode);
                const Text saved = ReadFile(scene.backup);
                EXPECT_TRUE(saved == "earlier" || (withBackup && saved == kOld));
                if (withBackup && now == fresh) {
                    EXPECT_TRUE(saved == kOld);
                }
                for (const auto& name : Names(dir)) {
                    if (name == "page.htm" || name == "page.bak.htm")
                        continue;
                    EXPECT_TRUE(IsTempName(name)) << name;
                    if (unnamed) {
                        // Named only for the rename: complete, and as open as the page.
                        EXPECT_TRUE(call == "Close" || call == "Rename") << name;
                        const Text content = ReadFile(dir.File(name));
                        EXPECT_TRUE(content == fresh || content == kOld) << name;
                        EXPECT_EQ(ModeOf(dir.File(name)), kPageMode) << name;
                    }
                }
                ASSERT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, backup, files::RealFileSystem())),
                          kInserted);
                EXPECT_EQ(Names(dir), (std::set<std::string>{"page.htm", "page.bak.htm"}));
            }
        }
    }
}

// Ctrl-C, a kill or a hang-up at any moment leaves no temporary file at all: while a new
// file has a temporary name, the signal waits until the rename is done.
TEST(InsertFile, PoliteSignalsLeaveNoTemporaryFile) {
    const Text fresh = Fresh();
    TempDir dir;
    for (const Variant& v : Variants()) {
        for (const int signal : {SIGINT, SIGHUP}) {
            const auto calls = CallsOfInsert(*v.fs, true);
            for (std::size_t n = 1; n <= calls.size(); ++n) {
                SCOPED_TRACE(::testing::Message() << v.name << " signal " << signal << " at " << n
                                                  << " " << calls[n - 1]);
                Scene scene(dir);
                const auto status = RunInChild([&] {
                    FaultyFileSystem fs(*v.fs, Mode::kSignal, static_cast<int>(n), signal);
                    InsertMetaTag(scene.page, kTag, scene.backup, fs);
                    return 0;
                });
                ASSERT_TRUE(status.has_value());
                EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal);
                EXPECT_EQ(Names(dir), (std::set<std::string>{"page.htm", "page.bak.htm"}));
                const Text now = ReadFile(scene.page);
                EXPECT_TRUE(now == kOld || now == fresh);
                // A signal during the page's own rename waits for it.
                if (n == calls.size() - 1) {
                    ASSERT_EQ(calls[n - 1], "Rename");
                    EXPECT_TRUE(now == fresh);
                }
                const Text saved = ReadFile(scene.backup);
                EXPECT_TRUE(saved == "earlier" || saved == kOld);
                if (now == fresh) {
                    EXPECT_TRUE(saved == kOld);
                }
            }
        }
    }
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
    ASSERT_EQ(CodeOf(outcome), Code::kReplaceFailed);
    EXPECT_EQ(outcome.error->TitleWhenInserting(), "Error");
    EXPECT_EQ(outcome.error->Message(), "Could not replace " + scene.page + ": Permission denied");
    EXPECT_EQ(ReadFile(scene.page), kOld);
}

}  // namespace
}  // namespace lumora::output
