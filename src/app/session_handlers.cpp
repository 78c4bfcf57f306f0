// The window's event handlers that are not part of a pass: options, input file, output
// box, help and links, quitting.
#include <filesystem>
#include <new>
#include <system_error>

#include "app/session.h"
#include "engine/insert.h"
#include "files/file_checks.h"
#include "files/file_system.h"
#include "files/page_file.h"
#include "text/encoding.h"

namespace lumora::app {

namespace {

int* DropDownField(Options& o, Control control) {
    switch (control) {
        case Control::kShortWordSize:
            return &o.shortWordSizeIndex;
        case Control::kThresholdFrequency:
            return &o.minFrequencyIndex;
        case Control::kTableWeight:
            return &o.tableWeightIndex;
        case Control::kExistingKeywordsWeight:
            return &o.existingKeywordsWeightIndex;
        case Control::kBoldWeight:
            return &o.boldWeightIndex;
        case Control::kTitleWeight:
            return &o.titleWeightIndex;
        case Control::kDescriptionWeight:
            return &o.descriptionWeightIndex;
        case Control::kItalicWeight:
            return &o.italicWeightIndex;
        case Control::kDivWeight:
            return &o.divWeightIndex;
        case Control::kSpanWeight:
            return &o.spanWeightIndex;
        case Control::kLanguage:
            return &o.languageIndex;
        case Control::kWordRules:
            return &o.wordRulesIndex;
        case Control::kEncoding:
            return &o.encodingIndex;
        default:
            return nullptr;
    }
}

bool* CheckField(Options& o, Control control) {
    switch (control) {
        case Control::kIgnoreShortWords:
            return &o.ignoreShortWords;
        case Control::kIgnoreCommonWords:
            return &o.ignoreCommonWords;
        case Control::kPreserveCase:
            return &o.preserveCase;
        case Control::kSpaceAfterComma:
            return &o.spaceAfterComma;
        default:
            return nullptr;
    }
}

constexpr const char* kGermanConfirmation =
    "For German text it is better to keep upper/lower case.\r\n\r\n"
    "Are you sure you want all keywords in lower case?";

constexpr const char* kBrowserFailure =
    "Error launching web browser.\r\n\r\n"
    "Please make sure that your web browser is correctly installed,\r\n"
    "that '.htm' files are associated with it, and that there is\r\n"
    "sufficient memory available.";

// The notice's double-click shows the build code the program has always shown there: the
// last five digits of the build date, 2006-12-17.
constexpr const char* kBuildCode = "61217";

}  // namespace

std::vector<Text> Session::ListItems(Control control) {
    std::vector<Text> items;
    switch (control) {
        case Control::kTitleWeight:
        case Control::kDescriptionWeight:
        case Control::kExistingKeywordsWeight:
            for (int i = 0; i <= 9; ++i) items.push_back(std::to_string(10 * i));
            break;
        case Control::kBoldWeight:
        case Control::kItalicWeight:
        case Control::kTableWeight:
        case Control::kDivWeight:
        case Control::kSpanWeight:
            for (int i = 0; i <= 9; ++i) items.push_back(std::to_string(i));
            break;
        case Control::kShortWordSize:
        case Control::kThresholdFrequency:
            for (int i = 1; i <= 9; ++i) items.push_back(std::to_string(i));
            break;
        case Control::kLanguage:
            for (const char* name : words::kLanguageNames) items.emplace_back(name);
            break;
        case Control::kEncoding:
            for (const char* name : kEncodingChoices) items.emplace_back(name);
            break;
        case Control::kWordRules:
            items = {"Classic", "Today"};
            break;
        default:
            break;
    }
    return items;
}

bool Session::Checked(Control control) const {
    if (control == Control::kLargeWindow)
        return largeWindow_;
    bool* field = CheckField(const_cast<Options&>(options_), control);
    return field != nullptr && *field;
}

int Session::ListIndex(Control control) const {
    int* field = DropDownField(const_cast<Options&>(options_), control);
    return field != nullptr ? *field : -1;
}

void Session::SetCheck(Control control, bool checked) {
    if (control == Control::kLargeWindow) {
        largeWindow_ = checked;
        Changed(control);
        ApplyWindowSize();
        return;
    }
    bool* field = CheckField(options_, control);
    if (field == nullptr || *field == checked)
        return;
    *field = checked;
    Changed(control);
    switch (control) {
        case Control::kIgnoreCommonWords:
            OnIgnoreCommonWordsChanged();
            break;
        case Control::kPreserveCase:
            OnPreserveCaseChanged();
            break;
        case Control::kSpaceAfterComma:
            // Applied when the tag is composed; the word table stays valid.
            FocusNextAction();
            break;
        default:
            MarkWordsStale();
            FocusNextAction();
            break;
    }
}

void Session::SetListIndex(Control control, int index) {
    int* field = DropDownField(options_, control);
    if (field == nullptr)
        return;
    const int count = static_cast<int>(ListItems(control).size());
    if (index < 0 || index >= count)
        return;
    *field = index;
    Changed(control);
    if (control == Control::kLanguage) {
        OnLanguageChanged();
        return;
    }
    MarkWordsStale();
    FocusNextAction();
}

void Session::OnIgnoreCommonWordsChanged() {
    if (!windowLoaded_ || uncheckingCommonWords_)
        return;
    if (options_.ignoreCommonWords && !commonWords_.Available(options_.languageIndex)) {
        uncheckingCommonWords_ = true;
        ReportCommonWordsUnavailable(options_.languageIndex);
        uncheckingCommonWords_ = false;
    }
    MarkWordsStale();
    FocusNextAction();
}

void Session::OnLanguageChanged() {
    const int language = options_.languageIndex;
    // Before start-up has finished the lists are not loaded yet: only the table goes stale.
    if (windowLoaded_ && !commonWords_.Available(language)) {
        ReportCommonWordsUnavailable(language);
    } else {
        MarkWordsStale();
    }
    FocusNextAction();
}

void Session::OnPreserveCaseChanged() {
    if (!options_.preserveCase && options_.languageIndex == words::kGermanIndex) {
        if (Message(kGermanConfirmation, "Confirmation", Icon::kNone, Buttons::kYesNoCancel) !=
            Answer::kYes) {
            options_.preserveCase = true;
            Changed(Control::kPreserveCase);
        }
    }
    MarkWordsStale();
    FocusNextAction();
}

void Session::SetWindowMetrics(int designHeight, int windowTop, int screenHeight) {
    screen_ = {designHeight, screenHeight};
    layout_.windowTop = windowTop;
    layout_.windowHeight = designHeight;
}

void Session::ApplyWindowSize() {
    layout_ = LayoutFor(largeWindow_, screen_, layout_);
    Changed(Control::kWindow);
    FocusNextAction();
}

void Session::ClickInputFileButton() {
    MarkWordsStale();
    OpenFileRequest request;
    request.title = "Specify input file";
    request.filterDescription = "HTML files (*.htm, *.html, *.shtml)";
    request.patterns = "*.htm;*.html;*.shtml";
    request.initialFolder = dialogFolder_;
    const std::optional<Text> chosen = platform_.ChooseFileToOpen(request);
    if (!chosen || chosen->empty())
        return;
    SetInputFileText(*chosen);
    SetOutput("");
    SetNumberOfWords("");
    CheckInputFile(*chosen);
    FocusNextAction();
}

void Session::ClickClearInputFile() {
    SetInputFileText("");
    platform_.SetFocus(Control::kInputFileButton);
}

void Session::InputFileLostFocus() {
    // Only once the window is shown and accepts input; during a pass too, where the box
    // stays usable like the other options.
    if (!windowLoaded_ || !windowVisible_)
        return;
    SetInputFileText(Text(TrimBlanks(options_.inputFile)));
    if (!options_.inputFile.empty())
        CheckInputFile(options_.inputFile);
    MarkWordsStale();
    FocusNextAction();
}

void Session::ClickClearWordsToIgnore() {
    SetWordsToIgnoreText("");
    FocusNextAction();
}

void Session::ClickClearBeginMetaTagWith() {
    SetBeginMetaTagWithText("");
    FocusNextAction();
}

void Session::ClickCopyToClipboard() {
    platform_.SetClipboardText(GetMetaTag());
    FocusNextAction();
}

void Session::ClickShowExisting() {
    // The name is taken as given: blanks at either end are part of it.
    const Text path = options_.inputFile;
    if (path.empty()) {
        Tell(Error{Error::Code::kNoPageGiven});
        return;
    }
    if (const auto problem = files::NotRegularFileProblem(path, platform_.Files())) {
        Tell(*problem);
        return;
    }
    if (!files::FileExists(path, platform_.Files())) {
        Tell(Error{Error::Code::kFileMissing, path});
        return;
    }
    Text bytes;
    if (!platform_.Files().ReadAll(path, bytes).empty()) {
        SetOutput("Error when looking for keywords meta tag.");
        return;
    }
    engine::ShowResult shown = engine::Show(bytes, EncodingOverrideOf(options_.encodingIndex));
    if (!shown.ok()) {
        shown.error->path = path;
        Tell(*shown.error);
        return;
    }
    SetOutput(std::move(shown.shown.report));
}

void Session::ClickInsert() {
    if (options_.inputFile.empty()) {
        Tell(Error{Error::Code::kNoPageGiven});
        FocusNextAction();
        return;
    }
    try {
        InsertMetaTag();
    } catch (const std::bad_alloc&) {
        // Nothing is written before the new page is whole, so the page stays as it was.
        lastInsertSucceeded_ = false;
        Message(Error{Error::Code::kOutOfMemory, options_.inputFile}.Message(), "Not inserted",
                Icon::kExclamation);
    }
    FocusNextAction();
}

void Session::InsertMetaTag() {
    lastInsertSucceeded_ = false;
    const auto refuse = [this](const Error& error, const Text& advice = {}) {
        Message(error.Message() + advice, error.TitleWhenInserting(), Icon::kExclamation);
    };
    const Text box = Lower(output_);
    const Text tag = GetMetaTag();
    // Only a single keywords meta tag may go into the page: a word list or the report of
    // the page's existing tags would damage it.
    const Text lowerTag = Lower(tag);
    const bool isTag = lowerTag.rfind("<meta ", 0) == 0 && !lowerTag.empty() &&
                       lowerTag.back() == '>' && lowerTag.find_first_of("\r\n") == Text::npos;
    if (box.find("<meta ") == Text::npos || box.find("\"keywords\"") == Text::npos ||
        box.find("existing keywords") != Text::npos || !isTag) {
        refuse(Error{Error::Code::kNotATag});
        return;
    }
    // The page is written in the encoding its words were read in. Nothing is asked about
    // a page that stays as it is: refused (a byte limit too small for any word leaves
    // CONTENT="", which must never replace a page's tag), or already holding the tag.
    engine::InsertOptions insert;
    insert.maxBytes = TagOptionsOf(options_).maxBytes;
    insert.encoding = EncodingOverrideOf(options_.encodingIndex);
    const Text path = options_.inputFile;
    const engine::InsertPlan plan = engine::PlanInsert(path, tag, insert, platform_.Files());
    if (plan.refusal) {
        refuse(*plan.refusal);
        return;
    }
    if (plan.upToDate) {
        Message(engine::InsertedMessage({}, path), engine::kInsertedTitle, Icon::kExclamation);
        lastInsertSucceeded_ = true;
        return;
    }
    const std::optional<Text> backupPath = engine::BackupBeside(path);
    const Text question =
        backupPath ? "Back up " + path + " to " + *backupPath + "?" : "Back up " + path + "?";
    const Answer answer = Message(question, "Backup?", Icon::kNone, Buttons::kYesNoCancel);
    if (answer == Answer::kCancel)
        return;
    insert.backup =
        answer == Answer::kYes ? engine::BackupPlace::kBesidePage : engine::BackupPlace::kNone;
    const engine::InsertResult result =
        engine::Insert({path, {}, {}, tag, insert}, platform_.Files());
    lastInsertSucceeded_ = result.ok();
    if (!result.ok()) {
        const bool noBackupName = result.error->code == Error::Code::kNoBackupName;
        refuse(*result.error,
               noBackupName ? "\r\nChoose No to insert the meta tag without a backup." : "");
        return;
    }
    Message(engine::InsertedMessage(result, path), engine::kInsertedTitle, Icon::kExclamation);
}

void Session::ClickHelp() {
    platform_.ShowHelpWindow();
}

void Session::DoubleClickCopyrightNotice() {
    Message(kBuildCode, "", Icon::kNone);
}

void Session::OpenWebLink(const Text& address) {
    if (!platform_.OpenWebAddress(address)) {
        Message(kBrowserFailure, "Cannot launch web browser", Icon::kExclamation);
    }
}

void Session::ClickManualLink() {
    const Text address = ManualAddress();
    if (address.empty()) {
        Message("The user manual, README.md, is not in the program's data folder " + dataDir_ + ".",
                "User manual not found", Icon::kExclamation);
        return;
    }
    OpenWebLink(address);
}

void Session::ClickMakerLink() {
    OpenWebLink(GetProgramText(text::tx::kMakerAddress));
}

void Session::Quit() {
    if (passRunning_) {
        // Closing during a pass: the pass is stopped and its result thrown away.
        runner_->Abandon();
        EndPass();
    }
    SaveState();
    platform_.EndProgram();
}

Text Session::ManualAddress() const {
    // The README travels with the data files (beside the program in a build tree, in
    // <prefix>/share/lumora once installed), so it is found the way they are.
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(dataDir_, error);
    if (error)
        return {};
    const Text path = (folder / "README.md").lexically_normal().string();
    if (!files::FileExists(path, platform_.Files()))
        return {};
    // Every byte but the unreserved ones and '/' percent-encoded, so that blanks, '#', '%'
    // and bytes above 127 in the path reach the browser as part of it.
    Text address = "file://";
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '.' || c == '_' ||
                           c == '~';
        if (plain) {
            address += static_cast<char>(c);
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            address += {'%', kHex[c >> 4], kHex[c & 15]};
        }
    }
    return address;
}

}  // namespace lumora::app
