#include "help_window.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "help/help_text.h"
#include "look.h"
#include "text_convert.h"

namespace lumora::gui {

HelpWindow::HelpWindow(const Text& helpText, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QString::fromLatin1(help::kHelpCaption));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, HelpBackground());
    setPalette(grey);
    setAutoFillBackground(true);
    setFont(SansFont());

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("txbHelpScreen"));
    text_->setReadOnly(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette white = text_->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    text_->setPalette(white);
    text_->setPlainText(ToDisplay(helpText));

    close_ = new QPushButton(QString::fromLatin1(help::kCloseCaption), this);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QWidget::hide);

    resize(Px(help::kDesignClientWidth), Px(help::kDesignClientHeight));
    ApplyLayout();
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMinimized())
        ApplyLayout();
}

void HelpWindow::ApplyLayout() {
    // The rule is stated for the outer size of the window; the designed border and caption
    // bar are added to the client area so that the layout is the same under any window
    // manager.
    const auto layout = help::HelpLayout(width() * kTwipsPerPixel + help::kFrameWidth,
                                         height() * kTwipsPerPixel + help::kFrameHeight);
    text_->setGeometry(Px(help::kTextLeft), Px(help::kTextTop), Px(layout.textWidth),
                       Px(layout.textHeight));
    close_->setGeometry(Px(layout.closeLeft), Px(layout.closeTop), Px(help::kCloseWidth),
                        Px(help::kCloseHeight));
}

}  // namespace lumora::gui
