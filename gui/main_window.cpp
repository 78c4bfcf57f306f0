#include "main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <optional>

#include "look.h"
#include "qt_platform.h"
#include "text_convert.h"

namespace lumora::gui {

using app::Control;

namespace {

enum class WidgetKind { kButton, kText, kList, kCheck, kLabel, kLink, kOutput };

// One widget of the window: its object name (the name tests and screenshots find it by),
// what it is, its caption and its place as designed.
struct WidgetPlacement {
    const char* objectName;
    WidgetKind kind;
    const char* caption;
    int left, top, width, height;    // twips; in the bottom row relative to the row
    std::optional<Control> control;  // none for plain labels and the links
    bool inBottomRow = false;
};

// The bottom row ("Frame1") moves with the output box.
constexpr int kBottomRowLeft = 210;
constexpr int kBottomRowWidth = 9255;

using Kind = WidgetKind;
const WidgetPlacement kWindowWidgets[] = {
    {"cmdInputFile", Kind::kButton, "Input file", 210, 105, 1380, 360, Control::kInputFileButton},
    {"txbInputFile", Kind::kText, "", 1650, 105, 7005, 330, Control::kInputFile},
    {"cmdClearInputFile", Kind::kButton, "Clear", 8715, 105, 720, 300, Control::kClearInputFile},
    // What the page is, under its name.
    {"lblPageEncoding", Kind::kLabel, "Page encoding:", 210, 585, 1440, 330, std::nullopt},
    {"cboEncoding", Kind::kList, "", 1650, 525, 1800, 315, Control::kEncoding},
    {"lblWordRules", Kind::kLabel, "Word rules:", 4005, 585, 1290, 330, std::nullopt},
    {"cboWordRules", Kind::kList, "", 5355, 525, 1380, 315, Control::kWordRules},
    {"lblLanguageOfText", Kind::kLabel, "Language:", 210, 1005, 1170, 330, std::nullopt},
    {"cboLanguage", Kind::kList, "", 1260, 945, 1380, 315, Control::kLanguage},
    {"chkIgnoreCommonWords", Kind::kCheck, "Ignore common words", 2835, 945, 2430, 330,
     Control::kIgnoreCommonWords},
    {"chkIgnoreShortWords", Kind::kCheck, "Ignore words with", 5355, 945, 2010, 330,
     Control::kIgnoreShortWords},
    {"cboShortWordSize", Kind::kList, "", 7245, 960, 645, 315, Control::kShortWordSize},
    {"lblCharsOrLess", Kind::kLabel, "characters or less", 7950, 990, 1695, 330, std::nullopt},
    {"lblTitleWeight", Kind::kLabel, "TITLE weight:", 210, 1395, 2325, 330, std::nullopt},
    {"cboTitleWeight", Kind::kList, "", 2550, 1395, 645, 315, Control::kTitleWeight},
    {"lblBoldWeight", Kind::kLabel, "Bold/strong weight:", 4005, 1395, 2115, 330, std::nullopt},
    {"cboBoldWeight", Kind::kList, "", 6100, 1395, 645, 315, Control::kBoldWeight},
    {"lblTableWeight", Kind::kLabel, "TABLE weight:", 7410, 1395, 1590, 330, std::nullopt},
    {"cboTableWeight", Kind::kList, "", 8805, 1395, 645, 315, Control::kTableWeight},
    {"lblDescriptionWeight", Kind::kLabel, "Description weight:", 210, 1785, 2325, 330,
     std::nullopt},
    {"cboDescriptionWeight", Kind::kList, "", 2550, 1785, 645, 315, Control::kDescriptionWeight},
    {"lblItalicWeight", Kind::kLabel, "Italic/emphasis weight:", 4005, 1785, 2430, 330,
     std::nullopt},
    {"cboItalicWeight", Kind::kList, "", 6100, 1785, 645, 315, Control::kItalicWeight},
    {"lblDivWeight", Kind::kLabel, "DIV weight:", 7410, 1785, 1695, 330, std::nullopt},
    {"cboDivWeight", Kind::kList, "", 8805, 1785, 645, 315, Control::kDivWeight},
    {"lblExistingkeywordsWeight", Kind::kLabel, "Existing keywords weight:", 210, 2190, 2745, 330,
     std::nullopt},
    {"cboExistingKeywordsWeight", Kind::kList, "", 2550, 2190, 645, 315,
     Control::kExistingKeywordsWeight},
    {"lblThresholdFrequency", Kind::kLabel, "Minimum frequency for word:", 3495, 2205, 2745, 330,
     std::nullopt},
    {"cboThresholdFrequency", Kind::kList, "", 6100, 2205, 645, 315, Control::kThresholdFrequency},
    {"lblSpanWeight", Kind::kLabel, "SPAN weight:", 7410, 2205, 1695, 330, std::nullopt},
    {"cboSpanWeight", Kind::kList, "", 8805, 2205, 645, 315, Control::kSpanWeight},
    {"chkPreserveCase", Kind::kCheck, "Keep upper/lower case in keywords", 210, 2620, 3585, 330,
     Control::kPreserveCase},
    {"chkSpaceAfterComma", Kind::kCheck, "Spaces after commas in meta tag", 3990, 2625, 3480, 330,
     Control::kSpaceAfterComma},
    {"cmdReset", Kind::kButton, "Restore defaults", 7770, 2625, 1660, 300,
     Control::kRestoreDefaults},
    {"lblIgnoreTheseWords", Kind::kLabel, "Ignore these words:", 210, 3045, 2325, 330,
     std::nullopt},
    {"txbWordsToIgnore", Kind::kText, "", 2040, 3045, 6570, 330, Control::kWordsToIgnore},
    {"cmdClearWordsToIgnore", Kind::kButton, "Clear", 8715, 3045, 700, 300,
     Control::kClearWordsToIgnore},
    {"lblBeginMetaTagWith", Kind::kLabel, "Begin meta tag with:", 210, 3465, 2325, 330,
     std::nullopt},
    {"txbBeginMetaTagWith", Kind::kText, "", 2040, 3465, 6570, 330, Control::kBeginMetaTagWith},
    {"cmdClearBeginMetaTagWith", Kind::kButton, "Clear", 8715, 3465, 700, 300,
     Control::kClearBeginMetaTagWith},
    {"lblMaxNumKeywords", Kind::kLabel, "Maximum number of keywords in meta tag:", 210, 3885, 3795,
     330, std::nullopt},
    {"txbMaxNumKeywordsInMetaTag", Kind::kText, "", 4095, 3885, 540, 330, Control::kMaxKeywords},
    {"lblMaxNumBytes", Kind::kLabel, "Maximum number of bytes in meta tag:", 5325, 3885, 3585, 330,
     std::nullopt},
    {"txbMaxNumBytesInMetaTag", Kind::kText, "", 8900, 3885, 540, 330, Control::kMaxBytes},
    {"cmdShowExistingKeywordMetaTag", Kind::kButton, "Show existing  keywords etc.", 210, 4305,
     2955, 360, Control::kShowExisting},
    {"cmdListWords", Kind::kButton, app::kListWordsCaption, 3360, 4305, 1275, 360,
     Control::kListWords},
    {"cmdGenerateKeywordMetaTag", Kind::kButton, "Generate/show keywords meta tag", 4830, 4305,
     3600, 360, Control::kGenerate},
    {"cmdHelp", Kind::kButton, "Help", 8610, 4305, 830, 330, Control::kHelp},
    {"chkLargeWindow", Kind::kCheck, "Large window", 210, 4725, 1815, 330, Control::kLargeWindow},
    {"lblNumberOfWords", Kind::kLabel, "", 4095, 4785, 5265, 330, Control::kNumberOfWords},
    {"txbMetaTag", Kind::kOutput, "", 210, 5145, 9240, 2115, Control::kOutput},
    {"cmdClearOutput", Kind::kButton, "Clear", 0, 0, 991, 330, Control::kClearOutput, true},
    {"cmdCopyToClipboard", Kind::kButton, "Copy to clipboard", 1575, 0, 2955, 330,
     Control::kCopyToClipboard, true},
    {"cmdInsert", Kind::kButton, "Insert meta tag into file", 5040, 0, 2745, 330, Control::kInsert,
     true},
    {"cmdQuit", Kind::kButton, "Quit", 8200, 0, 991, 330, Control::kQuit, true},
    {"lblCopyrightNotice", Kind::kLabel, "\u00A9 Lumora team", 0, 420, 1485, 240, std::nullopt,
     true},
    {"lblQuarvel", Kind::kLink, "Quarvel", 1575, 420, 2115, 240, std::nullopt, true},
    {"lblOnlineDocumentation", Kind::kLink, "Online user manual", 6700, 420, 2535, 240,
     std::nullopt, true},
};

constexpr Control kFocusLossControls[] = {Control::kInputFile, Control::kWordsToIgnore,
                                          Control::kMaxKeywords, Control::kMaxBytes};
constexpr Control kHelpKeyControls[] = {Control::kShowExisting, Control::kGenerate, Control::kHelp,
                                        Control::kInputFileButton, Control::kListWords};

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

}  // namespace

MainWindow::MainWindow(app::Session& session, QtPlatform& platform)
    : session_(session), platform_(platform) {
    setObjectName(QStringLiteral("frmMain"));
    widgets_[static_cast<int>(Control::kWindow)] = this;
    CreateWidgets();
    Bind();
    platform_.SetWindow(this);
    session_.SetListener(this);
    SyncAll();
}

MainWindow::~MainWindow() {
    session_.SetListener(nullptr);
    platform_.SetWindow(nullptr);
}

QWidget* MainWindow::Widget(Control control) const {
    return widgets_[static_cast<int>(control)];
}

void MainWindow::CreateWidgets() {
    QPalette green = palette();
    green.setColor(QPalette::Window, MainBackground());
    setPalette(green);
    setAutoFillBackground(true);
    setFont(SansFont());
    setFixedSize(Px(kDesignClientWidth), Px(kDesignClientHeight));

    frame_ = new QFrame(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFrameShape(QFrame::NoFrame);
    const app::WindowLayout designed;
    frame_->setGeometry(
        TwipsRect(kBottomRowLeft, designed.frameTop, kBottomRowWidth, designed.frameHeight));

    const QFont mono = MonoFont();
    for (const WidgetPlacement& item : kWindowWidgets) {
        QWidget* parent = item.inBottomRow ? static_cast<QWidget*>(frame_) : this;
        const QString caption = QString::fromUtf8(item.caption);
        QWidget* w = nullptr;
        switch (item.kind) {
            case Kind::kButton: {
                auto* b = new QPushButton(caption, parent);
                b->setAutoDefault(false);
                w = b;
                break;
            }
            case Kind::kText: {
                auto* e = new QLineEdit(parent);
                if (item.control == Control::kInputFile ||
                    item.control == Control::kWordsToIgnore ||
                    item.control == Control::kBeginMetaTagWith) {
                    e->setFont(mono);
                }
                w = e;
                break;
            }
            case Kind::kList: {
                auto* c = new QComboBox(parent);
                for (const Text& entry : app::Session::ListItems(*item.control)) {
                    c->addItem(ToQString(entry));
                }
                c->setMaxVisibleItems(10);
                w = c;
                break;
            }
            case Kind::kCheck:
                w = new QCheckBox(caption, parent);
                break;
            case Kind::kLabel:
            case Kind::kLink: {
                auto* l = new QLabel(caption, parent);
                l->setTextFormat(Qt::PlainText);
                l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                if (item.kind == Kind::kLink) {
                    QPalette blue = l->palette();
                    blue.setColor(QPalette::WindowText, LinkColour());
                    l->setPalette(blue);
                    l->setCursor(Qt::PointingHandCursor);
                }
                w = l;
                break;
            }
            case Kind::kOutput: {
                output_ = new QPlainTextEdit(parent);
                output_->setFont(mono);
                output_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                output_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                w = output_;
                break;
            }
        }
        w->setObjectName(QString::fromLatin1(item.objectName));
        w->setGeometry(TwipsRect(item.left, item.top, item.width, item.height));
        if (item.control)
            widgets_[static_cast<int>(*item.control)] = w;
        const QString name = w->objectName();
        if (name == QLatin1String("lblNumberOfWords"))
            numberOfWords_ = static_cast<QLabel*>(w);
        if (name == QLatin1String("lblCopyrightNotice"))
            copyrightNotice_ = static_cast<QLabel*>(w);
        if (name == QLatin1String("lblQuarvel"))
            makerLink_ = static_cast<QLabel*>(w);
        if (name == QLatin1String("lblOnlineDocumentation"))
            manualLink_ = static_cast<QLabel*>(w);
    }
}

void MainWindow::Bind() {
    using Handler = void (*)(app::Session&);
    const std::pair<Control, Handler> clicks[] = {
        {Control::kInputFileButton, [](app::Session& s) { s.ClickInputFileButton(); }},
        {Control::kClearInputFile, [](app::Session& s) { s.ClickClearInputFile(); }},
        {Control::kRestoreDefaults, [](app::Session& s) { s.ClickRestoreDefaults(); }},
        {Control::kClearWordsToIgnore, [](app::Session& s) { s.ClickClearWordsToIgnore(); }},
        {Control::kClearBeginMetaTagWith, [](app::Session& s) { s.ClickClearBeginMetaTagWith(); }},
        {Control::kShowExisting, [](app::Session& s) { s.ClickShowExisting(); }},
        {Control::kListWords, [](app::Session& s) { s.ClickListWords(); }},
        {Control::kGenerate, [](app::Session& s) { s.ClickGenerate(); }},
        {Control::kHelp, [](app::Session& s) { s.ClickHelp(); }},
        {Control::kClearOutput, [](app::Session& s) { s.ClickClearOutput(); }},
        {Control::kCopyToClipboard, [](app::Session& s) { s.ClickCopyToClipboard(); }},
        {Control::kInsert, [](app::Session& s) { s.ClickInsert(); }},
        {Control::kQuit, [](app::Session& s) { s.Quit(); }},
    };
    for (const auto& [control, handler] : clicks) {
        auto* button = static_cast<QPushButton*>(Widget(control));
        connect(button, &QPushButton::clicked, this, [this, h = handler] { h(session_); });
    }

    for (int i = 0; i <= static_cast<int>(Control::kWindow); ++i) {
        const auto control = static_cast<Control>(i);
        if (auto* box = qobject_cast<QCheckBox*>(Widget(control))) {
            connect(box, &QCheckBox::clicked, this, [this, control](bool checked) {
                session_.SetCheck(control, checked);
                SyncControl(control);  // the handler may have refused the change
            });
        } else if (auto* list = qobject_cast<QComboBox*>(Widget(control))) {
            connect(list, &QComboBox::activated, this, [this, control](int index) {
                session_.SetListIndex(control, index);
                SyncControl(control);
            });
        }
    }

    using Setter = void (*)(app::Session&, const Text&);
    const std::pair<Control, Setter> edits[] = {
        {Control::kWordsToIgnore,
         [](app::Session& s, const Text& t) { s.SetWordsToIgnoreText(t); }},
        {Control::kBeginMetaTagWith,
         [](app::Session& s, const Text& t) { s.SetBeginMetaTagWithText(t); }},
        {Control::kMaxKeywords, [](app::Session& s, const Text& t) { s.SetMaxKeywordsText(t); }},
        {Control::kMaxBytes, [](app::Session& s, const Text& t) { s.SetMaxBytesText(t); }},
    };
    for (const auto& [control, setter] : edits) {
        auto* edit = static_cast<QLineEdit*>(Widget(control));
        connect(edit, &QLineEdit::textEdited, this,
                [this, s = setter](const QString& text) { s(session_, FromQString(text)); });
    }
    connect(static_cast<QLineEdit*>(Widget(Control::kInputFile)), &QLineEdit::textEdited, this,
            [this](const QString& text) { session_.SetInputFileText(PathFromQString(text)); });
    connect(output_, &QPlainTextEdit::textChanged, this, &MainWindow::OnOutputEdited);

    for (Control control : kFocusLossControls) Widget(control)->installEventFilter(this);
    for (Control control : kHelpKeyControls) Widget(control)->installEventFilter(this);
    copyrightNotice_->installEventFilter(this);
    makerLink_->installEventFilter(this);
    manualLink_->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusOut: {
            // Switching to another window or opening a menu is not leaving the box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                break;
            if (watched == Widget(Control::kInputFile)) {
                session_.InputFileLostFocus();
            } else if (watched == Widget(Control::kWordsToIgnore)) {
                session_.WordsToIgnoreLostFocus();
            } else if (watched == Widget(Control::kMaxKeywords)) {
                session_.MaxKeywordsLostFocus();
            } else if (watched == Widget(Control::kMaxBytes)) {
                session_.MaxBytesLostFocus();
            }
            break;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F1 && !key->isAutoRepeat()) {
                session_.ClickHelp();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (watched == copyrightNotice_) {
                session_.DoubleClickCopyrightNotice();
                return true;
            }
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            auto* label = qobject_cast<QLabel*>(watched);
            if (mouse->button() != Qt::LeftButton || label == nullptr ||
                !label->rect().contains(mouse->position().toPoint())) {
                break;
            }
            if (watched == makerLink_) {
                session_.ClickMakerLink();
                return true;
            }
            if (watched == manualLink_) {
                session_.ClickManualLink();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!platform_.Ending())
        session_.Quit();
    event->accept();
}

bool MainWindow::PassRunning() const {
    return session_.PassRunning();
}

void MainWindow::ControlChanged(Control control) {
    SyncControl(control);
}

void MainWindow::SyncAll() {
    ++syncDepth_;
    setWindowTitle(ToQString(session_.WindowCaption()));
    for (int i = 0; i < static_cast<int>(Control::kWindow); ++i) {
        const auto control = static_cast<Control>(i);
        if (control == Control::kOutput) {
            SyncOutput();
        } else if (control == Control::kNumberOfWords) {
            SyncNumberOfWords();
        } else {
            SyncControl(control);
        }
    }
    ApplyLayout();
    --syncDepth_;
}

void MainWindow::SyncControl(Control control) {
    if (control == Control::kWindow) {
        if (syncDepth_ == 0)
            SyncAll();
        return;
    }
    if (control == Control::kOutput) {
        SyncOutput();
        return;
    }
    if (control == Control::kNumberOfWords) {
        SyncNumberOfWords();
        return;
    }
    QWidget* w = Widget(control);
    if (w == nullptr)
        return;
    const QSignalBlocker block(w);
    w->setEnabled(session_.IsEnabled(control));
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        const bool checked =
            control == Control::kLargeWindow ? session_.LargeWindow() : session_.Checked(control);
        box->setChecked(checked);
        if (control == Control::kLargeWindow)
            ApplyLayout();
    } else if (auto* list = qobject_cast<QComboBox*>(w)) {
        const int index = session_.ListIndex(control);
        if (list->currentIndex() != index)
            list->setCurrentIndex(index);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const app::Options& o = session_.options();
        const Text* value = nullptr;
        switch (control) {
            case Control::kInputFile:
                value = &o.inputFile;
                break;
            case Control::kWordsToIgnore:
                value = &o.wordsToIgnore;
                break;
            case Control::kBeginMetaTagWith:
                value = &o.beginMetaTagWith;
                break;
            case Control::kMaxKeywords:
                value = &o.maxKeywords;
                break;
            case Control::kMaxBytes:
                value = &o.maxBytes;
                break;
            default:
                break;
        }
        if (value != nullptr) {
            // Only a real change replaces the text, so typing keeps its caret.
            const QString shown =
                control == Control::kInputFile ? PathToQString(*value) : ToQString(*value);
            if (edit->text() != shown)
                edit->setText(shown);
        }
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        if (control == Control::kListWords) {
            button->setText(ToQString(session_.ListWordsCaption()));
            const bool running = PassRunning();
            if (running != passShown_) {
                passShown_ = running;
                // The box is the pass's display while it runs; its words are not the user's
                // to edit until the pass is over.
                output_->setReadOnly(running);
                output_->setUndoRedoEnabled(!running);
                if (!running) {
                    // The box held only the newest words; now it gets all of them.
                    SyncOutput();
                }
            }
        }
    }
}

void MainWindow::SyncNumberOfWords() {
    const QString caption = ToQString(session_.NumberOfWordsCaption());
    if (numberOfWords_->text() != caption)
        numberOfWords_->setText(caption);
}

void MainWindow::SyncOutput() {
    const Text& model = session_.OutputText();
    const QSignalBlocker block(output_);
    const std::size_t shownEnd = shownStart_ + shownOutput_.size();
    // Only the shown part is compared, so a pass's check costs no more than its display.
    const bool extends = model.size() >= shownEnd &&
                         model.compare(shownStart_, shownOutput_.size(), shownOutput_) == 0;
    if (extends && model.size() == shownEnd && (shownStart_ == 0 || passShown_))
        return;
    if (extends && (shownStart_ == 0 || passShown_) && !shownOutput_.empty() &&
        (!passShown_ || model.size() - shownStart_ <= kPassDisplayLimit)) {
        // New words and the stop notice are added at the end; the box shows the newest.
        const bool afterCr = shownOutput_.back() == '\r';
        QTextCursor end(output_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ToDisplay(TextView(model).substr(shownEnd), afterCr));
        shownOutput_.append(model, shownEnd);
    } else {
        // Laying out a box of a million characters takes longer than reading the page, so
        // while a pass runs the box holds only the newest words; it is read-only then, and
        // gets the whole text when the pass is over.
        std::size_t start = 0;
        if (passShown_ && model.size() > kPassDisplayLimit) {
            start = model.size() - kPassDisplayKeep;
            const std::size_t blank = model.find(' ', start);
            if (blank != Text::npos && blank + 1 < model.size())
                start = blank + 1;
        }
        const bool grows = extends && !shownOutput_.empty();
        output_->setPlainText(ToDisplay(TextView(model).substr(start)));
        shownStart_ = start;
        shownOutput_.assign(model, start);
        if (!grows)
            return;
    }
    output_->moveCursor(QTextCursor::End);
    output_->ensureCursorVisible();
}

void MainWindow::OnOutputEdited() {
    shownStart_ = 0;
    shownOutput_ = FromDisplay(output_->document()->toRawText());
    session_.SetOutputText(shownOutput_);
}

void MainWindow::ReportMetrics() {
    const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const int screenHeight = shown != nullptr ? shown->geometry().height() * kTwipsPerPixel : 0;
    session_.SetWindowMetrics(kDesignClientHeight + kDecorationHeight,
                              frameGeometry().top() * kTwipsPerPixel, screenHeight);
    ApplyLayout();
}

void MainWindow::ApplyLayout() {
    const app::WindowLayout& layout = session_.WindowLayout();
    if (layoutApplied_ && layout == appliedLayout_)
        return;
    layoutApplied_ = true;
    appliedLayout_ = layout;
    // Until the window has reported its metrics the model knows no window height.
    if (layout.windowHeight > 0) {
        setFixedSize(Px(kDesignClientWidth), Px(layout.windowHeight - kDecorationHeight));
        if (isVisible())
            move(pos().x(), Px(layout.windowTop));
    }
    output_->setGeometry(TwipsRect(210, layout.outputTop, 9240, std::max(0, layout.outputHeight)));
    frame_->move(Px(kBottomRowLeft), Px(layout.frameTop));
}

}  // namespace lumora::gui
