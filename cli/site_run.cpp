#include "site_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <stop_token>
#include <thread>
#include <unordered_set>

#include "console_text.h"
#include "decimal_option.h"
#include "engine/page_file.h"
#include "json_report.h"
#include "output/insert.h"
#include "page_insert.h"
#include "progress_line.h"
#include "scan/show_existing.h"
#include "site/page_set.h"
#include "site/site_common.h"
#include "site/worker_pool.h"

namespace lumora::cli {

namespace {

constexpr int kMostWorkers = 256;

// One entry of the run: a page, or a PAGE argument that gave none (an unreadable folder, a
// folder without pages).
struct Entry {
    Text path;
    std::optional<Error> problem;  // when the entry failed before any page was read
    Text root;  // the folder argument the page was found in; "" when named directly
};

// What one page came to, ready to print.
struct PageOutcome {
    PageStatus status = PageStatus::kOk;
    bool changed = false;  // insert: the page was (or, in a dry run, would be) rewritten
    Text text;             // the page's block, or its JSON line
};

// "Title: prompt", as the tool tells a failure of one page.
Text Told(TextView title, TextView prompt) {
    Text line(title);
    line += ": ";
    line += ToConsoleText(prompt);
    return line;
}

Text Header(const Text& path) {
    return "==> " + ConsoleName(path) + " <==\n";
}

// Everything a page's task needs, shared read-only by the workers.
struct RunContext {
    const SiteRun& run;
    engine::Resources resources;
    std::shared_ptr<const std::unordered_set<Text>> siteCommon;
    std::stop_token stop;
    files::FileSystem& fs;
    // The pages' first readings kept for the second, with the site's common words.
    site::FirstReadings* readings = nullptr;
};

class PageTask {
  public:
    PageTask(const RunContext& context, const Entry& entry, std::size_t index)
        : c_(context), entry_(entry), index_(index) {}

    PageOutcome Run() {
        report_.path = entry_.path;
        // Running out of memory fails this page alone; what it took is given back first.
        try {
            return RunPage();
        } catch (const std::bad_alloc&) {
            Text().swap(body_);
            return Failed(Error{Error::Code::kOutOfMemory, entry_.path});
        }
    }

  private:
    PageOutcome RunPage() {
        if (entry_.problem)
            return Failed(*entry_.problem);
        std::optional<engine::PageReading> reading;
        if (c_.readings != nullptr)
            reading = c_.readings->Take(index_);
        Text bytes;
        // A page read the first time is not read again, but for the diff of a dry run.
        if (!reading || (c_.run.command == SiteCommand::kInsert && c_.run.flags.dryRun)) {
            if (auto error = engine::ReadPageFile(entry_.path, c_.fs, bytes))
                return Failed(*error);
        }
        if (c_.run.command == SiteCommand::kShow)
            return Show(bytes);
        engine::Options options = c_.run.options;
        options.count.siteCommonWords = c_.siteCommon;
        engine::AnalysisResult result =
            reading ? engine::FinishReading(std::move(*reading), c_.readings->CommonWords(),
                                            options.tag, c_.stop)
                    : engine::Analyse(bytes, options, c_.resources, {}, c_.stop);
        if (!result.ok()) {
            result.error->path = entry_.path;
            return Failed(*result.error);
        }
        const engine::Analysis& a = result.analysis;
        if (a.stopped)
            return Stopped();
        report_.analysis = &a;
        report_.siteCommon = a.siteCommonLeftOut;
        if (c_.run.verbose) {
            body_ += Told("Encoding", a.page.encoding) + "\n";
            body_ += Told("Line ends", LineEndsText(a.page.lineEnds)) + "\n";
        }
        switch (c_.run.command) {
            case SiteCommand::kGenerate:
                body_ += ToConsoleText(a.tag.boxText);
                break;
            case SiteCommand::kList:
                report_.withWords = true;
                body_ += ToConsoleText(engine::WordList(a.ranked, options.count));
                if (c_.siteCommon && !a.siteCommonLeftOut.empty())
                    body_ += "\nLeft out as common to the site: " +
                             ToConsoleText(Joined(a.siteCommonLeftOut));
                break;
            case SiteCommand::kInsert:
                // Insert reads the page again; the bytes analysed only show a dry run's diff.
                if (!c_.run.flags.dryRun)
                    Text().swap(bytes);
                return Insert(bytes, a);
            case SiteCommand::kShow:
                break;
        }
        return Done(PageStatus::kOk);
    }

