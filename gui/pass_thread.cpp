#include "pass_thread.h"

#include <utility>

namespace lumora::gui {

ThreadPassRunner::ThreadPassRunner() {
    qRegisterMetaType<engine::PassProgress>();
    qRegisterMetaType<engine::AnalysisResult>();
    connect(this, &ThreadPassRunner::Progressed, this, &ThreadPassRunner::OnProgressed,
            Qt::QueuedConnection);
    connect(this, &ThreadPassRunner::Finished, this, &ThreadPassRunner::OnFinished,
            Qt::QueuedConnection);
}

ThreadPassRunner::~ThreadPassRunner() {
    Abandon();
}

void ThreadPassRunner::Start(Work work, ProgressHandler onProgress, DoneHandler onDone) {
    Abandon();  // never two passes at once
    stop_ = std::stop_source();
    onProgress_ = std::move(onProgress);
    onDone_ = std::move(onDone);
    const quint64 pass = ++pass_;
    thread_ = QThread::create([this, pass, work = std::move(work), stop = stop_.get_token()] {
        const engine::ProgressCallback progress = [this, pass](const engine::PassProgress& p) {
            emit Progressed(pass, p);
        };
        emit Finished(pass, work(progress, stop));
    });
    thread_->setObjectName(QStringLiteral("pass"));
    thread_->start();
}

void ThreadPassRunner::RequestStop() {
    stop_.request_stop();
}

void ThreadPassRunner::Abandon() {
    if (thread_ == nullptr)
        return;
    stop_.request_stop();
    ++pass_;  // reports still queued belong to no pass now
    onProgress_ = nullptr;
    onDone_ = nullptr;
    JoinThread();
}

void ThreadPassRunner::JoinThread() {
    if (thread_ == nullptr)
        return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
}

void ThreadPassRunner::OnProgressed(quint64 pass, const engine::PassProgress& progress) {
    if (pass == pass_ && onProgress_)
        onProgress_(progress);
}

void ThreadPassRunner::OnFinished(quint64 pass, engine::AnalysisResult result) {
    if (pass != pass_)
        return;
    // The pass sends this as its last act, so the thread ends at once.
    JoinThread();
    DoneHandler done = std::move(onDone_);
    onProgress_ = nullptr;
    onDone_ = nullptr;
    if (done)
        done(std::move(result));
}

}  // namespace lumora::gui
