#include "app/session.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "files/file_checks.h"
#include "output/meta_tag.h"
#include "scan/prepare.h"
#include "text/encoding.h"
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

// The file's bytes, or nothing when it cannot be read whole.
std::optional<Text> ReadWholeFile(const Text& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return std::nullopt;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    // Read in one go into a buffer of the file's size; a file that grows meanwhile is
    // read on to its end.
    std::error_code sizeError;
    const auto expected = std::filesystem::file_size(path, sizeError);
    Text bytes(sizeError ? 0 : static_cast<std::size_t>(expected), '\0');
    std::size_t have = std::fread(bytes.data(), 1, bytes.size(), file);
    bool failed = have < bytes.size() && std::ferror(file) != 0;
    bytes.resize(have);
    std::array<char, 1 << 16> piece{};
    while (!failed) {
        const std::size_t got = std::fread(piece.data(), 1, piece.size(), file);
        bytes.append(piece.data(), got);
        if (got < piece.size()) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return bytes;
}

}  // namespace

// Feeds the words the scanner cuts through the filters into the word table, and lets the
// user act between words.
class Session::PassSink : public scan::WordSink {
  public:
    explicit PassSink(Session& session) : s_(session) {}

    void OnWord(TextView word) override {
        if (!words::ConsiderWord(word, FilterOf(s_.options_), s_.ignoreList_, s_.commonWords_)) {
            return;
        }
        word_.assign(word);
        const float weight = s_.scanner_.ContextWeight(weights_);
        if (!s_.table_.AddWordOccurrence(word_, weight, s_.scanner_.InTitleOrMetaContent())) {
            return;
        }
        // A new distinct word: show it and the running count as the pass goes.
        s_.SetNumberOfWords("Number of words found: " + std::to_string(s_.table_.WordCount()));
        s_.platform_.Repaint(Control::kNumberOfWords);
        if (s_.output_ == kProcessingMessage)
            s_.output_.clear();
        s_.output_ += word_;
        s_.output_ += ' ';
        s_.Changed(Control::kOutput);
    }

    bool ShouldStop() override {
        s_.platform_.HandlePendingInput();
        if (++words_ % kWordsPerProgress == 0)
            ShowProgress();
        // The user may have changed a weight meanwhile; it applies to the words that follow.
        weights_ = WeightsOf(s_.options_);
        return s_.stopRequested_;
    }

    const scan::WeightSettings& Weights() {
        weights_ = WeightsOf(s_.options_);
        return weights_;
    }

    void SetFileSize(std::int64_t size) { fileSize_ = size; }

    // The line about to be scanned: where it starts in the file, its size there and once
    // prepared.
    void StartLine(std::int64_t fileOffset, std::size_t rawSize, std::size_t preparedSize) {
        lineOffset_ = fileOffset;
        rawSize_ = rawSize;
        preparedSize_ = preparedSize;
    }

  private:
    // Share of the page scanned so far, also within one long line.
    void ShowProgress() const {
        std::int64_t done = lineOffset_;
        if (preparedSize_ > 0) {
            done += static_cast<std::int64_t>(static_cast<double>(s_.scanner_.LinePosition()) *
                                              static_cast<double>(rawSize_) /
                                              static_cast<double>(preparedSize_));
        }
        s_.platform_.ShowPassProgress(done, fileSize_);
    }

    static constexpr std::uint32_t kWordsPerProgress = 4096;
    Session& s_;
    scan::WeightSettings weights_;
    Text word_;
    std::uint32_t words_ = 0;
    std::int64_t fileSize_ = 0;
    std::int64_t lineOffset_ = 0;
    std::size_t rawSize_ = 0;
    std::size_t preparedSize_ = 0;
};

Session::Session(Platform& platform, Text dataDir)
    : platform_(platform), dataDir_(std::move(dataDir)) {
    enabled_.fill(true);
}

bool Session::LoadProgramTexts() {
    const Text path = JoinPath(dataDir_, kProgramTextFile);
    const std::int32_t result = texts_.Load(path);
    if (result >= 1)
        return true;
    platform_.ShowMessage(text::ProgramTexts::LoadErrorMessage(result, path), "", Icon::kCritical,
                          Buttons::kOk);
    return false;
}

Text Session::WindowCaption() const {
    return texts_.Get(text::tx::kProductName) + " " +
           text::VersionText(LUMORA_VERSION_MAJOR, LUMORA_VERSION_MINOR);
}

void Session::InitialiseSession() {
    wordTableValid_ = false;
    SetOutput("");
    SetNumberOfWords("");
    RestoreDefaults(false);
}

