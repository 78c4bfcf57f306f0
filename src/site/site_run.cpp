#include "site/site_run.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <unordered_set>

#include "output/insert.h"
#include "site/site_common.h"
#include "site/worker_pool.h"

namespace lumora::site {

namespace {

// One entry of the run: a page, or a PAGE argument that gave none (an unreadable folder, a
// folder without pages).
struct Entry {
    Text path;
    std::optional<Error> problem;  // when the entry failed before any page was read
    Text root;  // the folder argument the page was found in; "" when named directly
};

// Everything a page's task needs, shared read-only by the workers.
struct RunContext {
    const SiteRunRequest& run;
    FirstReadings::SiteCommonWords siteCommon;
    std::stop_token stop;
    engine::FileSystem& fs;
    // The pages' first readings kept for the second, with the site's common words.
    FirstReadings* readings = nullptr;
};

class PageTask {
  public:
    PageTask(const RunContext& context, const Entry& entry, std::size_t index)
        : c_(context), entry_(entry), index_(index) {
        outcome_.path = entry.path;
        outcome_.root = entry.root;
    }

    PageOutcome Run() {
        // Running out of memory fails this page alone; what it took is given back first.
        try {
            RunPage();
        } catch (const std::bad_alloc&) {
            outcome_ = PageOutcome();
            outcome_.path = entry_.path;
            outcome_.root = entry_.root;
            Failed(Error{Error::Code::kOutOfMemory, entry_.path});
        }
        return std::move(outcome_);
    }

  private:
    void RunPage() {
        if (entry_.problem)
            return Failed(*entry_.problem);
        std::optional<engine::PageReading> reading;
        if (c_.readings != nullptr)
            reading = c_.readings->Take(index_);
        Text bytes;
        // A page read the first time is not read again, but for the diff of a dry run.
        if (!reading || (c_.run.command == SiteCommand::kInsert && c_.run.insert.dryRun)) {
            if (auto error = engine::ReadPageFile(entry_.path, c_.fs, bytes))
                return Failed(*error);
        }
        if (c_.run.command == SiteCommand::kShow)
            return Show(bytes);
        engine::Options options = c_.run.options;
        options.count.siteCommonWords = c_.siteCommon.shown;
        options.count.siteTitleWords = c_.siteCommon.inTitles;
        engine::AnalysisResult result =
            reading ? engine::FinishReading(std::move(*reading), c_.readings->CommonWords(),
                                            options.tag, c_.stop)
                    : engine::Analyse(bytes, options, c_.run.resources, {}, c_.stop);
        if (!result.ok()) {
            result.error->path = entry_.path;
            return Failed(*result.error);
        }
        if (result.analysis.stopped)
            return Stopped();
        outcome_.analysis = std::move(result.analysis);
        if (c_.run.command == SiteCommand::kInsert) {
            // Insert reads the page again; the bytes analysed only show a dry run's diff.
            if (!c_.run.insert.dryRun)
                Text().swap(bytes);
            Insert(bytes);
        }
    }

    void Show(TextView bytes) {
        // The page's facts and tags, found without a pass.
        engine::ShowResult shown = engine::Show(bytes, c_.run.options.count.encoding);
        if (!shown.ok()) {
            shown.error->path = entry_.path;
            return Failed(*shown.error);
        }
        outcome_.showReport = std::move(shown.shown.report);
        if (!c_.run.showFacts)
            return;
        engine::Analysis facts;
        facts.page = std::move(shown.shown.page);
        facts.existing = std::move(shown.shown.existing);
        outcome_.analysis = std::move(facts);
    }

    void Insert(TextView bytes) {
        engine::InsertRequest request;
        request.path = entry_.path;
        request.root = entry_.root;
        request.analysedBytes = bytes;
        request.tag = outcome_.analysis->tag.tag;
        request.options = c_.run.insert;
        outcome_.insert = engine::Insert(request, c_.fs);
        if (!outcome_.insert->ok()) {
            outcome_.status = PageStatus::kFailed;
            outcome_.analysis.reset();
        }
    }

    // Ctrl-C came while the page was being read: nothing of it is reported or written.
    void Stopped() {
        outcome_.status = PageStatus::kSkipped;
        outcome_.stopped = true;
        outcome_.analysis.reset();
    }

    void Failed(const Error& error) {
        outcome_.status = PageStatus::kFailed;
        outcome_.error = error;
        outcome_.analysis.reset();
        outcome_.insert.reset();
    }

