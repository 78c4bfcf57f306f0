#include "output/insert.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/temp_dir.h"

namespace lumora::output {
namespace {

using Kind = InsertOutcome::Kind;
using testing::ReadFile;
using testing::TempDir;

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";

// Only the keywords tag changes: line ends, blank lines and every other byte stay.
TEST(InsertMetaTag, OnlyTheTagChanges) {
    Text body;  // every byte must come through unchanged
    for (int b = 0; b < 256; ++b) body += static_cast<char>(b);
    const struct {
        const char* name;
        Text page, expected;  // expected empty: the page must stay as it is
        Kind kind;
    } cases[] = {
        {"own line", "<head>\r\n<meta name=\"keywords\" content=\"old\">\r\n</head>\r\n<body>",
         "<head>\r\n" + kTag + "\r\n</head>\r\n<body>", Kind::kInserted},
        {"text around the old tag",
         "<head><META NAME=\"keywords\" CONTENT=\"old\">  <title>T</title>",
         "<head>" + kTag + "  <title>T</title>", Kind::kInserted},
        {"every tag of the head, none after it",
         "<meta name=\"Keywords\">\r<meta content=x name='keywords'>\r<link "
         "\"keywords\">\r</HEAD>\r<body><meta name=\"keywords\">",
         kTag + "\r" + kTag + "\r<link \"keywords\">\r</HEAD>\r<body><meta name=\"keywords\">",
         Kind::kInserted},
        {"before the end of the head, blank lines kept",
         "<head>\n\n  <title>T</title>\n  \n\n</head>\n\n" + body,
         "<head>\n\n  <title>T</title>\n  \n\n  " + kTag + "\n</head>\n\n" + body, Kind::kInserted},
        {"text on the head's line", "<title>T</title></head>  <body> \r\n",
         "<title>T</title>" + kTag + "\r\n</head>  <body> \r\n", Kind::kInserted},
        {"old tag over several lines", "<meta name=\"keywords\" content=\"a,\r\nb\">\r\n</head>",
         kTag + "\r\n</head>", Kind::kInserted},
        {"before the body tag", "<html><body>\r\n<meta name=keywords>",
         "<html>" + kTag + "\r\n<body>\r\n<meta name=keywords>", Kind::kInserted},
        {"no place", "<html><p>\r\n<meta name=keywords></head><body>", "", Kind::kNowhereToInsert},
        {"empty page", "", "", Kind::kNowhereToInsert},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", c.page);
        const InsertOutcome outcome =
            InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(outcome.kind, c.kind) << c.name << ": " << outcome.error;
        EXPECT_EQ(ReadFile(page), c.expected.empty() ? c.page : c.expected) << c.name;
    }
    // A page that is one long line still works, and works in linear time.
    const Text big(2 << 20, 'x');
    const Text page =
        dir.Write("page.htm", "<meta name=\"keywords\" title='" + big + "'></head>" + big);
    EXPECT_EQ(InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem()).kind,
              Kind::kInserted);
    EXPECT_EQ(ReadFile(page), kTag + "</head>" + big);
}

// A tag that would damage the page, or hold no keyword, is refused and the page stays.
TEST(InsertMetaTag, RefusesTagsThatAreNoKeywordsTag) {
    const Text old = "<head>\n<meta name=keywords content=\"a, b\">\n</head>\n";
    const struct {
        Text tag;
        Kind kind;
        const char* message;
    } cases[] = {
        {"<META NAME=\"keywords\" CONTENT=\"\">", Kind::kNoKeyword,
         "Meta tag not inserted because it holds no keyword."},
        {"<META NAME=\"keywords\" CONTENT=\"a\"><script>x()</script>", Kind::kNotATag,
         "No meta tag to insert."},
        {"Rank Value Frequency", Kind::kNotATag, "No meta tag to insert."},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Text page = dir.Write("page.htm", old);
        const InsertOutcome outcome =
            InsertMetaTag(page, c.tag, std::nullopt, files::RealFileSystem());
        EXPECT_EQ(outcome.kind, c.kind) << c.tag;
        EXPECT_EQ(MessageFor(outcome).prompt, c.message);
        EXPECT_EQ(ReadFile(page), old) << c.tag;
    }
}

TEST(InsertMetaTag, BackupPaths) {
    EXPECT_EQ(BackupPathFor("page.htm"), "page.bak.htm");
    EXPECT_EQ(BackupPathFor("/w/index.html"), "/w/index.bak.html");
    EXPECT_EQ(BackupPathFor("/my.site/page"), "/my.bak.site/page");
    EXPECT_EQ(BackupPathFor("/site/page"), std::nullopt);
}

std::set<std::string> Names(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(InsertMetaTag, KeepsModeAndLinksAndRespectsReadOnlyFolders) {
    TempDir dir;
    const Text old = "<head>\r\n</head>";
    const Text page = dir.Write("page.htm", old);
    const Text backup = dir.Write("page.bak.htm", "earlier backup");
    const Text link = dir.File("link.htm");
    std::filesystem::create_symlink(page, link);
    ::chmod(page.c_str(), 0640);
    // Through a symbolic link, the page it points to is rewritten and the link stays.
    ASSERT_EQ(InsertMetaTag(link, kTag, backup, files::RealFileSystem()).kind, Kind::kInserted);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(page), "<head>\r\n" + kTag + "\r\n</head>");
    EXPECT_EQ(ReadFile(backup), old);
    EXPECT_EQ(std::filesystem::status(page).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(std::filesystem::status(backup).permissions(), std::filesystem::perms(0640));

    // A folder that cannot be written to fails the insert and leaves the page alone
    // (permissions do not bind the superuser).
    if (::geteuid() != 0) {
        dir.Write("page.htm", old);
        ::chmod(dir.Path().c_str(), 0555);
        const InsertOutcome outcome =
            InsertMetaTag(page, kTag, std::nullopt, files::RealFileSystem());
        ::chmod(dir.Path().c_str(), 0755);
        EXPECT_EQ(outcome.kind, Kind::kFailed);
        EXPECT_EQ(outcome.error, "Permission denied");
        EXPECT_EQ(ReadFile(page), old);
    }
}

// The real files, except that call number `failAt` (of any kind, counting from 1) fails,
// or every call from there on; with `crash`, the process ends there instead. A failing
// write puts half of its bytes down first. Syncs only count: a process that ends keeps
// what it wrote, and waiting for the disk would just slow the runs down.
class FaultyFileSystem : public files::FileSystem {
  public:
    enum Mode { kFailOnce, kFailOnwards, kCrash };
    static constexpr int kCrashed = 42;
    FaultyFileSystem(Mode mode, int failAt) : mode_(mode), failAt_(failAt) {}
    int calls = 0;

    Text ReadAll(const Text& p, Text& b) override { return Hit() ? Fail() : real_.ReadAll(p, b); }
    Text CreateTemp(const Text& f, Text& t) override {
        return Hit() ? Fail() : real_.CreateTemp(f, t);
    }
    Text Write(const Text& p, TextView bytes) override {
        if (!Hit())
            return real_.Write(p, bytes);
        real_.Write(p, bytes.substr(0, bytes.size() / 2));
        return mode_ == kCrash ? Fail() : "No space left on device";
    }
    Text Sync(const Text&) override { return Hit() ? Fail() : Text(); }
    Text CopyMode(const Text& f, const Text& t) override {
        return Hit() ? Fail() : real_.CopyMode(f, t);
    }
    Text Rename(const Text& f, const Text& t) override {
        return Hit() ? Fail() : real_.Rename(f, t);
    }
    Text Remove(const Text& p) override { return Hit() ? Fail() : real_.Remove(p); }
    Text SyncFolder(const Text&) override { return Hit() ? Fail() : Text(); }

  private:
    bool Hit() { return ++calls == failAt_ || (mode_ == kFailOnwards && calls > failAt_); }
    Text Fail() {
        if (mode_ == kCrash)
            ::_exit(kCrashed);
        return "Input/output error";
    }
    Mode mode_;
    int failAt_;
    files::FileSystem& real_ = files::RealFileSystem();
};

// Runs the insert with the fault at every possible call in turn, until a run meets none.
// Whatever happens, the page is the old or the new one, whole, and the backup is the
// earlier one or, whenever the page is new, the old page.
TEST(InsertMetaTag, FailuresAndCrashesLeaveWholeFiles) {
    const Text old = "<head>\r\n</head>\r\n<body>" + Text(5000, 'b');
    const Text fresh = "<head>\r\n" + kTag + "\r\n</head>\r\n<body>" + Text(5000, 'b');
    TempDir dir;
    for (const bool withBackup : {false, true}) {
        for (const auto mode : {FaultyFileSystem::kFailOnce, FaultyFileSystem::kFailOnwards,
                                FaultyFileSystem::kCrash}) {
            for (int n = 1, finished = 0; !finished; ++n) {
                SCOPED_TRACE(::testing::Message() << withBackup << mode << " call " << n);
                for (const auto& name : Names(dir)) std::filesystem::remove(dir.File(name));
                const Text page = dir.Write("page.htm", old);
                const Text backup = dir.Write("page.bak.htm", "earlier");
                const auto backupPath = withBackup ? std::optional<Text>(backup) : std::nullopt;
                FaultyFileSystem fs(mode, n);
                int status = 0;
                if (mode == FaultyFileSystem::kCrash) {
                    const pid_t child = ::fork();
                    if (child == 0)
                        ::_exit(InsertMetaTag(page, kTag, backupPath, fs).kind == Kind::kInserted);
                    ASSERT_EQ(::waitpid(child, &status, 0), child);
                    ASSERT_TRUE(WIFEXITED(status));
                    finished = WEXITSTATUS(status) != FaultyFileSystem::kCrashed;
                    EXPECT_EQ(WEXITSTATUS(status), finished ? 1 : FaultyFileSystem::kCrashed);
                } else {
                    const InsertOutcome outcome = InsertMetaTag(page, kTag, backupPath, fs);
                    finished = fs.calls < n;
                    EXPECT_EQ(outcome.kind, finished ? Kind::kInserted : Kind::kFailed);
                    EXPECT_EQ(outcome.error.empty(), finished) << outcome.error;
                }
                if (mode == FaultyFileSystem::kFailOnce) {  // clean-up itself cannot fail here
                    EXPECT_EQ(Names(dir), (std::set<std::string>{"page.htm", "page.bak.htm"}));
                }
                const Text now = ReadFile(page);
                EXPECT_TRUE(now == fresh || (!finished && now == old));
                const Text saved = ReadFile(backup);
                const bool backedUp = withBackup && saved == old;
                EXPECT_TRUE(backedUp || (saved == "earlier" && !(withBackup && now == fresh)));
            }
        }
    }
}

}  // namespace
}  // namespace lumora::output
