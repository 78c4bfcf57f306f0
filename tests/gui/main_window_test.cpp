// The window's bindings: widgets found by their control names, driven as a user would,
// checked against the session and against the other widgets.
#include "main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_dir.h"
#include "app/session.h"
#include "help_window.h"
#include "look.h"
#include "pass_thread.h"
#include "qt_platform.h"
#include "text_convert.h"

using lumora::Text;
using lumora::app::Answer;
using lumora::app::Control;

// The window's own runner, with a gate a test may close: a gated pass reports `words` as
// found, then waits on its thread until it is stopped or let through, and only then does
// its real work. So a test can act in the middle of a pass however fast the engine is.
class GatedPassRunner : public lumora::app::PassRunner {
  public:
    std::atomic<bool> gated{false};
    std::atomic<bool> waiting{false};
    std::atomic<bool> letThrough{false};
    std::vector<Text> words;

    void Start(Work work, ProgressHandler onProgress, DoneHandler onDone) override {
        runner_.Start(
            [this, work = std::move(work)](const lumora::engine::ProgressCallback& progress,
                                           std::stop_token stop) {
                if (gated) {
                    progress({1, 2, static_cast<std::int32_t>(words.size()), words});
                    waiting = true;
                    while (!stop.stop_requested() && !letThrough)
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    waiting = false;
                }
                return work(progress, stop);
            },
            std::move(onProgress), std::move(onDone));
    }
    void RequestStop() override { runner_.RequestStop(); }
    void Abandon() override { runner_.Abandon(); }

