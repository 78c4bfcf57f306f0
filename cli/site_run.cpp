#include "site_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <stop_token>
#include <thread>

#include "console_text.h"
#include "decimal_option.h"
#include "json_report.h"
#include "progress_line.h"

namespace lumora::cli {

namespace {

constexpr int kMostWorkers = 256;

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

Text Joined(const std::vector<Text>& words) {
    Text text;
    for (const Text& w : words) text += (text.empty() ? "" : ", ") + w;
    return text;
}

// A page's block for people: "==> PAGE <==", then what it came to.
Text TextBlock(const SiteRun& run, const site::PageOutcome& page) {
    Text body;
    if (page.stopped) {
        body = "Stopped by Ctrl-C before this page was done.";
    } else if (page.error) {
        body = page.error->Title() + ": " + ConsoleMessage(*page.error);
    } else if (page.status == site::PageStatus::kFailed && page.insert) {
        body = InsertText(*page.insert, page.path);
    } else if (run.command == SiteCommand::kShow) {
        body = ToConsoleText(page.showReport);
    } else {
        const engine::Analysis& a = *page.analysis;
        if (run.verbose) {
            body += Told("Encoding", a.page.encoding) + "\n";
            body += Told("Line ends", LineEndsText(a.page.lineEnds)) + "\n";
        }
        switch (run.command) {
            case SiteCommand::kGenerate:
                body += ToConsoleText(a.tag.boxText);
                break;
            case SiteCommand::kList:
                body += ToConsoleText(engine::WordList(a.ranked, run.options.count));
                if (!a.siteCommonLeftOut.empty())
                    body += "\nLeft out as common to the site: " +
                            ToConsoleText(Joined(a.siteCommonLeftOut));
                break;
            case SiteCommand::kInsert:
                body += InsertText(*page.insert, page.path);
                break;
            case SiteCommand::kShow:
                break;
        }
    }
    Text block = Header(page.path) + body;
    if (!body.empty())
        block += '\n';
    return block;
}

// A page's line for insert --check: only the pages that would change (and with --verbose
// the others too), and the pages that failed, as insert tells them.
Text CheckBlock(const SiteRun& run, const site::PageOutcome& page) {
    Text line;
    if (page.stopped) {
        line = ConsoleName(page.path) + ": Stopped by Ctrl-C before this page was done.";
    } else if (page.error) {
        line = page.error->Title() + ": " + ConsoleMessage(*page.error);
    } else if (page.insert && !page.insert->ok()) {
        line = InsertText(*page.insert, page.path);
    } else if (page.insert) {
        const CheckState state = CheckStateOf(page.insert->changed, page.analysis->existing);
        if (state != CheckState::kUpToDate || run.verbose)
            line = CheckLine(page.path, state);
    }
    return line.empty() ? line : line + "\n";
}

// The check's finding as the JSON gives it.
const char* CheckName(CheckState state) {
    switch (state) {
        case CheckState::kUpToDate:
            return "up-to-date";
        case CheckState::kStale:
            return "stale";
        case CheckState::kMissing:
            return "missing";
    }
    return "stale";
}

// A page's JSON line, with its line end.
Text JsonBlock(const SiteRun& run, const site::PageOutcome& page) {
    PageReport report;
    report.path = page.path;
    report.status = page.status;
    if (page.stopped) {
        report.error = "Stopped by Ctrl-C before this page was done.";
    } else if (page.error) {
        report.error = ErrorField(*page.error);
    } else if (page.status == site::PageStatus::kFailed && page.insert) {
        report.error = InsertText(*page.insert, page.path, true);
    } else if (page.analysis) {
        report.analysis = &*page.analysis;
        report.rules = engine::WordRulesCode(run.options.count.rules);
        report.withWords = run.command == SiteCommand::kList;
        report.siteCommon = page.analysis->siteCommonLeftOut;
        report.withTag = run.command != SiteCommand::kShow;
        if (page.insert) {
            const engine::InsertResult& inserted = *page.insert;
            report.insert = true;
            report.inserted = inserted.changed && !inserted.diff && !run.flags.check;
            report.unchanged = !inserted.changed;
            report.keptBackup = inserted.keptBackup;
            if (inserted.diff)
                report.diff = InsertText(inserted, page.path);
            if (run.flags.check)
                report.check = CheckName(CheckStateOf(inserted.changed, page.analysis->existing));
        }
    }
    return JsonLine(report) + "\n";
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

// Prints what the run tells: the progress line of the reading under way, each page's
// block or JSON line as it comes, blocks for people parted by a blank line.
class Printer : public site::SiteListener {
  public:
    Printer(const SiteRun& run, std::ostream& out, std::ostream& err, bool showProgress)
        : run_(run), out_(out), err_(err), showProgress_(showProgress) {}

    void Progress(const site::SiteProgress& p) override {
        if (!line_ || reading_ != p.reading) {
            // With the site's common words every page is read twice; the line says which.
            const TextView label = p.readings == 1  ? ""
                                   : p.reading == 1 ? "Reading 1 of 2: "
                                                    : "Reading 2 of 2: ";
            line_.emplace(err_, showProgress_, p.total, label);
            reading_ = p.reading;
        }
        line_->Update(p.done, p.current);
    }

    void ReadingDone(int reading) override {
        if (line_ && reading_ == reading)
            line_->Clear();
    }

    void Page(const site::PageOutcome& page) override {
        const bool check = run_.flags.check && !run_.flags.json;
        const Text text = run_.flags.json ? JsonBlock(run_, page)
                          : check         ? CheckBlock(run_, page)
                                          : TextBlock(run_, page);
        if (line_)
            line_->Clear();
        // The lines of a check are not blocks: nothing parts them.
        if (!run_.flags.json && !check && printed_)
            out_ << '\n';
        out_ << text << std::flush;
        printed_ = true;
    }

  private:
    const SiteRun& run_;
    std::ostream& out_;
    std::ostream& err_;
    bool showProgress_;
    std::optional<SiteProgressLine> line_;
    int reading_ = 0;
    bool printed_ = false;
};

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
        CLI::Option* dryRun =
            command.add_flag("--dry-run", flags.dryRun,
                             "Change nothing; print the unified diff of what insert would change");
        command
            .add_flag("--check", flags.check,
                      "Change nothing; name the pages whose keywords tag is missing or would "
                      "change (exit status 1 when there is one)")
            ->excludes(dryRun);
    }
}

bool IsSiteRun(const std::vector<Text>& pages, const SiteFlags& flags, engine::FileSystem& fs) {
    if (pages.size() != 1 || flags.json || flags.siteCommon || flags.check)
        return true;
    return site::WalkedAsFolder(pages.front(), fs);
}

CheckState CheckStateOf(bool changed, const engine::ExistingTags& existing) {
    if (!changed)
        return CheckState::kUpToDate;
    return existing.keywords.empty() ? CheckState::kMissing : CheckState::kStale;
}

Text CheckLine(const Text& path, CheckState state) {
    const char* what = state == CheckState::kUpToDate ? "is up to date"
                       : state == CheckState::kStale  ? "would change"
                                                      : "is missing";
    return ConsoleName(path) + ": the keywords tag " + what;
}

int RunSite(const SiteRun& run, std::ostream& out, std::ostream& err,
            const CliEnvironment& environment) {
    site::SiteRunRequest request;
    request.command = run.command;
    request.arguments = run.arguments;
    request.walk.recursive = run.flags.recursive;
    request.walk.followSymlinks = run.flags.followSymlinks;
    request.walk.include = run.flags.include;
    request.walk.exclude = run.flags.exclude;
    request.jobs = run.flags.jobs ? std::stoi(*run.flags.jobs) : 0;
    if (run.flags.siteCommon)
        request.siteCommonPercent = std::stod(*run.flags.siteCommon);
    request.options = run.options;
    request.resources = run.resources;
    request.insert = run.insert;
    // A check is a dry run that only tells whether each page would change; backups play no
    // part in it.
    request.insert.dryRun = run.flags.dryRun || run.flags.check;
    request.insert.checkOnly = run.flags.check;
    if (run.flags.check)
        request.insert.backup = engine::BackupPlace::kNone;
    request.showFacts = run.flags.json;

    std::stop_source stop;
    InterruptWatch watch(environment.interrupted, stop);
    Printer printer(run, out, err, environment.progressOnTerminal && !run.flags.quiet);
    const site::SiteSummary s =
        site::RunSite(request, FileSystemOf(environment), printer, stop.get_token());

    const bool interrupted = watch.Interrupted();
    if (!run.flags.quiet) {
        err << s.total << (s.total == 1 ? " page: " : " pages: ") << s.done << " done";
        // Insert tells how many pages it changed, so that a second run shows it left all alone.
        if (run.command == SiteCommand::kInsert) {
            err << " (" << s.changed << (request.insert.dryRun ? " to change, " : " changed, ")
                << s.done - s.changed << " unchanged)";
        }
        err << ", " << s.failed << " failed, " << s.skipped << " skipped, " << Seconds(s.elapsed)
            << (interrupted ? " (stopped by Ctrl-C)" : "") << '\n';
    }
    if (interrupted)
        return 130;
    return s.failed > 0 || (run.flags.check && s.changed > 0) ? 1 : 0;
}

}  // namespace lumora::cli
