#include "page_insert.h"

#include "console_text.h"
#include "files/page_file.h"
#include "output/insert.h"
#include "output/meta_tag.h"
#include "site/unified_diff.h"

namespace lumora::cli {

namespace {

InsertReport Refused(const Error& error, TextView hint = {}) {
    return {false, false,
            false, ConsoleMessage(error) + Text(hint),
            {},    PlainMessage(error) + Text(hint)};
}

// What insert would do to the page, computed from the bytes that were analysed.
InsertReport DryRun(const InsertRequest& r) {
    files::FileInfo info;
    if (const auto problem = files::CheckReplaceable(r.path, info))
        return Refused(*problem);
    const output::InsertPlan plan = output::PlanInsert(r.bytes, r.tag, r.encoding, r.path);
    if (plan.refusal)
        return Refused(*plan.refusal);
    Text diff = site::UnifiedDiff(r.bytes, plan.page, r.path, r.path);
    // The diff ends with its own line end; the caller adds one after every report.
    if (!diff.empty() && diff.back() == '\n')
        diff.pop_back();
    const bool unchanged = diff.empty();
    return {true, false, unchanged, std::move(diff), {}, {}};
}

}  // namespace

InsertReport InsertPage(const InsertRequest& r) {
    if (r.tag.empty())
        return Refused(Error{Error::Code::kNotATag});
    // An empty tag would wipe the keywords the page has.
    if (const auto refusal = output::RefuseTagWithoutKeyword(r.tag, r.maxBytes, r.path))
        return Refused(*refusal);
    std::optional<output::Backup> backup;
    if (r.backup && !r.backupFolder.empty()) {
        backup = output::Backup(output::BackupPathIn(r.backupFolder, r.path, r.root), true,
                                r.backupFolder);
    } else if (r.backup) {
        const std::optional<Text> beside = output::BackupPathFor(r.path);
        if (!beside) {
            return Refused(Error{Error::Code::kNoBackupName, r.path},
                           "\nUse --no-backup to insert the meta tag without a backup.");
        }
        backup = output::Backup(*beside, false, r.root);
    }
    if (r.dryRun)
        return DryRun(r);
    const output::InsertResult result = output::InsertMetaTag(
        r.path, r.tag, backup, r.fileSystem ? *r.fileSystem : files::RealFileSystem(), r.encoding,
        r.root);
    if (!result.ok())
        return Refused(*result.error);
    // The message names the page: shown as the console shows names.
    output::InsertResult shown = result;
    if (shown.keptBackup)
        shown.keptBackup = ConsoleName(*shown.keptBackup);
    const Text message = ToConsoleText(output::InsertedMessage(shown, ConsoleName(r.path)));
    return {true, result.changed, !result.changed, message, result.keptBackup, message};
}

}  // namespace lumora::cli
