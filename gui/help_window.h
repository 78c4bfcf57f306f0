// The help window: the help text in a read-only box and a Close button that only hides the
// window, so that it keeps its size, place and scroll position for the next showing.
#pragma once

#include <QWidget>

#include "engine/engine.h"

class QPlainTextEdit;
class QPushButton;

namespace lumora::gui {

class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HelpWindow(const Text& helpText, QWidget* parent = nullptr);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ApplyLayout();

    QPlainTextEdit* text_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace lumora::gui
