// The main window: the widgets of every control, placed as designed, bound to the session.
// Every user action goes to the session; every change the session reports comes back
// into the widgets. The window decides nothing itself.
#pragma once

#include <QWidget>
#include <array>

#include "app/session.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lumora::gui {

class QtPlatform;

class MainWindow : public QWidget, public app::SessionListener {
    Q_OBJECT

  public:
    // Outer height of the window as designed, in twips: the client area and an allowance
    // for the caption bar and borders, so that the layout rule gives the designed output
    // box whatever the window manager draws around it.
    static constexpr int kDesignClientWidth = 9645;
    static constexpr int kDesignClientHeight = 8100;
    static constexpr int kDecorationHeight = 355;

    MainWindow(app::Session& session, QtPlatform& platform);
    ~MainWindow() override;

    // The widget of a control (the window itself for Control::kWindow).
    QWidget* Widget(app::Control control) const;

    // Tells the session the designed height, the window's top and the screen's height.
    void ReportMetrics();

    // A pass is running: the List words button reads "Stop".
    bool PassRunning() const;

    void ControlChanged(app::Control control) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateWidgets();
    void Bind();
    void SyncControl(app::Control control);
    void SyncAll();
    void SyncOutput();
    void SyncNumberOfWords();
    void ApplyLayout();
    void OnOutputEdited();

    app::Session& session_;
    QtPlatform& platform_;
    std::array<QWidget*, static_cast<int>(app::Control::kWindow) + 1> widgets_{};
    QFrame* frame_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
    QLabel* numberOfWords_ = nullptr;
    QLabel* copyrightNotice_ = nullptr;
    QLabel* makerLink_ = nullptr;
    QLabel* manualLink_ = nullptr;

    // The box shows the session's output text from byte shownStart_ on: all of it, except
    // while a pass runs.
    static constexpr std::size_t kPassDisplayLimit = 64 * 1024;
    static constexpr std::size_t kPassDisplayKeep = 16 * 1024;
    Text shownOutput_;
    std::size_t shownStart_ = 0;
    bool passShown_ = false;  // the window shows the state of a running pass
    app::WindowLayout appliedLayout_{};
    bool layoutApplied_ = false;
    int syncDepth_ = 0;
};

}  // namespace lumora::gui