    static Text Joined(const std::vector<Text>& words) {
        Text text;
        for (const Text& w : words) text += (text.empty() ? "" : ", ") + w;
        return text;
    }

    PageOutcome Show(TextView bytes) {
        if (auto refusal = engine::RefusePage(bytes)) {
            refusal->path = entry_.path;
            return Failed(*refusal);
        }
        body_ =
            ToConsoleText(scan::ShowExistingReportForPage(bytes, c_.run.options.count.encoding));
        if (!c_.run.flags.json)
            return Done(PageStatus::kOk);
        // The page's facts come from a pass; the common words play no part in them.
        engine::Options plain;
        plain.count.encoding = c_.run.options.count.encoding;
        const engine::AnalysisResult facts =
            engine::Analyse(bytes, plain, engine::Resources{}, {}, c_.stop);
        if (facts.analysis.stopped)
            return Stopped();
        report_.withTag = false;
        report_.analysis = &facts.analysis;
        return Done(PageStatus::kOk);
    }

    PageOutcome Insert(TextView bytes, const engine::Analysis& a) {
        InsertRequest request;
        request.path = entry_.path;
        request.bytes = bytes;
        request.tag = a.tag.tag;
        request.maxBytesText = c_.run.maxBytesText;
        request.encoding = c_.run.options.count.encoding;
        request.backup = c_.run.backup;
        request.backupFolder = c_.run.backupFolder;
        request.root = entry_.root;
        request.dryRun = c_.run.flags.dryRun;
        request.fileSystem = &c_.fs;
        const InsertReport inserted = InsertPage(request);
        if (!inserted.ok)
            return Failed(inserted.text, inserted.plainText);
        report_.insert = true;
        report_.inserted = inserted.written;
        report_.unchanged = inserted.unchanged;
        report_.keptBackup = inserted.keptBackup;
        if (request.dryRun)
            report_.diff = inserted.text;
        body_ += inserted.text;
        PageOutcome outcome = Done(PageStatus::kOk);
        outcome.changed = !inserted.unchanged;
        return outcome;
    }

    // Ctrl-C came while the page was being read: nothing of it is reported or written.
    PageOutcome Stopped() {
        report_.status = PageStatus::kSkipped;
        report_.error = "Stopped by Ctrl-C before this page was done.";
        report_.analysis = nullptr;
        body_ = report_.error;
        return Done(PageStatus::kSkipped);
    }

    // "Title: message"; the name in it escaped for people, as it is for JSON.
    PageOutcome Failed(const Error& error) {
        return Failed(error.Title() + ": " + ConsoleMessage(error),
                      error.Title() + ": " + PlainMessage(error));
    }

    PageOutcome Failed(const Text& shown, const Text& plain) {
        report_.status = PageStatus::kFailed;
        report_.error = plain;
        report_.analysis = nullptr;
        body_ = shown;
        return Done(PageStatus::kFailed);
    }

    PageOutcome Done(PageStatus status) {
        if (c_.run.flags.json)
            return {status, false, JsonLine(report_) + "\n"};
        Text block = Header(entry_.path) + body_;
        if (!body_.empty())
            block += '\n';
        return {status, false, std::move(block)};
    }