    const RunContext& c_;
    const Entry& entry_;
    const std::size_t index_;
    PageOutcome outcome_;
};

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

bool BackupsInFolder(const SiteRunRequest& run) {
    return run.command == SiteCommand::kInsert &&
           run.insert.backup == engine::BackupPlace::kInFolder;
}

// With a folder of backups, two pages of different folders may ask for one backup name
// (two folders given, each with an index.htm): the first in path order keeps it, the
// others are left alone rather than given the backup of another page.
void RefuseSharedBackups(const SiteRunRequest& run, std::vector<Entry>& entries) {
    if (!BackupsInFolder(run))
        return;
    std::unordered_set<Text> taken;
    for (Entry& entry : entries) {
        if (entry.problem)
            continue;
        Text backup = output::BackupPathIn(run.insert.backupFolder, entry.path, entry.root);
        if (!taken.insert(backup).second)
            entry.problem = Error{Error::Code::kSharedBackup, entry.path, 0, std::move(backup)};
    }
}

// The pages of the PAGE arguments, and the arguments that gave none, in path order.
std::vector<Entry> EntriesOf(const SiteRunRequest& run, engine::FileSystem& fs) {
    PageSetOptions options = run.walk;
    // Backups kept inside the site are never taken for pages.
    if (run.command == SiteCommand::kInsert && !run.insert.backupFolder.empty())
        options.skipFolders.push_back(run.insert.backupFolder);
    const PageSet set = CollectPages(run.arguments, options, fs);
    std::vector<Text> folders;
    for (const Text& argument : run.arguments) {
        if (WalkedAsFolder(argument, fs))
            folders.push_back(argument);
    }
    std::vector<Entry> entries;
    for (PageEntry& entry : InRunOrder(set, fs)) {
        // Only pages the walk found have a folder; a named page that is missing has none.
        const bool found = std::binary_search(set.pages.begin(), set.pages.end(), entry.path);
        Text root = found ? RootOf(entry.path, folders) : Text();
        entries.push_back({std::move(entry.path), std::move(entry.problem), std::move(root)});
    }
    RefuseSharedBackups(run, entries);
    return entries;
}

// The page after the i-th one, "" after the last: where the run goes next.
TextView NextPath(const std::vector<Entry>& entries, std::size_t done) {
    return done < entries.size() ? TextView(entries[done].path) : TextView();
}

// The first reading of every page, when the site's common words are wanted: which words
// stand on how many pages. Pages that cannot be read are told in the second reading.
FirstReadings::SiteCommonWords FindSiteCommonWords(const std::vector<Entry>& entries,
                                                   const RunContext& c, int workers,
                                                   const std::function<void(int done)>& progress,
                                                   FirstReadings& readings) {
    RunInOrder(
        entries.size(), workers,
        [&](std::size_t i) {
            if (entries[i].problem)
                return;
            try {
                Text bytes;
                if (engine::ReadPageFile(entries[i].path, c.fs, bytes))
                    return;
                readings.Read(i, bytes, c.run.options.count, c.run.resources, c.stop);
            } catch (const std::bad_alloc&) {
                // Told with the page's second reading, like any page that cannot be read.
            }
        },
        [&](std::size_t i) {
            readings.Deliver(i);
            progress(static_cast<int>(i + 1));
        },
        c.stop);
    return readings.FindCommonWords(*c.run.siteCommonPercent);
}

}  // namespace

SiteSummary RunSite(const SiteRunRequest& run, engine::FileSystem& fs, SiteListener& listener,
                    std::stop_token stop) {
    const auto started = std::chrono::steady_clock::now();
    const std::vector<Entry> entries = EntriesOf(run, fs);
    SiteSummary summary;
    summary.total = static_cast<int>(entries.size());
    const int workers = run.jobs > 0 ? run.jobs : DefaultWorkers();
    RunContext context{run, {}, stop, fs};

    // With the site's common words the run goes over the pages twice; a page's first reading
    // is kept for the second while memory allows.
    const int readings = run.siteCommonPercent ? 2 : 1;
    FirstReadings firstReadings(run.siteCommonPercent ? entries.size() : 0, DefaultReadingBudget());
    const auto progress = [&](int reading, int done) {
        listener.Progress({reading, readings, done, summary.total,
                           NextPath(entries, static_cast<std::size_t>(done))});
    };
    if (run.siteCommonPercent && !stop.stop_requested()) {
        progress(1, 0);
        context.siteCommon = FindSiteCommonWords(
            entries, context, workers, [&](int done) { progress(1, done); }, firstReadings);
        context.readings = &firstReadings;
        listener.ReadingDone(1);
    }

    std::vector<PageOutcome> outcomes(entries.size());
    std::size_t delivered = 0;
    if (!stop.stop_requested()) {
        progress(readings, 0);
        delivered = RunInOrder(
            entries.size(), workers,
            [&](std::size_t i) { outcomes[i] = PageTask(context, entries[i], i).Run(); },
            [&](std::size_t i) {
                PageOutcome& outcome = outcomes[i];
                (outcome.status == PageStatus::kOk       ? summary.done
                 : outcome.status == PageStatus::kFailed ? summary.failed
                                                         : summary.skipped)++;
                const bool changed =
                    outcome.status == PageStatus::kOk && outcome.insert && outcome.insert->changed;
                summary.changed += changed ? 1 : 0;
                listener.Page(outcome);
                outcome = {};
                progress(readings, static_cast<int>(i + 1));
            },
            stop);
    }
    listener.ReadingDone(readings);
    summary.skipped += summary.total - static_cast<int>(delivered);
    summary.elapsed = std::chrono::steady_clock::now() - started;
    return summary;
}

}  // namespace lumora::site
