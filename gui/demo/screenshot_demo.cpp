// The window for the screenshots of the documentation (scripts/screenshots.sh), not
// installed: after start-up it does one thing a user would do, then prints "ready" once
// there is something to see. For a long pass it holds the pass's thread (the window goes
// on painting) while the screenshot is taken.
//   lumora_screenshot_demo STEP [PAGE]      STEP: start, generate, pass, large, help
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "pass_thread.h"
#include "window_app.h"

namespace {

std::atomic<bool> holdPass{false};

// Runs the pass on its thread, pausing it at a progress report while the screenshot of a
// running pass is taken.
class DemoPassRunner : public lumora::app::PassRunner {
  public:
    void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) override {
        runner_.Start(
            [work = std::move(work)](const lumora::engine::ProgressCallback& progress,
                                     std::stop_token stop) {
                return work(
                    [&progress, &stop](const lumora::engine::PassProgress& report) {
                        progress(report);
                        while (holdPass.load() && !stop.stop_requested())
                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    },
                    stop);
            },
            std::move(onProgress), std::move(onDone));
    }
    void RequestStop() override { runner_.RequestStop(); }
    void Abandon() override { runner_.Abandon(); }

  private:
    lumora::gui::ThreadPassRunner runner_;
};

void Ready() {
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
}

void RunDemoStep(const QString& step, const QString& page, lumora::gui::MainWindow& window) {
    auto button = [&window](const char* name) {
        return window.findChild<QAbstractButton*>(QString::fromLatin1(name));
    };
    if ((step == QLatin1String("generate") || step == QLatin1String("pass")) && !page.isEmpty()) {
        auto* input = window.findChild<QLineEdit*>(QStringLiteral("txbInputFile"));
        input->setText(page);
        emit input->textEdited(page);
    }
    if (step == QLatin1String("pass")) {
        auto* watch = new QTimer(&window);
        auto* started = new QElapsedTimer;
        started->start();
        QObject::connect(watch, &QTimer::timeout, &window, [&window, watch, started] {
            if (!window.PassRunning() || started->elapsed() < 300)
                return;
            watch->stop();
            delete started;
            holdPass = true;
            // Time for the last words to reach the box; released after ten seconds.
            QTimer::singleShot(400, &window, Ready);
            QTimer::singleShot(10000, &window, [] { holdPass = false; });
        });
        watch->start(20);
        button("cmdGenerateKeywordMetaTag")->click();
        return;
    }
    if (step == QLatin1String("generate")) {
        button("cmdGenerateKeywordMetaTag")->click();
    } else if (step == QLatin1String("large")) {
        button("chkLargeWindow")->click();
    } else if (step == QLatin1String("help")) {
        button("cmdHelp")->click();
    }
    QTimer::singleShot(700, &window, Ready);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    const QStringList args = QCoreApplication::arguments();
    const QString step = args.size() > 1 ? args[1] : QString();
    const QString page = args.size() > 2 ? args[2] : QString();
    // The runners outlive the session, which may still stop a pass when it ends.
    DemoPassRunner demoRunner;
    lumora::gui::ThreadPassRunner threadRunner;
    lumora::app::PassRunner& runner = step == QLatin1String("pass")
                                          ? static_cast<lumora::app::PassRunner&>(demoRunner)
                                          : threadRunner;
    return lumora::gui::RunWindow(runner, [step, page](lumora::gui::MainWindow& window) {
        QTimer::singleShot(300, &window,
                           [&window, step, page] { RunDemoStep(step, page, window); });
    });
}
