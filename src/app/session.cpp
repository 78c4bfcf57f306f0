#include "app/session.h"

#include <new>
#include <utility>

#include "app/focus.h"
#include "files/file_checks.h"
#include "files/file_system.h"
#include "files/page_file.h"
#include "output/meta_tag.h"
#include "words/consider.h"

namespace lumora::app {

namespace {

constexpr const char* kProgramTextFile = "lmr_text.dat";

Text JoinPath(const Text& folder, const Text& name) {
    if (folder.empty() || folder.back() == files::kPathSeparator)
        return folder + name;
    return folder + files::kPathSeparator + name;
}

// "Stopped with 1 word identified." / "Stopped with 0 words identified."
Text StoppedText(std::int32_t count) {
    Text text = "\r\n\r\nStopped with " + std::to_string(count) + " word";
    if (count != 1)
        text += 's';
    return text + " identified.";
}

}  // namespace

Session::Session(Platform& platform, Text dataDir, PassRunner* runner)
    : platform_(platform), runner_(runner), dataDir_(std::move(dataDir)) {
    if (runner_ == nullptr) {
        ownRunner_ = std::make_unique<InlinePassRunner>();
        runner_ = ownRunner_.get();
    }
    enabled_.fill(true);
}

Session::~Session() {
    // A pass still running reports to nobody.
    runner_->Abandon();
}

bool Session::LoadProgramTexts() {
    const Text path = JoinPath(dataDir_, kProgramTextFile);
    const std::int32_t result = texts_.Load(path, platform_.Files());
    if (result >= 1)
        return true;
    platform_.ShowMessage(texts_.ErrorMessage(path), "", Icon::kCritical, Buttons::kOk);
    return false;
}

Text Session::WindowCaption() const {
    return texts_.Get(text::tx::kProductName) + " " +
           text::VersionText(LUMORA_VERSION_MAJOR, LUMORA_VERSION_MINOR);
}

void Session::InitialiseSession() {
    MarkWordsStale();
    SetOutput("");
    SetNumberOfWords("");
    RestoreDefaults(false);
}

void Session::RestoreOptions(const Options& options) {
    options_ = options;
    MarkWordsStale();
    // The words to ignore are parsed as if their box had lost the focus.
    WordsToIgnoreLostFocus();
    Changed(Control::kWindow);
}

void Session::CompleteStartup() {
    if (!options_.inputFile.empty())
        CheckInputFile(options_.inputFile);
    EnableControls(false);
    SetEnabled(Control::kListWords, false);
    SetOutput(kReadingCommonWords);
    platform_.Repaint(Control::kWindow);
    LoadAllCommonWordLists();
    SetOutput("");
    EnableControls(true);
    SetEnabled(Control::kListWords, true);
    platform_.Repaint(Control::kWindow);
    FocusNextAction();
    windowLoaded_ = true;
    optionsAtStart_ = options_;
    if (stateProblem_)
        Tell(*stateProblem_);
}

void Session::LoadAllCommonWordLists() {
    for (int language = 0; language < words::kNumLanguages; ++language) {
        const Text path = words::CommonWordFilePath(dataDir_, language);
        commonWords_.Load(language, path, platform_.Files());
    }
    if (options_.ignoreCommonWords && !commonWords_.Available(options_.languageIndex)) {
        ReportCommonWordsUnavailable(options_.languageIndex);
    }
}

void Session::ReportCommonWordsUnavailable(int language) {
    const Error error = commonWords_.Problem(language).value_or(
        words::CommonWordsUnavailable(language, words::CommonWordFilePath(dataDir_, language)));
    Message(error.Message(), error.Title(), Icon::kExclamation);
    if (options_.ignoreCommonWords) {
        options_.ignoreCommonWords = false;
        MarkWordsStale();
        Changed(Control::kIgnoreCommonWords);
    }
}

bool Session::IsEnabled(Control control) const {
    return enabled_[static_cast<int>(control)];
}

void Session::SetEnabled(Control control, bool enabled) {
    if (enabled_[static_cast<int>(control)] == enabled)
        return;
    enabled_[static_cast<int>(control)] = enabled;
    Changed(control);
}

void Session::EnableControls(bool enable) {
    for (Control c :
         {Control::kInputFileButton, Control::kShowExisting, Control::kGenerate,
          Control::kClearInputFile, Control::kRestoreDefaults, Control::kClearBeginMetaTagWith,
          Control::kClearWordsToIgnore, Control::kHelp, Control::kClearOutput,
          Control::kCopyToClipboard, Control::kInsert, Control::kMaxKeywords, Control::kMaxBytes}) {
        SetEnabled(c, enable);
    }
}

void Session::Changed(Control control) {
    if (listener_ != nullptr)
        listener_->ControlChanged(control);
}

void Session::SetOutput(Text text) {
    output_ = std::move(text);
    Changed(Control::kOutput);
}

void Session::SetNumberOfWords(Text caption) {
    numberOfWords_ = std::move(caption);
    Changed(Control::kNumberOfWords);
}

Answer Session::Message(const Text& prompt, const Text& title, Icon icon, Buttons buttons) {
    return platform_.ShowMessage(prompt, title, icon, buttons);
}

void Session::FocusNextAction() {
    const std::optional<Control> next = NextActionFocus(
        {windowVisible_, options_.inputFile.empty(), IsEnabled(Control::kGenerate)});
    if (next)
        platform_.SetFocus(*next);
}

void Session::MarkWordsStale() {
    wordTableValid_ = false;
    if (passRunning_)
        staleAfterPass_ = true;
}

void Session::RestoreDefaults(bool keepTexts) {
    MarkWordsStale();
    const Options defaults;
    const bool commonWordsTicked = !options_.ignoreCommonWords;
    Options next = defaults;
    next.languageIndex = options_.languageIndex;
    if (keepTexts) {
        next.inputFile = options_.inputFile;
        next.beginMetaTagWith = options_.beginMetaTagWith;
        next.wordsToIgnore = options_.wordsToIgnore;
    }
    options_ = next;
    Changed(Control::kWindow);
    // Ticking "Ignore common words" runs its handler, which speaks once start-up is over.
    if (commonWordsTicked && windowLoaded_ && !commonWords_.Available(options_.languageIndex)) {
        ReportCommonWordsUnavailable(options_.languageIndex);
    }
}

void Session::ClickRestoreDefaults() {
    RestoreDefaults(true);
    FocusNextAction();
}

void Session::ClickClearOutput() {
    SetOutput("");
    SetNumberOfWords("");
    MarkWordsStale();
    FocusNextAction();
}

void Session::SetOutputText(const Text& text) {
    SetOutput(text);
}

void Session::SetInputFileText(const Text& text) {
    options_.inputFile = text;
    Changed(Control::kInputFile);
}

void Session::SetWordsToIgnoreText(const Text& text) {
    options_.wordsToIgnore = text;
    Changed(Control::kWordsToIgnore);
}

void Session::SetBeginMetaTagWithText(const Text& text) {
    options_.beginMetaTagWith = text;
    Changed(Control::kBeginMetaTagWith);
}

void Session::SetMaxKeywordsText(const Text& text) {
    options_.maxKeywords = text;
    Changed(Control::kMaxKeywords);
}

void Session::SetMaxBytesText(const Text& text) {
    options_.maxBytes = text;
    Changed(Control::kMaxBytes);
}

void Session::WordsToIgnoreLostFocus() {
    options_.wordsToIgnore = words::NormaliseWordsToIgnore(options_.wordsToIgnore);
    ignoreList_ = options_.wordsToIgnore + ",";
    MarkWordsStale();
    Changed(Control::kWordsToIgnore);
}

bool Session::MaxKeywordsLostFocus() {
    const auto check = output::CheckMaxKeywords(options_.maxKeywords);
    if (check.refused)
        Message(check.message, "", Icon::kNone);
    SetMaxKeywordsText(check.text);
    if (check.refused)
        platform_.SetFocus(Control::kMaxKeywords);
    return !check.refused;
}

bool Session::MaxBytesLostFocus() {
    const auto check = output::CheckMaxBytes(options_.maxBytes);
    if (check.refused)
        Message(check.message, "", Icon::kNone);
    SetMaxBytesText(check.text);
    if (check.refused)
        platform_.SetFocus(Control::kMaxBytes);
    return !check.refused;
}

Text Session::GetMetaTag() const {
    return output::GetMetaTag(output_);
}

bool Session::CheckInputFile(const Text& name) {
    using files::InputNameStatus;
    switch (files::CheckInputFileName(name, platform_.Files())) {
        case InputNameStatus::kOk:
            return true;
        case InputNameStatus::kFileMissing:
            if (windowLoaded_) {
                Tell(Error{Error::Code::kFileMissing, name});
            } else {
                // A remembered page that has gone: start the open-file dialog in its folder.
                const Text folder = files::FolderOfPath(options_.inputFile);
                if (!folder.empty() && files::FolderExists(folder, platform_.Files()))
                    dialogFolder_ = folder;
                SetInputFileText("");
            }
            return false;
        case InputNameStatus::kWrongExtension:
            if (windowLoaded_) {
                Tell(Error{Error::Code::kWrongExtension, name});
            } else {
                SetInputFileText("");
            }
            return false;
        case InputNameStatus::kInvalidName:
            if (windowLoaded_) {
                Tell(Error{Error::Code::kInvalidName});
            } else {
                SetInputFileText("");
            }
            return false;
    }
    return false;
}

void Session::ClickGenerate() {
    GenerateOrList(true);
}

void Session::ClickListWords() {
    if (listWordsCaption_ == kStopCaption) {
        runner_->RequestStop();
        return;
    }
    GenerateOrList(false);
}

void Session::GenerateOrList(bool makeTag) {
    if (passRunning_)
        return;  // the only button left enabled during a pass is Stop
    if (wordTableValid_) {
        // Only tag options may have changed since the pass: no need to read the page again.
        Finish(makeTag);
        FocusNextAction();
        return;
    }
    // The name is taken as given: blanks at either end are part of it.
    const Text name = options_.inputFile;
    SetInputFileText(name);
    if (name.empty()) {
        Tell(Error{Error::Code::kNoPageGiven});
        return;
    }
    // Looked at before anything else: a folder or a FIFO must not be opened or mistaken
    // for a missing page.
    if (const auto problem = files::NotRegularFileProblem(name, platform_.Files())) {
        Tell(*problem);
        return;
    }
    if (!CheckInputFile(name))
        return;
    Text bytes;
    try {
        if (const auto error = engine::ReadPageFile(name, platform_.Files(), bytes)) {
            Tell(*error);
            return;
        }
    } catch (const std::bad_alloc&) {
        Tell(Error{Error::Code::kOutOfMemory, name});
        return;
    }
    StartPass(std::move(bytes), makeTag, name);
}

void Session::StartPass(Text pageBytes, bool makeTag, const Text& name) {
    ranked_.clear();
    SetOutput("");
    platform_.Repaint(Control::kOutput);
    passRunning_ = true;
    passMakesTag_ = makeTag;
    passPage_ = name;
    staleAfterPass_ = false;
    listWordsCaption_ = kStopCaption;
    Changed(Control::kListWords);
    EnableControls(false);

    // The pass works on its own copies: the user may change the options meanwhile.
    engine::Options options{CountOptionsOf(options_, ignoreList_), TagOptionsOf(options_)};
    const engine::Resources resources{&commonWords_};
    runner_->Start(
        [page = std::move(pageBytes), options = std::move(options), resources, name](
            const engine::ProgressCallback& progress, std::stop_token stop) {
            // A page too large for the memory left fails alone; the window goes on.
            try {
                return engine::Analyse(page, options, resources, progress, std::move(stop));
            } catch (const std::bad_alloc&) {
                engine::AnalysisResult failed;
                failed.error = Error{Error::Code::kOutOfMemory, name};
                return failed;
            }
        },
        [this](const engine::PassProgress& progress) { OnPassProgress(progress); },
        [this](engine::AnalysisResult result) { OnPassDone(std::move(result)); });
}

void Session::OnPassProgress(const engine::PassProgress& progress) {
    if (!progress.newWords.empty()) {
        for (const Text& word : progress.newWords) {
            output_ += word;
            output_ += ' ';
        }
        Changed(Control::kOutput);
    }
    SetNumberOfWords("Number of words found: " + std::to_string(progress.distinctWords));
    platform_.Repaint(Control::kNumberOfWords);
    platform_.ShowPassProgress(progress.bytesDone, progress.bytesTotal);
}

void Session::EndPass() {
    passRunning_ = false;
    listWordsCaption_ = kListWordsCaption;
    Changed(Control::kListWords);
    EnableControls(true);
}

void Session::OnPassDone(engine::AnalysisResult result) {
    EndPass();
    if (!result.ok()) {
        SetNumberOfWords("");
        // Named as the command line names it.
        Error error = *result.error;
        if (error.path.empty())
            error.path = passPage_;
        Tell(error);
        return;
    }
    const engine::Analysis& analysis = result.analysis;
    if (analysis.stopped) {
        // The words found so far stay in the box; the next press reads the page again.
        Text words;
        for (const Text& word : analysis.wordsFound) {
            words += word;
            words += ' ';
        }
        SetOutput(words + StoppedText(analysis.wordsWhenStopped));
        SetNumberOfWords("");
        return;
    }
    ranked_ = analysis.ranked;
    SetNumberOfWords("Number of words found satisfying above conditions: " +
                     std::to_string(ranked_.size()));
    platform_.Repaint(Control::kNumberOfWords);
    // A counting option changed during the pass: this result answers for the old options.
    wordTableValid_ = !staleAfterPass_;
    Finish(passMakesTag_);
    FocusNextAction();
}

void Session::Tell(const Error& error) {
    Message(error.Message(), error.Title(), Icon::kExclamation);
}

void Session::Finish(bool makeTag) {
    const engine::CountOptions count = CountOptionsOf(options_, ignoreList_);
    if (!makeTag) {
        SetOutput(engine::WordList(ranked_, count));
        return;
    }
    engine::MetaTag tag = engine::ComposeTag(ranked_, TagOptionsOf(options_), count);
    if (!ranked_.empty())
        SetBeginMetaTagWithText(tag.beginWith);
    SetOutput(std::move(tag.boxText));
}

}  // namespace lumora::app
