#include "engine/insert.h"

#include <utility>

#include "files/page_file.h"
#include "output/insert.h"
#include "output/meta_tag.h"
#include "site/unified_diff.h"

namespace lumora::engine {

namespace {

InsertResult Refused(Error error) {
    InsertResult result;
    result.error = std::move(error);
    return result;
}

// The checks of the tag itself, before any file is looked at: an empty tag would wipe the
// keywords the page has, and so would one whose byte limit left no keyword in it.
std::optional<Error> RefuseTag(const Text& tag, const InsertOptions& options, const Text& path) {
    if (tag.empty())
        return Error{Error::Code::kNotATag};
    return output::RefuseTagWithoutKeyword(tag, options.maxBytes, path);
}

// What a dry run shows: the diff of what insert would write, from the bytes analysed.
InsertResult DryRun(const InsertRequest& r, FileSystem& fs) {
    files::FileInfo info;
    if (auto problem = files::CheckReplaceable(r.path, info, fs))
        return Refused(std::move(*problem));
    output::InsertPlan plan =
        output::PlanInsert(r.analysedBytes, r.tag, r.options.encoding, r.path);
    if (plan.refusal)
        return Refused(std::move(*plan.refusal));
    InsertResult result;
    if (r.options.checkOnly) {
        result.changed = plan.page != r.analysedBytes;
        return result;
    }
    result.diff = site::UnifiedDiff(r.analysedBytes, plan.page, r.path, r.path);
    result.changed = !result.diff->empty();
    return result;
}

}  // namespace

InsertResult Insert(const InsertRequest& r, FileSystem& fs) {
    if (auto refusal = RefuseTag(r.tag, r.options, r.path))
        return Refused(std::move(*refusal));
    std::optional<output::Backup> backup;
    switch (r.options.backup) {
        case BackupPlace::kNone:
            break;
        case BackupPlace::kInFolder:
            backup = output::Backup(output::BackupPathIn(r.options.backupFolder, r.path, r.root),
                                    true, r.options.backupFolder);
            break;
        case BackupPlace::kBesidePage: {
            std::optional<Text> beside = BackupBeside(r.path);
            if (!beside)
                return Refused(Error{Error::Code::kNoBackupName, r.path});
            backup = output::Backup(std::move(*beside), false, r.root);
            break;
        }
    }
    if (r.options.dryRun)
        return DryRun(r, fs);
    output::InsertResult written =
        output::InsertMetaTag(r.path, r.tag, backup, fs, r.options.encoding, r.root);
    InsertResult result;
    result.error = std::move(written.error);
    result.changed = written.changed;
    result.keptBackup = std::move(written.keptBackup);
    return result;
}

InsertPlan PlanInsert(const Text& path, const Text& tag, const InsertOptions& options,
                      FileSystem& fs) {
    InsertPlan plan;
    const auto refuse = [&plan](Error error) {
        plan.refusal = std::move(error);
        return std::move(plan);
    };
    if (auto refusal = RefuseTag(tag, options, path))
        return refuse(std::move(*refusal));
    if (path.empty())
        return refuse(Error{Error::Code::kNoPageGiven});
    if (auto problem = files::NotRegularFileProblem(path, fs))
        return refuse(std::move(*problem));
    files::FileInfo info;
    if (!fs.Stat(path, info).empty() || info.kind != files::FileInfo::Kind::kRegular)
        return refuse(Error{Error::Code::kFileMissing, path});
    if (auto problem = files::CheckReplaceable(path, info, fs))
        return refuse(std::move(*problem));
    Text bytes;
    if (Text error = fs.ReadAll(path, bytes); !error.empty())
        return refuse(Error{Error::Code::kReadFailed, path, 0, std::move(error)});
    output::InsertPlan made = output::PlanInsert(bytes, tag, options.encoding, path);
    if (made.refusal)
        return refuse(std::move(*made.refusal));
    plan.upToDate = made.page == bytes;
    plan.page = std::move(made.page);
    return plan;
}

InsertPlan PlanInsertInto(TextView page, const Text& tag, const InsertOptions& options,
                          const Text& pageName) {
    InsertPlan plan;
    if (auto refusal = RefuseTag(tag, options, pageName)) {
        plan.refusal = std::move(*refusal);
        return plan;
    }
    output::InsertPlan made = output::PlanInsert(page, tag, options.encoding, pageName);
    if (made.refusal) {
        plan.refusal = std::move(made.refusal);
        return plan;
    }
    plan.upToDate = made.page == page;
    if (options.dryRun)
        plan.diff = site::UnifiedDiff(page, made.page, pageName, pageName);
    plan.page = std::move(made.page);
    return plan;
}

std::optional<Text> BackupBeside(TextView path) {
    return output::BackupPathFor(path);
}

Text InsertedMessage(const InsertResult& result, const Text& pageName) {
    if (!result.changed)
        return "Meta tag already up to date in " + pageName + ".";
    Text message = "Meta tag inserted successfully into document.";
    if (result.keptBackup)
        message += "\r\nThe earlier backup " + *result.keptBackup + " was kept as it was.";
    return message;
}

}  // namespace lumora::engine