  private:
    lumora::gui::ThreadPassRunner runner_;
};

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    template <typename W>
    W* Find(const char* name) {
        auto* w = window_->findChild<W*>(QString::fromLatin1(name));
        if (w == nullptr)
            qFatal("no widget %s", name);
        return w;
    }

    // Types characters the way a keyboard layout that has them would deliver them.
    static void Type(QWidget* w, const QString& text) {
        for (const QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
        }
    }

    static bool HasCaption(const QWidget* w) {
        return qobject_cast<const QLabel*>(w) != nullptr ||
               qobject_cast<const QCheckBox*>(w) != nullptr;
    }
    static bool InEncodingRow(const QWidget* w) {
        return w->objectName() == QLatin1String("lblPageEncoding") ||
               w->objectName() == QLatin1String("cboEncoding");
    }

    Text BoxText(QPlainTextEdit* box) {
        return lumora::gui::FromDisplay(box->document()->toRawText());
    }

    std::unique_ptr<lumora::testing::TempDir> dir_;
    std::unique_ptr<lumora::gui::QtPlatform> platform_;
    std::unique_ptr<GatedPassRunner> runner_;
    std::unique_ptr<lumora::app::Session> session_;
    std::unique_ptr<lumora::gui::MainWindow> window_;
    std::vector<Text> messages_;  // prompts shown
    std::vector<Answer> answers_;

  private slots:
    void init() {
        dir_ = std::make_unique<lumora::testing::TempDir>();
        messages_.clear();
        answers_.clear();
        platform_ = std::make_unique<lumora::gui::QtPlatform>();
        platform_->SetMessageResponder([this](const Text& prompt, const Text&, lumora::app::Icon,
                                              lumora::app::Buttons buttons) {
            messages_.push_back(prompt);
            if (!answers_.empty()) {
                const Answer a = answers_.front();
                answers_.erase(answers_.begin());
                return a;
            }
            return buttons == lumora::app::Buttons::kOk ? Answer::kOk : Answer::kYes;
        });
        runner_ = std::make_unique<GatedPassRunner>();
        session_ =
            std::make_unique<lumora::app::Session>(*platform_, LUMORA_BIN_DIR, runner_.get());
        platform_->SetSession(session_.get());
        session_->SetStateFilePath(dir_->File("lmr.usr"));
        QVERIFY(session_->LoadProgramTexts());
        session_->InitialiseSession();
        window_ = std::make_unique<lumora::gui::MainWindow>(*session_, *platform_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        session_->SetWindowVisible(true);
        window_->ReportMetrics();
        session_->CompleteStartup();
        QVERIFY(messages_.empty());
    }

    void cleanup() {
        window_.reset();
        session_.reset();
        runner_.reset();    // after the session, which may still stop a pass
        platform_.reset();  // owns the help window
        dir_.reset();
    }

    void optionWidgetsReachTheModelAndComeBack() {
        auto* title = Find<QComboBox>("cboTitleWeight");
        QCOMPARE(title->currentIndex(), 9);
        QTest::keyClick(title, Qt::Key_Up);
        QCOMPARE(session_->ListIndex(Control::kTitleWeight), 8);
        auto* shortWords = Find<QCheckBox>("chkIgnoreShortWords");
        QTest::mouseClick(shortWords, Qt::LeftButton);
        QVERIFY(!session_->Checked(Control::kIgnoreShortWords));
        auto* encoding = Find<QComboBox>("cboEncoding");
        QCOMPARE(encoding->currentText(), QStringLiteral("Detect"));
        QTest::keyClick(encoding, Qt::Key_Down);
        QCOMPARE(session_->ListIndex(Control::kEncoding), 1);

        // Restore defaults puts every drop-down and box back on screen as well, and so
        // does restoring saved options.
        Find<QPushButton>("cmdReset")->click();
        QCOMPARE(title->currentIndex(), 9);
        QVERIFY(shortWords->isChecked());
        QCOMPARE(encoding->currentIndex(), 0);
        lumora::app::Options saved = session_->options();
        saved.encodingIndex = lumora::app::EncodingIndexOf("KOI8-U");
        session_->RestoreOptions(saved);
        QCOMPARE(encoding->currentText(), QStringLiteral("KOI8-U"));

        // A change the session refuses does not stay on the screen: German text keeps its
        // case unless the user says Yes.
        auto* language = Find<QComboBox>("cboLanguage");
        QTest::keyClick(language, Qt::Key_Down);
        QTest::keyClick(language, Qt::Key_Down);
        QCOMPARE(session_->ListIndex(Control::kLanguage), 2);
        auto* preserveCase = Find<QCheckBox>("chkPreserveCase");
        answers_ = {Answer::kNo};
        QTest::mouseClick(preserveCase, Qt::LeftButton);
        QCOMPARE(messages_.size(), size_t{1});
        QVERIFY(preserveCase->isChecked());
    }

    void typedTextsReachTheModelAsUtf8() {
        auto* ignore = Find<QLineEdit>("txbWordsToIgnore");
        Type(ignore, QString::fromUtf8("caf\u00E9 na\u00EFve \u0436\u0438\u0437\u043D\u044C"));
        QCOMPARE(session_->options().wordsToIgnore,
                 Text("caf\u00E9 na\u00EFve \u0436\u0438\u0437\u043D\u044C"));

        auto* output = Find<QPlainTextEdit>("txbMetaTag");
        QTest::keyClicks(output, QStringLiteral("ab"));
        QTest::keyClick(output, Qt::Key_Return);
        Type(output, QString::fromUtf8("\u00A0c"));
        QCOMPARE(session_->OutputText(), Text("ab\r\n\u00A0c"));

        // A refused limit comes back as the default once the box loses the focus.
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        auto* maxKeywords = Find<QLineEdit>("txbMaxNumKeywordsInMetaTag");
        maxKeywords->setFocus(Qt::TabFocusReason);
        maxKeywords->selectAll();
        QTest::keyClicks(maxKeywords, QStringLiteral("4"));
        QCOMPARE(session_->options().maxKeywords, Text("4"));
        Find<QLineEdit>("txbMaxNumBytesInMetaTag")->setFocus(Qt::TabFocusReason);
        QCOMPARE(messages_.size(), size_t{1});
        QVERIFY(messages_[0].find(" 5.") != Text::npos);
        QCOMPARE(maxKeywords->text(), QStringLiteral("50"));
    }

    void listWordsBecomesStopDuringAPassAndStopEndsIt() {
        const Text page = dir_->Write("page.htm", "<title>Words</title> alpha bravo\r\n");
        QTest::keyClicks(Find<QLineEdit>("txbInputFile"), QString::fromStdString(page));
        QCOMPARE(session_->options().inputFile, page);
        runner_->words = {"Words", "alpha", "bravo"};
        runner_->gated = true;
        auto* listWords = Find<QPushButton>("cmdListWords");
        auto* generate = Find<QPushButton>("cmdGenerateKeywordMetaTag");
        auto* output = Find<QPlainTextEdit>("txbMetaTag");
        QTest::mouseClick(listWords, Qt::LeftButton);
        QTRY_VERIFY(runner_->waiting);

        // The window answers while the pass waits in the middle: the words found so far
        // are on screen, and only Stop and the options are usable.
        QTRY_COMPARE(BoxText(output), Text("Words alpha bravo "));
        QCOMPARE(listWords->text(), QStringLiteral("Stop"));
        QVERIFY(!generate->isEnabled());
        QVERIFY(output->isReadOnly());
        QCOMPARE(Find<QLabel>("lblNumberOfWords")->text(),
                 QStringLiteral("Number of words found: 3"));

        QTest::mouseClick(listWords, Qt::LeftButton);  // Stop
        QTRY_VERIFY(!session_->PassRunning());
        QCOMPARE(listWords->text(), QStringLiteral("List words"));
        QVERIFY(generate->isEnabled());
        QVERIFY(!output->isReadOnly());
        QVERIFY(output->toPlainText().endsWith(QStringLiteral("identified.")));

        // The next pass, let through, reads the whole page; the box shows the tag, and
        // the window hears of the pass's end by a signal.
        runner_->letThrough = true;
        QTest::mouseClick(generate, Qt::LeftButton);
        QTRY_VERIFY(!session_->PassRunning());
        QVERIFY(messages_.empty());
        QVERIFY(session_->OutputText().find("<META NAME=\"keywords\"") == 0);
        QCOMPARE(BoxText(output), session_->OutputText());
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        Find<QPushButton>("cmdCopyToClipboard")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString::fromStdString(session_->GetMetaTag()));
    }

    void closingDuringAPassStopsItAndCloses() {
        session_->SetInputFileText(dir_->Write("page.htm", "<title>Words</title> alpha\r\n"));
        runner_->gated = true;
        QTest::mouseClick(Find<QPushButton>("cmdGenerateKeywordMetaTag"), Qt::LeftButton);
        QTRY_VERIFY(runner_->waiting);
        QVERIFY(window_->close());
        // Closing waited for the pass's thread to end; nothing of it is left.
        QVERIFY(!runner_->waiting);
        QVERIFY(!window_->isVisible());
        QVERIFY(platform_->Ending());
        QVERIFY(messages_.empty());
        // Reports the pass may have queued before it ended reach nobody.
        QTest::qWait(50);
        QCOMPARE(session_->ListWordsCaption(), Text("List words"));
        // The program asked the application to end. The application's own loop takes that
        // request (it starts by clearing it), so that the dialogs of later tests can run.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    // In the designed size and in the large one: the output box takes the room the model
    // gives it, every control stays inside the window, the bottom row below the output box,
    // and no two controls lie one over the other (the box of a label's or a check box's
    // caption may reach under the list beside it, but the page encoding's row covers nothing).
    void controlsStayInsideTheWindowAndApartInEitherSize() {
        auto* output = Find<QPlainTextEdit>("txbMetaTag");
        auto* frame = Find<QFrame>("Frame1");
        auto* large = Find<QCheckBox>("chkLargeWindow");
        const int designHeight = window_->height();
        std::vector<QWidget*> controls;
        for (QWidget* w : window_->findChildren<QWidget*>()) {
            if ((w->parent() == window_.get() || w->parent() == frame) && w != frame)
                controls.push_back(w);
        }
        for (const bool largeWindow : {true, false}) {
            QTest::mouseClick(large, Qt::LeftButton);
            QCOMPARE(large->isChecked(), largeWindow);
            QCOMPARE(output->height(), lumora::gui::Px(session_->WindowLayout().outputHeight));
            QVERIFY(frame->y() > output->geometry().bottom());
            QVERIFY(window_->frameGeometry().height() <= window_->screen()->geometry().height());
            for (QWidget* w : controls) {
                const QRect place(w->mapTo(window_.get(), QPoint(0, 0)), w->size());
                QVERIFY2(window_->rect().contains(place), qPrintable(w->objectName()));
                for (QWidget* other : controls) {
                    const QRect otherPlace(other->mapTo(window_.get(), QPoint(0, 0)),
                                           other->size());
                    const bool captions = HasCaption(w) || HasCaption(other);
                    const bool encodingRow = InEncodingRow(w) || InEncodingRow(other);
                    QVERIFY2(
                        w == other || (captions && !encodingRow) || !place.intersects(otherPlace),
                        qPrintable(w->objectName() + QLatin1Char(' ') + other->objectName()));
                }
            }
        }
        QCOMPARE(window_->height(), designHeight);
    }

    void helpOpensOnceAndCloseOnlyHidesIt() {
        QVERIFY(platform_->Help() == nullptr);
        QTest::keyRelease(Find<QPushButton>("cmdGenerateKeywordMetaTag"), Qt::Key_F1);
        lumora::gui::HelpWindow* help = platform_->Help();
        QVERIFY(help != nullptr && help->isVisible());
        auto* text = help->findChild<QPlainTextEdit*>(QStringLiteral("txbHelpScreen"));
        // The README beside the program in the build tree is the manual the help names.
        const lumora::Text manual = session_->ManualAddress();
        QVERIFY(manual.starts_with("file://") && manual.ends_with("/README.md"));
        QVERIFY(text->toPlainText().contains(QString::fromStdString(manual)));
        help->resize(700, 500);
        auto* close = help->findChild<QPushButton*>(QStringLiteral("cmdClose"));
        // Centred as the resize rule places it (to a pixel of rounding).
        QVERIFY(qAbs(close->x() * 2 + close->width() - (700 + lumora::gui::Px(120))) <= 2);
        close->click();
        QVERIFY(!help->isVisible());
        Find<QPushButton>("cmdHelp")->click();
        QCOMPARE(platform_->Help(), help);
        QVERIFY(help->isVisible());
    }

    void messageBoxesAnswerWithTheButtonClicked() {
        platform_->SetMessageResponder(nullptr);
        QString title;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            title = box->windowTitle();
            box->button(QMessageBox::No)->click();
        });
        poll.start();
        const Answer answer = platform_->ShowMessage("Sure?", "", lumora::app::Icon::kNone,
                                                     lumora::app::Buttons::kYesNoCancel);
        poll.stop();
        QCOMPARE(answer, Answer::kNo);
        QCOMPARE(title, QStringLiteral("Lumora"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
