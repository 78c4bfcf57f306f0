// The controls of the main window, as the session names them for focus, enabling and
// change notices.
#pragma once

namespace lumora::app {

enum class Control {
    kInputFileButton,
    kInputFile,
    kClearInputFile,
    kEncoding,
    kLanguage,
    kWordRules,
    kIgnoreCommonWords,
    kIgnoreShortWords,
    kShortWordSize,
    kTitleWeight,
    kBoldWeight,
    kTableWeight,
    kDescriptionWeight,
    kItalicWeight,
    kDivWeight,
    kExistingKeywordsWeight,
    kThresholdFrequency,
    kSpanWeight,
    kPreserveCase,
    kSpaceAfterComma,
    kRestoreDefaults,
    kWordsToIgnore,
    kClearWordsToIgnore,
    kBeginMetaTagWith,
    kClearBeginMetaTagWith,
    kMaxKeywords,
    kMaxBytes,
    kShowExisting,
    kListWords,
    kGenerate,
    kHelp,
    kLargeWindow,
    kNumberOfWords,
    kOutput,
    kClearOutput,
    kCopyToClipboard,
    kInsert,
    kQuit,
    kWindow,
};

}  // namespace lumora::app
