#include "page_insert.h"

#include "cli_app.h"
#include "files/page_file.h"
#include "output/insert.h"
#include "output/meta_tag.h"
#include "site/unified_diff.h"

namespace lumora::cli {

namespace {

InsertReport Refused(Text text) {
    return {false, false, ToConsoleText(text)};
}

// What insert would do to the page, computed from the bytes that were analysed.
InsertReport DryRun(const InsertRequest& r) {
    files::FileInfo info;
    if (Text problem = files::CheckReplaceable(r.path, info); !problem.empty())
        return Refused(output::MessageFor({output::InsertOutcome::Kind::kRefused, problem}).prompt);
    const output::InsertPlan plan = output::PlanInsert(r.bytes, r.tag, r.encoding, r.path);
    if (plan.refusal)
        return Refused(output::MessageFor(*plan.refusal).prompt);
    Text diff = site::UnifiedDiff(r.bytes, plan.page, r.path, r.path);
    // The diff ends with its own line end; the caller adds one after every report.
    if (!diff.empty() && diff.back() == '\n')
        diff.pop_back();
    return {true, false, std::move(diff)};
}

}  // namespace

InsertReport InsertPage(const InsertRequest& r) {
    if (r.tag.empty())
        return Refused("No meta tag to insert.");
    // An empty tag would wipe the keywords the page has.
    if (const auto refusal = output::RefuseTagWithoutKeyword(r.tag, r.maxBytesText, r.path))
        return Refused(*refusal);
    std::optional<Text> backupPath;
    if (r.backup) {
        backupPath = output::BackupPathFor(r.path);
        if (!backupPath) {
            return Refused("No backup can be made of " + r.path +
                           ": its name has no \".\" before which \"bak\" could go.\n"
                           "Use --no-backup to insert the meta tag without a backup.");
        }
    }
    if (r.dryRun)
        return DryRun(r);
    const auto outcome =
        output::InsertMetaTag(r.path, r.tag, backupPath, files::RealFileSystem(), r.encoding);
    const bool inserted = outcome.kind == output::InsertOutcome::Kind::kInserted;
    return {inserted, inserted, ToConsoleText(output::MessageFor(outcome).prompt)};
}

}  // namespace lumora::cli
