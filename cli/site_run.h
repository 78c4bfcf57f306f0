// Many pages in one call, as the tool prints it: one block (or one JSON line) per page in
// path order, progress on a terminal, a summary at the end. The run itself is the core's
// (site/site_run.h); here are its flags and its printing.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <vector>

#include "engine/engine.h"
#include "engine/insert.h"
#include "environment.h"
#include "site/site_run.h"

namespace lumora::cli {

// The flags of a run over many pages, as typed; numbers checked by their validators.
struct SiteFlags {
    bool recursive = false;
    bool followSymlinks = false;
    std::vector<Text> include;  // empty: .htm, .html and .xhtml in any case
    std::vector<Text> exclude;
    std::optional<Text> jobs;  // empty: all cores
    bool json = false;
    bool quiet = false;
    std::optional<Text> siteCommon;  // a percentage
    bool dryRun = false;             // insert only
    bool check = false;              // insert only: a dry run that tells which pages would change
};

using SiteCommand = site::SiteCommand;

// Adds the flags to a command: all of them to generate, list and insert; --dry-run and
// --check to insert only; --site-common to all but show.
void AddSiteFlags(CLI::App& command, SiteCommand which, SiteFlags& flags);

// True when the call is for a site rather than for one page as the tool has always done
// it: several PAGE arguments, a folder among them, --json, --site-common or --check.
bool IsSiteRun(const std::vector<Text>& pages, const SiteFlags& flags, engine::FileSystem& fs);

struct SiteRun {
    SiteCommand command = SiteCommand::kGenerate;
    std::vector<Text> arguments;  // PAGE arguments: pages and folders
    SiteFlags flags;
    engine::Options options;       // with the data files' outcome applied
    engine::Resources resources;   // loaded once for all pages
    engine::InsertOptions insert;  // backups; the dry run is flags.dryRun
    bool verbose = false;
};

// What insert --check finds of a page that can take the tag.
enum class CheckState { kUpToDate, kStale, kMissing };
CheckState CheckStateOf(bool changed, const engine::ExistingTags& existing);
// "PAGE: the keywords tag is missing", and the like, without a line end.
Text CheckLine(const Text& path, CheckState state);

// Exit status: 0 every page done, 1 any page failed (or, with --check, would change), 130
// stopped by Ctrl-C.
int RunSite(const SiteRun& run, std::ostream& out, std::ostream& err,
            const CliEnvironment& environment);

}  // namespace lumora::cli
