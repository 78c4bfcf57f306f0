// The presenter behind the main window: it holds what the window shows (the options as
// list indices and box texts, the output box, the word count, which controls are
// enabled), turns the user's actions into calls of the engine, and turns the engine's
// results and errors back into texts and message boxes. The Qt window binds its widgets
// to it; the tests drive it without a window.
//
// Handlers run exactly as a user's action would: they may show message boxes through
// the platform, move the focus and mark the ranked words stale. A pass runs through a
// PassRunner: on a worker thread in the window, inside the call elsewhere. All calls into
// the session, and the runner's reports, happen on one thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/controls.h"
#include "app/options.h"
#include "app/pass_runner.h"
#include "app/platform.h"
#include "app/window_layout.h"
#include "engine/engine.h"
#include "text/chars.h"
#include "text/program_texts.h"
#include "words/common_words.h"
#include "words/word_table.h"

namespace lumora::app {

// Told about every change the session makes to what the window shows.
class SessionListener {
  public:
    virtual ~SessionListener() = default;
    virtual void ControlChanged(Control control) = 0;
};

inline constexpr const char* kReadingCommonWords = "Reading common words ...";
inline constexpr const char* kListWordsCaption = "List words";
inline constexpr const char* kStopCaption = "Stop";

class Session {
  public:
    // `dataDir` holds lmr_text.dat and the cmwds_*.txt files. Without a runner the pass
    // runs inside the call that starts it. The runner must outlive the session.
    Session(Platform& platform, Text dataDir, PassRunner* runner = nullptr);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void SetListener(SessionListener* listener) { listener_ = listener; }

    // --- start-up, in this order -----------------------------------------------------
    // Loads lmr_text.dat; on failure shows the reason and returns false (the program
    // must then end).
    bool LoadProgramTexts();
    // Drop-down contents, defaults. The caller may then restore saved options.
    void InitialiseSession();
    // Checks the remembered input file (silently), loads the common-word lists with
    // "Reading common words ..." in the output box, enables the controls.
    void CompleteStartup();

    // --- what the window shows ---------------------------------------------------------
    const Options& options() const { return options_; }
    // Sets options without running their handlers, as restoring saved options does.
    void RestoreOptions(const Options& options);
    const Text& OutputText() const { return output_; }
    const Text& NumberOfWordsCaption() const { return numberOfWords_; }
    const Text& ListWordsCaption() const { return listWordsCaption_; }
    bool IsEnabled(Control control) const;
    bool WordTableValid() const { return wordTableValid_; }
    // A pass is running: the List words button reads "Stop".
    bool PassRunning() const { return passRunning_; }
    // The last reading pass was ended by the Stop button.
    // The last insert wrote the tag into the page.
    bool LastInsertSucceeded() const { return lastInsertSucceeded_; }
    const Text& IgnoreList() const { return ignoreList_; }
    Text WindowCaption() const;
    const text::ProgramTexts& ProgramTexts() const { return texts_; }

    // The window is shown and accepts input; focus moves only then.
    void SetWindowVisible(bool visible) { windowVisible_ = visible; }

    // --- handlers --------------------------------------------------------------------------
    // Check boxes and drop-downs: setting a value runs the control's handler exactly as
    // the user's click would (invalidating the word table, the German confirmation, the
    // common-word check, the layout switch...). Drop-downs take list indices.
    void SetCheck(Control control, bool checked);
    void SetListIndex(Control control, int index);
    bool Checked(Control control) const;
    int ListIndex(Control control) const;
    // The items of a drop-down, as the window lists them.
    static std::vector<Text> ListItems(Control control);
    bool LargeWindow() const { return largeWindow_; }

    void ClickInputFileButton();
    void ClickClearInputFile();
    void InputFileLostFocus();
    void ClickClearWordsToIgnore();
    void ClickClearBeginMetaTagWith();
    void ClickCopyToClipboard();
    void ClickShowExisting();
    void ClickInsert();
    void ClickHelp();  // also F1 on the main buttons
    void DoubleClickCopyrightNotice();
    void ClickManualLink();
    void ClickMakerLink();
    // Quit button and closing the window: stops a running pass and waits for it, saves
    // the state, then ends the program.
    void Quit();