    const RunContext& c_;
    const Entry& entry_;
    const std::size_t index_;
    PageReport report_;
    Text body_;
};

site::PageSetOptions PageSetOptionsOf(const SiteFlags& flags) {
    site::PageSetOptions options;
    options.recursive = flags.recursive;
    options.followSymlinks = flags.followSymlinks;
    options.include = flags.include;
    options.exclude = flags.exclude;
    return options;
}

// The folder argument a page of a walk was found in: the longest folder argument its
// path starts with, as the walk joined them.
Text RootOf(const Text& page, const std::vector<Text>& folders) {
    Text root;
    for (const Text& folder : folders) {
        const bool inside = page.size() > folder.size() && page.starts_with(folder) &&
                            (folder.ends_with('/') || page[folder.size()] == '/');
        if (inside && folder.size() > root.size())
            root = folder;
    }
    return root;
}

// With a folder of backups, two pages of different folders may ask for one backup name
// (two folders given, each with an index.htm): the first in path order keeps it, the
// others are left alone rather than given the backup of another page.
void RefuseSharedBackups(const SiteRun& run, std::vector<Entry>& entries) {
    if (run.command != SiteCommand::kInsert || !run.backup || run.backupFolder.empty())
        return;
    std::unordered_set<Text> taken;
    for (Entry& entry : entries) {
        if (entry.problem)
            continue;
        Text backup = output::BackupPathIn(run.backupFolder, entry.path, entry.root);
        if (!taken.insert(backup).second)
            entry.problem = Error{Error::Code::kSharedBackup, entry.path, 0, std::move(backup)};
    }
}

// The pages of the PAGE arguments, and the arguments that gave none, in path order.
std::vector<Entry> EntriesOf(const SiteRun& run) {
    site::PageSetOptions options = PageSetOptionsOf(run.flags);
    // Backups kept inside the site are never taken for pages.
    if (run.command == SiteCommand::kInsert && !run.backupFolder.empty())
        options.skipFolders.push_back(run.backupFolder);
    const site::PageSet set = site::CollectPages(run.arguments, options);
    std::vector<Text> folders;
    for (const Text& argument : run.arguments) {
        if (site::WalkedAsFolder(argument))
            folders.push_back(argument);
    }
    std::vector<Entry> entries;
    entries.reserve(set.pages.size() + set.problems.size());
    for (const Text& page : set.pages)
        entries.push_back({page, std::nullopt, RootOf(page, folders)});
    for (const Error& problem : set.problems) {
        // A named page that does not exist is told as for one page.
        struct stat info {};
        if (::lstat(problem.path.c_str(), &info) != 0 && errno == ENOENT) {
            entries.push_back({problem.path, std::nullopt, {}});
            continue;
        }
        entries.push_back({problem.path, problem, {}});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.path < b.path; });
    RefuseSharedBackups(run, entries);
    return entries;
}

int WorkersOf(const SiteFlags& flags) {
    return flags.jobs ? std::stoi(*flags.jobs) : site::DefaultWorkers();
}

// Turns Ctrl-C (a flag set by the signal handler) into a stop request, a few times a second.
class InterruptWatch {
  public:
    InterruptWatch(const std::atomic<bool>* interrupted, std::stop_source& stop)
        : interrupted_(interrupted), stop_(stop) {
        if (Seen())
            return;
        if (interrupted_ != nullptr) {
            watcher_ = std::jthread([this](std::stop_token done) {
                while (!done.stop_requested() && !Seen())
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            });
        }
    }
    bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }

  private:
    bool Seen() {
        if (!Interrupted())
            return false;
        stop_.request_stop();
        return true;
    }
    const std::atomic<bool>* interrupted_;
    std::stop_source& stop_;
    std::jthread watcher_;
};

// The first reading of every page, when the site's common words are wanted: which words
// stand on how many pages. Pages that cannot be read are told in the second reading.
std::shared_ptr<const std::unordered_set<Text>> FindSiteCommonWords(
    const std::vector<Entry>& entries, const RunContext& c, int workers, ProgressLine& progress,
    site::FirstReadings& readings) {
    site::RunInOrder(
        entries.size(), workers,
        [&](std::size_t i) {
            if (entries[i].problem)
                return;
            try {
                Text bytes;
                if (engine::ReadPageFile(entries[i].path, c.fs, bytes))
                    return;
                readings.Read(i, bytes, c.run.options.count, c.resources, c.stop);
            } catch (const std::bad_alloc&) {
                // Told with the page's second reading, like any page that cannot be read.
            }
        },
        [&](std::size_t i) {
            readings.Deliver(i);
            progress.Update(static_cast<int>(i + 1),
                            i + 1 < entries.size() ? TextView(entries[i + 1].path) : TextView());
        },
        c.stop);
    const double percent = std::stod(*c.run.flags.siteCommon);
    return readings.FindCommonWords(percent);
}

Text Seconds(std::chrono::steady_clock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
    return text;
}

}  // namespace

