// lumora: the desktop window.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/data_dir.h"
#include "app/session.h"
#include "main_window.h"
#include "pass_thread.h"
#include "qt_platform.h"
#include "text_convert.h"

namespace {

constexpr const char* kNoDisplay =
    "Lumora needs a graphical display. Use lumora-cli for the command line (see lumora-cli "
    "--help).\n";

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Messages Qt gives while it connects to the display are held back: if it cannot connect,
// the user gets one plain sentence instead of the toolkit's diagnostics.
std::vector<std::pair<QtMsgType, QString>>* heldMessages = nullptr;

void WhileConnecting(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (heldMessages != nullptr)
        heldMessages->emplace_back(type, message);
}

// A hidden switch for the screenshots of the documentation: after start-up the window does
// one thing a user would do, then prints "ready" once there is something to see. For a
// long pass it holds the pass's thread (the window goes on painting) while the screenshot
// is taken.
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
    if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    std::vector<std::pair<QtMsgType, QString>> held;
    heldMessages = &held;
    const QtMessageHandler previous = qInstallMessageHandler(WhileConnecting);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    heldMessages = nullptr;
    for (const auto& [type, message] : held) {
        qt_message_output(type, QMessageLogContext(), message);
    }
    QApplication::setApplicationName(QStringLiteral("Lumora"));

    QString demoStep;
    QString demoPage;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--screenshot-demo") && i + 1 < args.size()) {
            demoStep = args[++i];
            if (i + 1 < args.size())
                demoPage = args[++i];
        }
    }

    using namespace lumora;
    gui::QtPlatform platform;
    // The runner outlives the session, which may still stop a pass when it ends.
    DemoPassRunner demoRunner;
    gui::ThreadPassRunner threadRunner;
    app::PassRunner* runner = &threadRunner;
    if (demoStep == QLatin1String("pass"))
        runner = &demoRunner;
    app::Session session(platform, app::FindDataDir(app::ExecutableFolder()), runner);
    platform.SetSession(&session);
    if (!session.LoadProgramTexts())
        return 1;
    session.InitialiseSession();
    session.UseDefaultStateFile();
    if (!session.LoadState())
        session.RestoreDefaults(false);

    gui::MainWindow window(session, platform);
    window.show();
    session.SetWindowVisible(true);
    window.ReportMetrics();
    session.CompleteStartup();

    if (!demoStep.isEmpty()) {
        QTimer::singleShot(300, &window, [&window, demoStep, demoPage] {
            RunDemoStep(demoStep, demoPage, window);
        });
    }
    return QApplication::exec();
}
