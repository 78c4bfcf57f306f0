#include "qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "help/help_text.h"
#include "help_window.h"
#include "main_window.h"
#include "text_convert.h"

namespace lumora::gui {

QtPlatform::QtPlatform() = default;

QtPlatform::~QtPlatform() {
    delete help_.data();
}

HelpWindow* QtPlatform::Help() const {
    return help_.data();
}

app::Answer QtPlatform::ShowMessage(const Text& prompt, const Text& title, app::Icon icon,
                                    app::Buttons buttons) {
    if (responder_)
        return responder_(prompt, title, icon, buttons);

    QMessageBox box(window_ != nullptr && window_->isVisible() ? window_ : nullptr);
    box.setWindowTitle(title.empty() ? QApplication::applicationName() : ToQString(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(ToDisplay(prompt));
    switch (icon) {
        case app::Icon::kNone:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case app::Icon::kExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case app::Icon::kCritical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    switch (buttons) {
        case app::Buttons::kOk:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case app::Buttons::kYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case app::Buttons::kYesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            break;
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    switch (clicked) {
        case QMessageBox::Yes:
            return app::Answer::kYes;
        case QMessageBox::No:
            return app::Answer::kNo;
        case QMessageBox::Cancel:
            return app::Answer::kCancel;
        case QMessageBox::Ok:
            return app::Answer::kOk;
        default:
            break;
    }
    // Closed without a button: the safe answer of each kind of box.
    switch (buttons) {
        case app::Buttons::kOk:
            return app::Answer::kOk;
        case app::Buttons::kYesNo:
            return app::Answer::kNo;
        case app::Buttons::kYesNoCancel:
            return app::Answer::kCancel;
    }
    return app::Answer::kCancel;
}

std::optional<Text> QtPlatform::ChooseFileToOpen(const app::OpenFileRequest& request) {
    QString patterns = ToQString(request.patterns);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString filter = ToQString(request.filterDescription) + QStringLiteral(" (") + patterns +
                           QStringLiteral(")");
    QFileDialog dialog(window_, ToQString(request.title), PathToQString(request.initialFolder),
                       filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return Text();
    return PathFromQString(dialog.selectedFiles().constFirst());
}

void QtPlatform::SetClipboardText(const Text& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!text.empty())
        clipboard->setText(ToQString(text));
}

bool QtPlatform::OpenWebAddress(const Text& address) {
    if (address.empty())
        return false;
    const QUrl url(ToQString(address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}

void QtPlatform::SetFocus(app::Control control) {
    if (window_ == nullptr)
        return;
    QWidget* w = window_->Widget(control);
    if (w == nullptr)
        return;
    w->setFocus(Qt::OtherFocusReason);
    // A refused limit is given back with the caret after its last character.
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->end(false);
}

void QtPlatform::Repaint(app::Control control) {
    if (window_ == nullptr)
        return;
    QWidget* w = window_->Widget(control);
    if (w == nullptr || !w->isVisible())
        return;
    // During a pass the event loop runs and paints soon enough; outside one the slow
    // steps that follow (loading the word lists) would hold the painting back.
    if (window_->PassRunning()) {
        w->update();
    } else {
        w->repaint();
    }
}

void QtPlatform::ShowHelpWindow() {
    if (help_ == nullptr) {
        const Text address = session_ != nullptr ? session_->ManualAddress() : Text();
        help_ = new HelpWindow(help::BuildHelpText(address));
    }
    if (help_->isMinimized()) {
        help_->showNormal();
    } else {
        help_->show();
    }
    help_->raise();
    help_->activateWindow();
}

void QtPlatform::EndProgram() {
    if (ending_)
        return;
    ending_ = true;
    if (help_ != nullptr)
        help_->hide();
    if (window_ != nullptr)
        window_->hide();
    QCoreApplication::exit(0);
}

}  // namespace lumora::gui