void AddSiteFlags(CLI::App& command, SiteCommand which, SiteFlags& flags) {
    command.add_flag("-r,--recursive", flags.recursive, "Walk the subfolders of folders too");
    command
        .add_option("--include", flags.include,
                    "Take the files of folders whose names match this pattern (default: "
                    "names ending in .htm, .html or .xhtml, in any case; may be repeated)")
        ->allow_extra_args(false)
        ->type_name("GLOB");
    command
        .add_option("--exclude", flags.exclude,
                    "Leave out files and folders matching this pattern (may be repeated)")
        ->allow_extra_args(false)
        ->type_name("GLOB");
    command.add_flag("--follow-symlinks", flags.followSymlinks,
                     "Take files and enter folders reached through symbolic links that lead "
                     "inside the folders given");
    command.add_option("-j,--jobs", flags.jobs, "Pages analysed at once (default: all cores)")
        ->check(DecimalIn(1, kMostWorkers, 1))
        ->type_name("N");
    command.add_flag("--json", flags.json, "One JSON object per page on standard output");
    command.add_flag("-q,--quiet", flags.quiet, "No progress line and no summary");
    if (which != SiteCommand::kShow) {
        command
            .add_option("--site-common", flags.siteCommon,
                        "Leave out words found on more than this percentage of the pages "
                        "given, except in a page's title")
            ->check(DecimalIn(1, 100, 1))
            ->type_name("PERCENT");
    }
    if (which == SiteCommand::kInsert) {
        command.add_flag("--dry-run", flags.dryRun,
                         "Change nothing; print the unified diff of what insert would change");
    }
}

bool IsSiteRun(const std::vector<Text>& pages, const SiteFlags& flags) {
    if (pages.size() != 1 || flags.json || flags.siteCommon)
        return true;
    return site::WalkedAsFolder(pages.front());
}

int RunSite(const SiteRun& run, std::ostream& out, std::ostream& err,
            const CliEnvironment& environment) {
    const auto started = std::chrono::steady_clock::now();
    const std::vector<Entry> entries = EntriesOf(run);
    const int total = static_cast<int>(entries.size());
    const int workers = WorkersOf(run.flags);
    const bool showProgress = environment.progressOnTerminal && !run.flags.quiet;

    std::stop_source stop;
    InterruptWatch watch(environment.interrupted, stop);
    RunContext context{run, engine::Resources{run.commonWords}, nullptr, stop.get_token(),
                       FileSystemOf(environment)};

    // With the site's common words the run goes over the pages twice; the line says which time.
    const TextView secondLabel = run.flags.siteCommon ? "Reading 2 of 2: " : "";
    site::FirstReadings readings(run.flags.siteCommon ? entries.size() : 0,
                                 site::DefaultReadingBudget());
    if (run.flags.siteCommon && !stop.stop_requested()) {
        ProgressLine firstReading(err, showProgress, total, "Reading 1 of 2: ");
        firstReading.Update(0, total > 0 ? TextView(entries[0].path) : TextView());
        context.siteCommon = FindSiteCommonWords(entries, context, workers, firstReading, readings);
        context.readings = &readings;
        firstReading.Clear();
    }

    ProgressLine progress(err, showProgress, total, secondLabel);
    int done = 0, failed = 0, skipped = 0, changed = 0;
    std::vector<PageOutcome> outcomes(entries.size());
    std::size_t delivered = 0;
    bool printed = false;
    if (!stop.stop_requested()) {
        progress.Update(0, total > 0 ? TextView(entries[0].path) : TextView());
        delivered = site::RunInOrder(
            entries.size(), workers,
            [&](std::size_t i) { outcomes[i] = PageTask(context, entries[i], i).Run(); },
            [&](std::size_t i) {
                PageOutcome& outcome = outcomes[i];
                (outcome.status == PageStatus::kOk       ? done
                 : outcome.status == PageStatus::kFailed ? failed
                                                         : skipped)++;
                changed += outcome.changed ? 1 : 0;
                if (!outcome.text.empty()) {
                    progress.Clear();
                    // Blocks for people are parted by a blank line.
                    if (!run.flags.json && printed)
                        out << '\n';
                    out << outcome.text << std::flush;
                    printed = true;
                }
                outcome = {};
                progress.Update(static_cast<int>(i + 1), i + 1 < entries.size()
                                                             ? TextView(entries[i + 1].path)
                                                             : TextView());
            },
            context.stop);
    }
    progress.Clear();
    skipped += total - static_cast<int>(delivered);

    const bool interrupted = watch.Interrupted();
    if (!run.flags.quiet) {
        err << total << (total == 1 ? " page: " : " pages: ") << done << " done";
        // Insert tells how many pages it changed, so that a second run shows it left all alone.
        if (run.command == SiteCommand::kInsert) {
            err << " (" << changed << (run.flags.dryRun ? " to change, " : " changed, ")
                << done - changed << " unchanged)";
        }
        err << ", " << failed << " failed, " << skipped << " skipped, "
            << Seconds(std::chrono::steady_clock::now() - started)
            << (interrupted ? " (stopped by Ctrl-C)" : "") << '\n';
    }
    if (interrupted)
        return 130;
    return failed > 0 ? 1 : 0;
}

}  // namespace lumora::cli
