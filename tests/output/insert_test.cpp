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
#include "support/faulty_file_system.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Code = Error::Code;
using testing::FaultyFileSystem;
using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;
using Mode = FaultyFileSystem::Mode;

// The code an insert failed with; nullopt when the tag went in.
std::optional<Code> CodeOf(const InsertResult& result) {
    return result.error ? std::optional<Code>(result.error->code) : std::nullopt;
}
constexpr std::optional<Code> kInserted = std::nullopt;
Text MessageOf(const InsertResult& result) {
    return result.error ? result.error->Message() : Text();
}

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";
const Text kOld =
    "<html>\n<head>\n<title>T</title>\n</head>\n<body>" + Text(300, 'b') + "</body>\n</html>\n";
constexpr unsigned kPageMode = 0640;

std::set<std::string> Names(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}
const std::set<std::string> kPageAndBackup = {"page.htm", "page.bak.htm"};

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

// Only the tag changes (every other byte stays), or the page stays and the refusal says
// why. Where the tag goes is the splice's business, tested on generated pages there.
TEST(InsertMetaTag, OnlyTheTagChangesOrThePageStays) {
    Text body;
    for (int b = 0; b < 256; ++b) body += static_cast<char>(b);
    const Text latin1 = "<head><meta charset=iso-8859-1></head>caf\xE9";
    const Text latin2 = "<head><meta charset=iso-8859-2></head>caf\xE9";
    const Text accented = "<META NAME=\"keywords\" CONTENT=\"caf\u00E9, \u0158ez\">";
    const Text utf16("\xFF\xFE<\0h\0>\0", 8);
    // "\u203B\u4ED6" in ISO-2022-JP holds a '"' and a '>' that are no mark-up.
    const Text iso2022 = "<head><meta name=\"keywords\" content=\"\x1B$B\"(B>\x1B(B\"></head>";
    const Text sjisHead = "<head><meta charset=shift_jis>";
    const Text sjisBody = "</head>\x95\x5C\x8E\xA6";  // trail bytes in the ASCII range
    const Text japanese = "<META NAME=\"keywords\" CONTENT=\"\u8868\u793A, \u30BD\">";
    const struct {
        const char* name;
        Text page, tag, expected;  // expected empty: the page must stay as it is
        std::optional<Code> code;
        const char* message;  // "{}" stands for the page's path
    } cases[] = {
        {"before the end of the head, blank lines kept",
         "<head>\n\n  <title>T</title>\n  \n\n</head>\n\n" + body, kTag,
         "<head>\n\n  <title>T</title>\n  \n\n  " + kTag + "\n</head>\n\n" + body, kInserted, ""},
        {"UTF-8", "<meta charset=utf-8></head>caf\u00E9", accented,
         "<meta charset=utf-8>" + accented + "</head>caf\u00E9", kInserted, ""},
        {"a reference for what Latin-1 cannot hold", latin1, accented,
         "<head><meta charset=iso-8859-1><META NAME=\"keywords\" CONTENT=\"caf\xE9, &#344;ez\">"
         "</head>caf\xE9",
         kInserted, ""},
        {"Latin-2", latin2, accented,
         "<head><meta charset=iso-8859-2><META NAME=\"keywords\" CONTENT=\"caf\xE9, \xD8"
         "ez\"></head>caf\xE9",
         kInserted, ""},
        {"UTF-16 mark-up has no single-byte place", utf16, kTag, "", Code::kWideEncoding,
         "Meta tag not inserted because {} is written in UTF-16; save it as UTF-8 to insert the "
         "tag."},
        {"ISO-2022-JP characters hold mark-up bytes", iso2022, kTag, "", Code::kStatefulEncoding,
         "Meta tag not inserted because {} is written in ISO-2022-JP, whose characters can look "
         "like mark-up; save it as UTF-8 to insert the tag."},
        {"Shift_JIS", sjisHead + "<meta name=keywords content=\"\x83\x5C\">" + sjisBody, japanese,
         sjisHead + "<META NAME=\"keywords\" CONTENT=\"\x95\x5C\x8E\xA6, \x83\x5C\">" + sjisBody,
         kInserted, ""},
        {"no mark-up, only text", "Plum jam < 5 & bread\r\n<b title=\"x", kTag, "",
         Code::kNowhereToInsert,
         "Meta tag not inserted because {} holds no HTML mark-up, so it has no head where the "
         "tag could go."},
        {"no keyword", latin1, "<META NAME=\"keywords\" CONTENT=\"\">", "", Code::kNoKeyword,
         "Meta tag not inserted because it holds no keyword."},
        {"more than a tag", latin1, "<META NAME=\"keywords\" CONTENT=\"a\"><script>x()</script>",
         "", Code::kNotATag, "No meta tag to insert."},
        {"not a keywords tag", latin1, "<META NAME=\"description\" CONTENT=\"a\">", "",
         Code::kNotATag, "No meta tag to insert."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Text page = dir.Write("page.htm", c.page);
        const InsertResult outcome =
            InsertMetaTag(page, c.tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(CodeOf(outcome), c.code) << MessageOf(outcome);
        Text message = c.message;
        if (const auto at = message.find("{}"); at != Text::npos)
            message.replace(at, 2, page);
        EXPECT_EQ(MessageOf(outcome), message);
        EXPECT_EQ(ReadFile(page), c.expected.empty() ? c.page : c.expected);
    }
    // A page that is one long line still works, and works in linear time.
    const Text big(2 << 20, 'x');
    const Text page =
        dir.Write("page.htm", "<meta name=\"keywords\" title='" + big + "'></head>" + big);
    EXPECT_EQ(CodeOf(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem())), kInserted);
    EXPECT_EQ(ReadFile(page), kTag + "</head>" + big);
}

TEST(InsertMetaTag, BackupPaths) {
    EXPECT_EQ(BackupPathFor("page.htm"), "page.bak.htm");
    EXPECT_EQ(BackupPathFor("/w/index.html"), "/w/index.bak.html");
    EXPECT_EQ(BackupPathFor("/my.site/page"), "/my.bak.site/page");
    EXPECT_EQ(BackupPathFor("/site/page"), std::nullopt);
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
        for (const auto& name : Names(dir)) std::filesystem::remove_all(dir.File(name));
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
    EXPECT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, backup, fs)), kInserted);
    EXPECT_EQ(ModeOf(scene.page), kPageMode);
    if (withBackup) {
        EXPECT_EQ(ModeOf(scene.backup), kPageMode);
    }
    return calls;
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
        const char* message;                     // after the path
    } cases[] = {
        {"read-only, even for the superuser, named as given through a link",
         [](const Scene& s) {
             ::chmod(s.page.c_str(), 0444);
             std::filesystem::create_symlink(s.page, s.dir.File("link.htm"));
             return s.dir.File("link.htm");
         },
         " is read-only"},
        {"a folder",
         [](const Scene& s) {
             std::filesystem::create_directory(s.dir.File("folder.htm"));
             return s.dir.File("folder.htm");
         },
         " is not a regular file"},
        {"a FIFO, which must not block",
         [](const Scene& s) {
             ::mkfifo(s.dir.File("fifo.htm").c_str(), 0644);
             return s.dir.File("fifo.htm");
         },
         " is not a regular file"},
        {"missing", [](const Scene& s) { return s.dir.File("gone.htm"); }, " does not exist"},
        {"several hard links",
         [](const Scene& s) {
             ::link(s.page.c_str(), s.dir.File("other.htm").c_str());
             return s.page;
         },
         " has 2 hard links; it was left alone, because a new version under this name would no "
         "longer be the file its other names show"},
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
                if (MessageOf(outcome) == path + c.message &&
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
                        EXPECT_EQ(CodeOf(outcome) == kInserted, cleanUp);
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
                    for (const auto& name : Names(dir)) {
                        if (kPageAndBackup.count(name))
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
                        for (const auto& name : Names(dir))
                            ::utimensat(AT_FDCWD, dir.File(name).c_str(), old, 0);
                        ASSERT_EQ(CodeOf(InsertMetaTag(scene.page, kTag, backup, *v.fs)),
                                  kInserted);
                    }
                    auto names = Names(dir);
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
    const struct {
        const char* name;
        const char* at;
        std::function<void(const TempDir&)> act;
        Text page;          // in the folder the insert first opened; "" for none
        const char* error;  // after the page's name; "" for success
    } cases[] = {
        {"folder swapped before the clean-up", "ListFolder",
         [](const TempDir& d) {
             std::filesystem::rename(d.File("site/sub"), d.File("site/was-sub"));
             std::filesystem::create_directory_symlink(d.File("other"), d.File("site/sub"));
         },
         fresh, ""},
        {"saved again", "Close", [&](const TempDir& d) { d.Write("site/sub/page.htm", saved); },
         saved, " changed while it was being tagged; nothing written"},
        {"deleted", "Close",
         [](const TempDir& d) { std::filesystem::remove(d.File("site/sub/page.htm")); }, "",
         " changed while it was being tagged; nothing written"},
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
            EXPECT_EQ(MessageOf(outcome), *c.error ? page + c.error : "");
            if (*c.error) {
                EXPECT_EQ(outcome.error->TitleWhenInserting(), "Not inserted");
            }
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
    EXPECT_EQ(CodeOf(outcome), Code::kCannotExamine);
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
    ASSERT_EQ(CodeOf(outcome), Code::kReplaceFailed);
    EXPECT_EQ(outcome.error->TitleWhenInserting(), "Error");
    EXPECT_EQ(outcome.error->Message(), "Could not replace " + scene.page + ": Permission denied");
    EXPECT_EQ(ReadFile(scene.page), kOld);
}

}  // namespace
}  // namespace lumora::output
