// The one progress line a long run of many pages keeps on a terminal's standard error,
// redrawn in place a few times a second and wiped before anything else is printed.
#pragma once

#include <chrono>
#include <ostream>

#include "engine/engine.h"

namespace lumora::cli {

class ProgressLine {
  public:
    using Clock = std::chrono::steady_clock;

    // A disabled line prints nothing (output is not a terminal, or --quiet). `label` goes
    // before the figures ("Reading 1 of 2: ").
    ProgressLine(std::ostream& err, bool enabled, int total, TextView label = {});

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
