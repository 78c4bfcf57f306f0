// Times a whole Generate pass in the window (on Qt's offscreen platform) against the same
// pass through lumora-cli on the same generated page, and prints the ratio. The window
// shows every new word while it reads; this shows what that costs.
//   lumora_gui_bench [MEGABYTES [DISTINCT_WORDS]]      (default 4 and 5000)
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "app/session.h"
#include "main_window.h"
#include "page_generator.h"
#include "qt_platform.h"

namespace {

constexpr int kRuns = 5;

double BestOf(int runs, const std::function<void()>& run) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;

    QTemporaryDir dir;
    const std::string page = dir.filePath(QStringLiteral("page.htm")).toStdString();
    lumora::bench::PageShape shape;
    shape.bytes = static_cast<std::size_t>(megabytes) << 20;
    if (argc > 2)
        shape.vocabulary = static_cast<std::size_t>(std::max(1, std::atoi(argv[2])));
    std::ofstream(page, std::ios::binary) << lumora::bench::MakePage(shape);

    lumora::gui::QtPlatform platform;
    platform.SetMessageResponder([](const lumora::Text& prompt, const lumora::Text&,
                                    lumora::app::Icon, lumora::app::Buttons) {
        std::fprintf(stderr, "message: %s\n", prompt.c_str());
        return lumora::app::Answer::kYes;
    });
    lumora::app::Session session(platform, LUMORA_BIN_DIR);
    platform.SetSession(&session);
    session.SetStateFilePath(dir.filePath(QStringLiteral("lmr.usr")).toStdString());
    if (!session.LoadProgramTexts())
        return 1;
    session.InitialiseSession();
    lumora::gui::MainWindow window(session, platform);
    window.show();
    session.SetWindowVisible(true);
    window.ReportMetrics();
    session.CompleteStartup();
    session.SetInputFileText(page);

    auto* generate =
        window.findChild<QAbstractButton*>(QStringLiteral("cmdGenerateKeywordMetaTag"));
    const double windowMs = BestOf(kRuns, [&] {
        session.ClickClearOutput();  // the next Generate reads the page again
        generate->click();
    });
    if (session.OutputText().find("<META NAME=\"keywords\"") != 0) {
        std::fprintf(stderr, "the window's pass did not produce a tag\n");
        return 1;
    }

    const std::string command =
        std::string("'") + LUMORA_BIN_DIR + "/lumora-cli' generate '" + page + "' >/dev/null";
    bool cliFailed = false;
    const double cliMs = BestOf(kRuns, [&] { cliFailed |= std::system(command.c_str()) != 0; });
    if (cliFailed) {
        std::fprintf(stderr, "lumora-cli failed on the page\n");
        return 1;
    }

    std::printf("page: %d MB, %zu distinct words, best of %d runs\n", megabytes, shape.vocabulary,
                kRuns);
    std::printf("window pass:     %8.1f ms\n", windowMs);
    std::printf("lumora-cli run:  %8.1f ms\n", cliMs);
    std::printf("ratio window/cli: %.2f (target <= 1.5)\n", windowMs / cliMs);
    return 0;
}
