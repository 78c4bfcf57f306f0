// A pass runner that a test drives by hand: Start only keeps the pass, and the test then
// looks at the window's state during the pass, sends progress reports, and ends it with
// the engine's real work or with a result of its own.
#pragma once

#include <optional>
#include <stop_token>
#include <utility>

#include "app/pass_runner.h"

namespace lumora::testing {

class ScriptedPassRunner : public app::PassRunner {
  public:
    int started = 0;
    int abandoned = 0;

    void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) override {
        ++started;
        work_ = std::move(work);
        onProgress_ = std::move(onProgress);
        onDone_ = std::move(onDone);
        stop_ = std::stop_source();
        running_ = true;
    }
    void RequestStop() override { stop_.request_stop(); }
    void Abandon() override {
        if (!running_)
            return;
        ++abandoned;
        stop_.request_stop();
        running_ = false;
    }

    bool Running() const { return running_; }
    bool StopRequested() const { return stop_.stop_requested(); }

    void Report(const engine::PassProgress& progress) {
        if (running_)
            onProgress_(progress);
    }
    // Runs the pass's own work now, with the stop token as the user left it.
    void RunWork() {
        engine::AnalysisResult result =
            work_([this](const auto& p) { Report(p); }, stop_.get_token());
        Finish(std::move(result));
    }
    void Finish(engine::AnalysisResult result) {
        if (!running_)
            return;
        running_ = false;
        onDone_(std::move(result));
    }

  private:
    Work work_;
    ProgressHandler onProgress_;
    DoneHandler onDone_;
    std::stop_source stop_;
    bool running_ = false;
};

}  // namespace lumora::testing
