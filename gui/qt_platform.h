// The desktop services of the session, done with Qt: message boxes, the open-file dialog,
// the clipboard, the browser, focus and painting.
#pragma once

#include <QPointer>
#include <functional>
#include <optional>

#include "app/platform.h"
#include "app/session.h"

namespace lumora::gui {

class HelpWindow;
class MainWindow;

class QtPlatform : public app::Platform {
  public:
    QtPlatform();
    ~QtPlatform() override;

    void SetSession(app::Session* session) { session_ = session; }
    void SetWindow(MainWindow* window) { window_ = window; }

    // Stand-ins for the modal dialogs, for scripted runs: when set, they answer instead of
    // a dialog being shown.
    using MessageResponder =
        std::function<app::Answer(const Text& prompt, const Text& title, app::Icon, app::Buttons)>;
    void SetMessageResponder(MessageResponder responder) { responder_ = std::move(responder); }

    // The help window once it has been shown, else null.
    HelpWindow* Help() const;
    // The program is ending: no more input is handled.
    bool Ending() const { return ending_; }

    app::Answer ShowMessage(const Text& prompt, const Text& title, app::Icon icon,
                            app::Buttons buttons) override;
    std::optional<Text> ChooseFileToOpen(const app::OpenFileRequest& request) override;
    void SetClipboardText(const Text& text) override;
    bool OpenWebAddress(const Text& address) override;
    files::FileSystem& Files() override { return files::RealFileSystem(); }
    void SetFocus(app::Control control) override;
    void Repaint(app::Control control) override;
    void ShowHelpWindow() override;
    void EndProgram() override;

  private:
    app::Session* session_ = nullptr;
    MainWindow* window_ = nullptr;
    QPointer<HelpWindow> help_;
    MessageResponder responder_;
    bool ending_ = false;
};

}  // namespace lumora::gui