    void ClickGenerate();
    void ClickListWords();  // Stop while a pass runs
    // Starts the open-file dialog in; the folder of a remembered page that has gone.
    void ClickClearOutput();
    void ClickRestoreDefaults();
    void SetOutputText(const Text& text);  // the user edits the output box
    void SetInputFileText(const Text& text);
    void SetWordsToIgnoreText(const Text& text);
    void SetBeginMetaTagWithText(const Text& text);
    void SetMaxKeywordsText(const Text& text);
    void SetMaxBytesText(const Text& text);
    void WordsToIgnoreLostFocus();
    // Return false when the value was refused (the message has been shown and the
    // default put back).
    bool MaxKeywordsLostFocus();
    bool MaxBytesLostFocus();

    // --- state file -------------------------------------------------------------------
    // "<config>/<program text 310>/lmr.usr", the folder created when missing.
    void SetStateFilePath(Text path) { stateFilePath_ = std::move(path); }
    // Uses the state file in the user's configuration folder.
    void UseDefaultStateFile();
    bool LoadState();
    void SaveState();

    // --- window layout, in twips ---------------------------------------------------------
    using Layout = app::WindowLayout;
    // The view reports the designed outer height and top when the window is first shown,
    // and the screen's height.
    void SetWindowMetrics(int designHeight, int windowTop, int screenHeight);
    const Layout& WindowLayout() const { return layout_; }

    // The tag in the output box without its summary lines.
    Text GetMetaTag() const;

    void RestoreDefaults(bool keepTexts);
    void FocusNextAction();

    // Message boxes use the platform; exposed for the other front-end operations.
    Answer Message(const Text& prompt, const Text& title, Icon icon,
                   Buttons buttons = Buttons::kOk);
    Text GetProgramText(int n) const { return texts_.Get(n); }
    // The user manual: a file:// address of the README.md shipped with the data files, as
    // the help window shows it; empty when that file is not there.
    Text ManualAddress() const;

  private:
    void GenerateOrList(bool makeTag);
    void StartPass(Text pageBytes, bool makeTag, const Text& name);
    void OnPassProgress(const engine::PassProgress& progress);
    void OnPassDone(engine::AnalysisResult result);
    void EndPass();
    // The error's message under its own title.
    void Tell(const Error& error);
    // An option that decides which words count has changed: the ranked words no longer
    // answer for the options shown, also when a pass running now completes.
    void MarkWordsStale();
    bool CheckInputFile(const Text& name);
    void EnableControls(bool enable);
    void SetEnabled(Control control, bool enabled);
    void Changed(Control control);
    void SetOutput(Text text);
    void SetNumberOfWords(Text caption);
    void LoadAllCommonWordLists();
    void ReportCommonWordsUnavailable(int language);
    void Finish(bool makeTag);
    void ApplyWindowSize();
    void InsertMetaTag();
    void OpenWebLink(const Text& address);
    void OnIgnoreCommonWordsChanged();
    void OnLanguageChanged();
    void OnPreserveCaseChanged();

    Platform& platform_;
    std::unique_ptr<PassRunner> ownRunner_;  // when none was given
    PassRunner* runner_;
    SessionListener* listener_ = nullptr;
    Text dataDir_;
    text::ProgramTexts texts_;
    words::CommonWordLists commonWords_;
    Options options_;

    bool windowLoaded_ = false;
    // Why the state file could not be read, and the options the window started with: such
    // a file is not replaced unless the user changed a setting.
    std::optional<Error> stateProblem_;
    Options optionsAtStart_;
    bool windowVisible_ = false;
    bool wordTableValid_ = false;
    bool passRunning_ = false;
    bool passMakesTag_ = false;
    Text passPage_;  // the page the pass reads, as named
    bool staleAfterPass_ = false;
    bool lastInsertSucceeded_ = false;
    Text ignoreList_;
    Text output_;
    Text numberOfWords_;
    Text listWordsCaption_ = kListWordsCaption;
    std::array<bool, static_cast<int>(Control::kWindow) + 1> enabled_{};
    bool largeWindow_ = false;
    bool uncheckingCommonWords_ = false;  // re-entrancy guard of its handler
    Text stateFilePath_;
    Text dialogFolder_;
    Layout layout_;
    ScreenMetrics screen_;

    std::vector<words::WordEntry> ranked_;
};

}  // namespace lumora::app
