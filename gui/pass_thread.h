// Runs the session's reading pass on a thread of its own, so that the window keeps
// painting and answering while a page is read. What the pass reports reaches the
// session through queued signals, on the window's thread; Stop reaches the pass through
// its stop token.
#pragma once

#include <QObject>
#include <QThread>

#include "app/pass_runner.h"

Q_DECLARE_METATYPE(lumora::engine::PassProgress)
Q_DECLARE_METATYPE(lumora::engine::AnalysisResult)

namespace lumora::gui {

class ThreadPassRunner : public QObject, public app::PassRunner {
    Q_OBJECT

  public:
    ThreadPassRunner();
    // Abandons a pass still running: the thread is stopped and waited for.
    ~ThreadPassRunner() override;

    void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) override;
    void RequestStop() override;
    void Abandon() override;

  signals:
    // Sent from the pass's thread; `pass` tells a report of an abandoned pass from one of
    // the pass that runs now.
    void Progressed(quint64 pass, lumora::engine::PassProgress progress);
    void Finished(quint64 pass, lumora::engine::AnalysisResult result);

  private:
    void OnProgressed(quint64 pass, const engine::PassProgress& progress);
    void OnFinished(quint64 pass, engine::AnalysisResult result);
    void JoinThread();

    QThread* thread_ = nullptr;
    std::stop_source stop_;
    quint64 pass_ = 0;  // changed on the window's thread only
    ProgressHandler onProgress_;
    DoneHandler onDone_;
};

}  // namespace lumora::gui
