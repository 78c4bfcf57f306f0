// lumora: the desktop window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pass_thread.h"
#include "text_convert.h"
#include "window_app.h"

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
    // The runner outlives the session, which may still stop a pass when it ends.
    lumora::gui::ThreadPassRunner runner;
    // `lumora PAGE` opens the window with that page chosen (Qt has taken its own options).
    const QStringList arguments = QCoreApplication::arguments();
    const lumora::Text page =
        arguments.size() > 1 ? lumora::gui::PathFromQString(arguments[1]) : lumora::Text();
    return lumora::gui::RunWindow(runner, {}, page);
}
