// The engine's one insert, as the tool and the window call it: which backup is kept where,
// which tags and pages are refused, and what the plan asked before any question says.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/insert.h"
#include "support/temp_dir.h"

namespace lumora::engine {
namespace {

using Code = Error::Code;
using testing::ReadFile;
using testing::TempDir;

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"new, tag\">";
const Text kOld = "<html>\n<head>\n<title>T</title>\n</head>\n<body>b</body>\n</html>\n";
const Text kNew =
    "<html>\n<head>\n<title>T</title>\n" + kTag + "\n</head>\n<body>b</body>\n</html>\n";

std::optional<Code> CodeOf(const std::optional<Error>& error) {
    return error ? std::optional<Code>(error->code) : std::nullopt;
}

TEST(EngineInsert, BackupPlacesAndRefusals) {
    const struct Case {
        const char* name;
        const char* page;  // in the site folder
        Text tag;
        BackupPlace backup;
        bool dryRun;
        std::optional<int> maxBytes;
        std::optional<Code> error;
        const char* backupFile;  // relative to the test folder; "" for none
    } cases[] = {
        {"beside", "site/a.htm", kTag, BackupPlace::kBesidePage, false, 500, {}, "site/a.bak.htm"},
        {"none", "site/a.htm", kTag, BackupPlace::kNone, false, 500, {}, ""},
        {"folder", "site/sub/a.htm", kTag, BackupPlace::kInFolder, false, 500, {}, "b/sub/a.htm"},
        {"no backup name", "site/noext", kTag, BackupPlace::kBesidePage, false, 500,
         Code::kNoBackupName, ""},
        {"no tag", "site/a.htm", "", BackupPlace::kNone, false, 500, Code::kNotATag, ""},
        {"no keyword fits", "site/a.htm", "<META NAME=\"keywords\" CONTENT=\"\">",
         BackupPlace::kNone, true, 10, Code::kNoKeywordFits, ""},
        {"no keyword, no limit", "site/a.htm", "<META NAME=\"keywords\" CONTENT=\"\">",
         BackupPlace::kNone, false, std::nullopt, Code::kTagWithoutKeyword, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directories(dir.File("site/sub"));
        const Text page = dir.Write(c.page, kOld);
        InsertRequest request;
        request.path = page;
        request.root = dir.File("site");
        request.analysedBytes = kOld;
        request.tag = c.tag;
        request.options.backup = c.backup;
        request.options.backupFolder = dir.File("b");
        request.options.maxBytes = c.maxBytes;
        request.options.dryRun = c.dryRun;
        const InsertResult result = Insert(request, RealFileSystem());
        EXPECT_EQ(CodeOf(result.error), c.error);
        const bool written = !c.error && !c.dryRun;
        EXPECT_EQ(ReadFile(page), written ? kNew : kOld);
        EXPECT_EQ(result.changed, !c.error);
        EXPECT_FALSE(result.keptBackup);
        const Text backup = *c.backupFile ? dir.File(c.backupFile) : Text();
        if (!backup.empty()) {
            EXPECT_EQ(ReadFile(backup), kOld);
        }
        // Nothing else is made: no backup but the one asked for, in no other place.
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
            files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(files, backup.empty() ? 1u : 2u);
    }
}

// A dry run of a page that already holds the tag shows no change and counts none.
TEST(EngineInsert, ADryRunOfAnUpToDatePageChangesNothing) {
    TempDir dir;
    InsertOptions dryRun;
    dryRun.dryRun = true;
    const InsertResult r =
        Insert({dir.Write("p.htm", kNew), {}, kNew, kTag, dryRun}, RealFileSystem());
    EXPECT_TRUE(r.ok() && !r.changed && r.diff == Text());
}

TEST(EngineInsert, PlanRefusesWhatInsertWouldRefuse) {
    TempDir dir;
    const Text text = dir.Write("plain.htm", "just words, no mark-up\n");
    const struct {
        Text path;
        Code code;
    } cases[] = {
        {"", Code::kNoPageGiven},
        {dir.File("missing.htm"), Code::kFileMissing},
        {dir.Path(), Code::kNotRegularFile},
        {text, Code::kNowhereToInsert},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const InsertPlan plan = PlanInsert(c.path, kTag, {}, RealFileSystem());
        EXPECT_EQ(CodeOf(plan.refusal), c.code);
        EXPECT_TRUE(Insert({c.path, {}, {}, kTag, {}}, RealFileSystem()).error);
    }
}

}  // namespace
}  // namespace lumora::engine
