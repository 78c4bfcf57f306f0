// Many pages in one call: the PAGE arguments walked into pages, each page analysed (and
// for insert, written) on a pool of threads, and what each page came to handed to a
// listener one by one in path order, with the progress of the run and its figures at the
// end. The command-line tool parses the flags into a SiteRunRequest and prints what its
// listener is told; following one page through a run never leaves the core.
#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <vector>

#include "engine/engine.h"
#include "engine/insert.h"
#include "site/page_set.h"
#include "text/chars.h"

namespace lumora::site {

enum class SiteCommand { kGenerate, kList, kShow, kInsert };

struct SiteRunRequest {
    SiteCommand command = SiteCommand::kGenerate;
    std::vector<Text> arguments;  // PAGE arguments: pages and folders
    PageSetOptions walk;          // how folders are walked (skipFolders is the run's own)
    int jobs = 0;                 // pages analysed at once; 0: all cores
    // Words found on more than this percentage of the pages are left out, except in a
    // page's title: every page is then read twice.
    std::optional<double> siteCommonPercent;
    engine::Options options;      // with the data files' outcome applied
    engine::Resources resources;  // loaded once for all pages
    // For insert: backups, the byte limit, the encoding and the dry run.
    engine::InsertOptions insert;
    // For show: also the page's facts (encoding, line ends, tags), from a pass without
    // common words.
    bool showFacts = false;
};

enum class PageStatus { kOk, kFailed, kSkipped };

// What one page came to.
struct PageOutcome {
    Text path;
    Text root;  // the folder argument the page was found in; "" when named directly
    PageStatus status = PageStatus::kOk;
    // kFailed: why, naming the page; unset when insert refused the page (see `insert`).
    std::optional<Error> error;
    // kSkipped: Ctrl-C came before this page was done; nothing of it is reported or written.
    bool stopped = false;
    // kOk: the pass over the page; for show, only with SiteRunRequest::showFacts.
    std::optional<engine::Analysis> analysis;
    Text showReport;  // show: the page's own title, description and keywords tags
    // Insert: what it did or would do; on kFailed, its error is why the page was refused.
    std::optional<engine::InsertResult> insert;
};

// Where the run stands, for a progress line.
struct SiteProgress {
    int reading = 1;   // 1, or 1 and 2 when the site's common words are found first
    int readings = 1;  // 2 with the site's common words
    int done = 0;      // pages finished in this reading
    int total = 0;
    TextView current;  // the next page in path order, "" after the last
};

struct SiteSummary {
    int total = 0;  // pages and arguments that gave none
    int done = 0;
    int failed = 0;
    int skipped = 0;  // stopped before they were done
    // Insert: pages changed (with a dry run: that would change); the other done pages
    // already held the tag.
    int changed = 0;
    std::chrono::steady_clock::duration elapsed{};
};

// What the front is told, always on the thread that called RunSite.
class SiteListener {
  public:
    virtual ~SiteListener() = default;
    // After every finished page of a reading, and once before the first.
    virtual void Progress(const SiteProgress& progress) = 0;
    // A reading is over (or was never begun because the run was stopped).
    virtual void ReadingDone(int reading) = 0;
    // The pages one by one, in path order.
    virtual void Page(const PageOutcome& outcome) = 0;
};

// Runs the command over the pages. Once `stop` is requested no new page starts; pages
// already under way end as skipped or done, and the pages never begun count as skipped.
SiteSummary RunSite(const SiteRunRequest& request, engine::FileSystem& fs, SiteListener& listener,
                    std::stop_token stop = {});

}  // namespace lumora::site
