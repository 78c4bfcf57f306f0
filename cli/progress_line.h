// The progress lines the tool keeps on a terminal's standard error, redrawn in place and
// wiped before anything else is printed: the share of one large page read, and the pages
// done of a run over many.
#pragma once

#include <chrono>
#include <ostream>

#include "engine/engine.h"

namespace lumora::cli {

// "Reading page: 42%" while one page of a megabyte or more is read.
class PageProgressLine {
  public:
    PageProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~PageProgressLine() { Clear(); }
    PageProgressLine(const PageProgressLine&) = delete;
    PageProgressLine& operator=(const PageProgressLine&) = delete;

    void Show(const engine::PassProgress& progress);
    void Clear();

  private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    int lastPercent_ = -1;
};

// The pages done of a run over many, redrawn a few times a second.
class SiteProgressLine {
  public:
    using Clock = std::chrono::steady_clock;

    // A disabled line prints nothing (output is not a terminal, or --quiet). `label` goes
    // before the figures ("Reading 1 of 2: ").
    SiteProgressLine(std::ostream& err, bool enabled, int total, TextView label = {});

    // `done` pages of the total are finished; `current` is being worked on. Drawn only when
    // the last drawing is old enough, unless `force`.
    void Update(int done, TextView current, bool force = false);
    // Wipes the line so that the next output starts on a clean line.
    void Clear();

    // "12/200 pages, now site/a.htm, 0:03 elapsed, about 0:45 left"
    static Text Format(int done, int total, TextView current, Clock::duration elapsed);

  private:
    std::ostream& err_;
    bool enabled_;
    int total_;
    Text label_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDrawn_{};
    bool shown_ = false;  // on the terminal now
    bool drawn_ = false;  // drawn at least once
};

}  // namespace lumora::cli
