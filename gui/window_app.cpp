#include "window_app.h"

#include <QApplication>

#include "app/session.h"
#include "engine/engine.h"
#include "qt_platform.h"

namespace lumora::gui {

int RunWindow(app::PassRunner& runner, const std::function<void(MainWindow&)>& started,
              const Text& page) {
    QtPlatform platform;
    app::Session session(platform,
                         engine::FindDataDir(engine::ExecutableFolder(engine::RealFileSystem()),
                                             engine::RealFileSystem()),
                         &runner);
    platform.SetSession(&session);
    if (!session.LoadProgramTexts())
        return 1;
    session.InitialiseSession();
    session.UseDefaultStateFile();
    if (!session.LoadState())
        session.RestoreDefaults(false);

    MainWindow window(session, platform);
    window.show();
    session.SetWindowVisible(true);
    window.ReportMetrics();
    session.CompleteStartup();
    if (!page.empty())
        session.SetInputFileText(page);
    if (started)
        started(window);
    return QApplication::exec();
}

}  // namespace lumora::gui