void Session::RestoreOptions(const Options& options) {
    options_ = options;
    wordTableValid_ = false;
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
}

void Session::LoadAllCommonWordLists() {
    for (int language = 0; language < words::kNumLanguages; ++language) {
        const Text path = words::CommonWordFilePath(dataDir_, language);
        const auto result = commonWords_.Load(language, path);
        if (result.fileType == 2 || result.fileType == 3) {
            Message(files::LineEndingsPrompt(result.fileType, ""), files::kWarningTitle,
                    Icon::kExclamation);
        }
    }
    if (options_.ignoreCommonWords && !commonWords_.Available(options_.languageIndex)) {
        ReportCommonWordsUnavailable(options_.languageIndex);
    }
}

void Session::ReportCommonWordsUnavailable(int language) {
    const Text path = words::CommonWordFilePath(dataDir_, language);
    Message(words::CommonWordsUnavailablePrompt(language, path),
            words::kCommonWordsUnavailableTitle, Icon::kExclamation);
    if (options_.ignoreCommonWords) {
        options_.ignoreCommonWords = false;
        wordTableValid_ = false;
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
    if (!windowVisible_)
        return;
    if (options_.inputFile.empty()) {
        platform_.SetFocus(Control::kInputFileButton);
    } else if (IsEnabled(Control::kGenerate)) {
        platform_.SetFocus(Control::kGenerate);
    } else {
        platform_.SetFocus(Control::kListWords);
    }
}

void Session::RestoreDefaults(bool keepTexts) {
    wordTableValid_ = false;
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
    wordTableValid_ = false;
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
    wordTableValid_ = false;
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
    switch (files::CheckInputFileName(name)) {
        case InputNameStatus::kOk:
            return true;
        case InputNameStatus::kFileMissing:
            if (windowLoaded_) {
                Message(GetProgramText(text::tx::kFileMissingPrompt),
                        GetProgramText(text::tx::kFileNotFoundTitle), Icon::kExclamation);
            } else {
                // A remembered page that has gone: start the open-file dialog in its folder.
                const Text folder = files::FolderOfPath(options_.inputFile);
                if (!folder.empty() && files::FolderExists(folder)) {
                    std::error_code ignored;
                    std::filesystem::current_path(folder, ignored);
                }
                SetInputFileText("");
            }
            return false;
        case InputNameStatus::kWrongExtension:
            if (windowLoaded_) {
                Message(GetProgramText(text::tx::kWrongExtensionPrompt),
                        GetProgramText(text::tx::kWrongExtensionTitle), Icon::kNone);
            } else {
                SetInputFileText("");
            }
            return false;
        case InputNameStatus::kInvalidName:
            if (windowLoaded_) {
                Message(files::kInvalidNamePrompt, files::kInvalidNameTitle, Icon::kExclamation);
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
        stopRequested_ = true;
        return;
    }
    GenerateOrList(false);
}

void Session::GenerateOrList(bool makeTag) {
    if (passRunning_)
        return;  // the only button left enabled during a pass is Stop
    if (!wordTableValid_) {
        const Text name(TrimBlanks(options_.inputFile));
        SetInputFileText(name);
        if (name.empty()) {
            Message(GetProgramText(text::tx::kNoInputFilePrompt),
                    GetProgramText(text::tx::kErrorTitle), Icon::kExclamation);
            return;
        }
        if (!CheckInputFile(name))
            return;

        const std::int64_t code = files::ClassifyInputFile(name);
        if (code == 0) {
            Message(GetProgramText(text::tx::kFileNotFoundPrompt),
                    GetProgramText(text::tx::kFileNotFoundTitle), Icon::kExclamation);
            return;
        }
        if (code == 4) {
            Message(GetProgramText(text::tx::kZeroLengthPrompt),
                    GetProgramText(text::tx::kZeroLengthTitle), Icon::kExclamation);
            return;
        }
        if (code == 5) {
            Message(GetProgramText(text::tx::kUnreadablePrompt),
                    GetProgramText(text::tx::kErrorTitle), Icon::kExclamation);
            return;
        }
        if (code < 0) {
            Message(GetProgramText(text::tx::kControlCharPrompt) + " " + std::to_string(-code) +
                        "\r\n" + GetProgramText(text::tx::kControlCharSecondLine),
                    GetProgramText(text::tx::kControlCharTitle), Icon::kExclamation);
            return;
        }

        lastPassStopped_ = false;
        table_.Clear();
        ranked_.clear();
        SetOutput("");
        platform_.Repaint(Control::kOutput);
        scanner_.Reset();
        stopRequested_ = false;
        listWordsCaption_ = kStopCaption;
        Changed(Control::kListWords);
        EnableControls(false);
        const bool lowerCase = !options_.preserveCase;

        auto endPass = [this] {
            passRunning_ = false;
            listWordsCaption_ = kListWordsCaption;
            Changed(Control::kListWords);
            EnableControls(true);
        };

        if (code == 2) {
            const Answer answer =
                Message(files::LineEndingsPrompt(2, files::UnixFileQuestionExtra()),
                        files::kWarningTitle, Icon::kNone, Buttons::kYesNo);
            if (answer != Answer::kYes) {
                endPass();
                return;
            }
            SetOutput(kProcessingMessage);
            platform_.Repaint(Control::kOutput);
        }

        passRunning_ = true;
        PassSink sink(*this);
        Text failure;
        try {
            // The whole page is decoded to UTF-8 once, before its lines are read.
            std::optional<Text> bytes = ReadWholeFile(name);
            text::DecodeResult decoded;
            if (bytes)
                decoded = text::DecodePageBytes(std::move(*bytes));
            if (!bytes) {
                failure = "The file could not be read.";
            } else if (!decoded.ok()) {
                failure = decoded.error->Message();
            } else {
                Text& page = decoded.page.text;
                text::BlankControlCharacters(page);
                const TextView pageView = page;
                const auto pageSize = static_cast<std::int64_t>(page.size());
                sink.SetFileSize(pageSize);
                Text line;
                std::size_t start = 0;
                while (start < pageView.size()) {
                    // A line ends at CR or CR LF.
                    std::size_t end = pageView.find('\r', start);
                    if (end == TextView::npos)
                        end = pageView.size();
                    const TextView raw = pageView.substr(start, end - start);
                    const auto rawOffset = static_cast<std::int64_t>(start);
                    start = end + 1;
                    if (start < pageView.size() && pageView[start] == '\n')
                        ++start;
                    const auto lineOffset = static_cast<std::int64_t>(start);
                    line.assign(TrimBlanks(raw));
                    if (line.empty())
                        continue;
                    if (code == 2) {
                        for (Char& c : line) {
                            if (c == '\n')
                                c = ' ';
                        }
                    }
                    if (lowerCase)
                        LowerLettersInPlace(line);
                    scan::PrepareLine(line, lowerCase);
                    scan::DecodeEntities(line);
                    line += ' ';
                    sink.StartLine(rawOffset, raw.size(), line.size());
                    scanner_.ScanLine(line, sink.Weights(), sink);
                    platform_.ShowPassProgress(std::min(lineOffset, pageSize), pageSize);
                    if (stopRequested_)
                        break;
                }
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        endPass();

        if (!failure.empty()) {
            // The pass is incomplete: say so rather than leave a partial result unexplained.
            Message(failure, GetProgramText(text::tx::kErrorTitle), Icon::kExclamation);
            SetNumberOfWords("");
            return;
        }
        if (stopRequested_) {
            lastPassStopped_ = true;
            output_ += StoppedText(table_.WordCount());
            Changed(Control::kOutput);
            SetNumberOfWords("");
            return;
        }

        table_.ApplyMinimumFrequency(options_.thresholdIndex + 1);
        table_.MergeCaseVariants();
        table_.NormaliseKeyValues();
        ranked_ = table_.Ranked();
        SetNumberOfWords("Number of words found satisfying above conditions: " +
                         std::to_string(ranked_.size()));
        platform_.Repaint(Control::kNumberOfWords);
        wordTableValid_ = true;
    }
    Finish(makeTag);
    FocusNextAction();
}

void Session::Finish(bool makeTag) {
    if (!makeTag) {
        SetOutput(output::ListWords(ranked_, options_.shortWordSizeIndex, options_.thresholdIndex));
        return;
    }
    output::MetaTagOptions mo;
    mo.maxKeywordsText = options_.maxKeywords;
    mo.maxBytesText = options_.maxBytes;
    mo.beginWith = options_.beginMetaTagWith;
    mo.preserveCase = options_.preserveCase;
    mo.spaceAfterComma = options_.spaceAfterComma;
    mo.shortWordSizeIndex = options_.shortWordSizeIndex;
    mo.thresholdIndex = options_.thresholdIndex;
    auto result = output::BuildMetaTag(ranked_, mo);
    if (!ranked_.empty())
        SetBeginMetaTagWithText(result.beginWith);
    SetOutput(std::move(result.output));
}

}  // namespace lumora::app
