// Runs one reading pass for the session, and brings what the pass reports back to the
// session's own thread.
//
// The promise of every runner: the progress and done handlers run on the thread that
// called Start, never at the same time as each other or as any other call into the
// session; progress reports come before the done report; the done handler runs exactly
// once for each Start, unless the pass is abandoned, after which no handler of that pass
// runs at all. Start is called only while no pass runs.
#pragma once

#include <functional>
#include <stop_token>

#include "engine/engine.h"

namespace lumora::app {

class PassRunner {
  public:
    using Work = std::function<engine::AnalysisResult(const engine::ProgressCallback& progress,
                                                      std::stop_token stop)>;
    using ProgressHandler = std::function<void(const engine::PassProgress&)>;
    using DoneHandler = std::function<void(engine::AnalysisResult)>;

    virtual ~PassRunner() = default;

    virtual void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) = 0;
    // Asks the running pass to stop; it then reports as stopped. Nothing when none runs.
    virtual void RequestStop() = 0;
    // Stops the running pass and waits for it to end; none of its handlers runs any more.
    virtual void Abandon() = 0;
};

// Runs the pass inside Start, on the caller's thread. Between progress reports (a few a
// second) it calls `betweenReports`, through which a front without an event loop of its
// own can look at its input and ask for a stop.
class InlinePassRunner : public PassRunner {
  public:
    explicit InlinePassRunner(std::function<void()> betweenReports = {})
        : betweenReports_(std::move(betweenReports)) {}

    void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) override {
        stop_ = std::stop_source();
        abandoned_ = false;
        engine::AnalysisResult result = work(
            [&](const engine::PassProgress& progress) {
                if (abandoned_)
                    return;
                if (onProgress)
                    onProgress(progress);
                if (betweenReports_)
                    betweenReports_();
            },
            stop_.get_token());
        if (!abandoned_ && onDone)
            onDone(std::move(result));
    }
    void RequestStop() override { stop_.request_stop(); }
    void Abandon() override {
        abandoned_ = true;
        stop_.request_stop();
    }

  private:
    std::function<void()> betweenReports_;
    std::stop_source stop_;
    bool abandoned_ = false;
};

}  // namespace lumora::app
