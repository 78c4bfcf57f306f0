#include "error/error.h"

#include <array>
#include <string>

namespace lumora {

namespace {

using Code = Error::Code;

// Every message of the program that concerns a page, a data file or an option: its title,
// its title when it stopped an insert (null: the same) and its text. `{file}` stands for
// " " and the file's name (nothing without one), `{path}` for the file's name ("The page"
// without one), `{position}`, `{count}`, `{detail}` and `{subject}` for the error's other
// fields.
struct MessageEntry {
    Code code;
    const char* title;
    const char* insertTitle;
    const char* text;
};

constexpr const char* kNotInserted = "Not inserted";
constexpr const char* kCommonWordsTitle = "Common words not available";
constexpr const char* kSaveStateTitle = "Save state";

constexpr MessageEntry kMessages[] = {
    {Code::kEmptyPage, "Empty file", nullptr,
     "The input file{file} is empty (its length is zero), so there is nothing to analyse."},
    {Code::kNotText, "Not a text file", nullptr,
     "The input file{file} contains a NUL byte at position {position}. It does not appear to "
     "be a text file and cannot be processed."},
    {Code::kUnknownEncoding, "Error", nullptr, "Unknown encoding: {subject}"},
    {Code::kEncodingUnavailable, "Error", nullptr,
     "The encoding {subject} cannot be converted on this system."},
    {Code::kFileMissing, "File not found", nullptr,
     "The input file{file} could not be found. It may have been moved, renamed or deleted."},
    {Code::kFileUnreadable, "Error", nullptr, "The input file{file} could not be read: {detail}"},
    {Code::kNotRegularFile, "Error", kNotInserted, "{path} is not a regular file"},
    {Code::kWrongExtension, "Unsupported file type", nullptr,
     "The input file{file} must be an HTML page: its extension has to contain \"htm\" (for "
     "example .htm, .html or .shtml) or be \"php\"."},
    {Code::kInvalidName, "Invalid input", nullptr, "Invalid input file specification{file}"},
    {Code::kOutOfMemory, "Error", nullptr, "not enough memory to read {path}"},

    {Code::kNoSuchFile, "Error", kNotInserted, "{path} does not exist"},
    {Code::kCannotExamine, "Error", kNotInserted, "{path} could not be read: {detail}"},
    {Code::kReadFailed, "Error", nullptr, "{path} could not be read: {detail}"},
    {Code::kReadOnly, kNotInserted, nullptr, "{path} is read-only"},
    {Code::kHardLinks, kNotInserted, nullptr,
     "{path} has {count} hard links; it was left alone, because a new version under this name "
     "would no longer be the file its other names show"},
    {Code::kReplaceFailed, "Error", nullptr, "Could not replace {path}: {detail}"},
    {Code::kNotDurable, "Error", nullptr,
     "{path} was replaced, but the change may not have reached the disk: {detail}"},
    {Code::kChangedMeanwhile, kNotInserted, nullptr,
     "{path} changed while it was being tagged; nothing written"},
    {Code::kCannotList, "Error", nullptr, "{path}: {detail}"},
    {Code::kNoPages, "Error", nullptr, "No page found in {path}"},
    {Code::kLinkOutside, "Error", kNotInserted,
     "{path} was left out: it is a symbolic link to {detail}, outside the folders given"},

    {Code::kNotATag, "Error", nullptr, "No meta tag to insert."},
    {Code::kNoKeyword, kNotInserted, nullptr, "Meta tag not inserted because it holds no keyword."},
    {Code::kTagWithoutKeyword, kNotInserted, nullptr,
     "Meta tag not inserted into {path}: it holds no keyword."},
    {Code::kNoKeywordFits, kNotInserted, nullptr,
     "Meta tag not inserted into {path}: no keyword fits in {count} characters."},
    {Code::kNowhereToInsert, kNotInserted, nullptr,
     "Meta tag not inserted because {path} holds no HTML mark-up, so it has no head where the "
     "tag could go."},
    {Code::kWideEncoding, kNotInserted, nullptr,
     "Meta tag not inserted because {path} is written in UTF-16; save it as UTF-8 to insert "
     "the tag."},
    {Code::kStatefulEncoding, kNotInserted, nullptr,
     "Meta tag not inserted because {path} is written in {subject}, whose characters can look "
     "like mark-up; save it as UTF-8 to insert the tag."},
    {Code::kNoBackupName, kNotInserted, nullptr,
     "No backup can be made of {path}: its name has no \".\" before which \"bak\" could go."},
    {Code::kSharedBackup, kNotInserted, nullptr,
     "{path} was left alone: its backup {detail} is the backup of another page of this run."},

    {Code::kNoPageGiven, "Error", nullptr, "Input file not specified."},

    {Code::kCommonWordsUnavailable, kCommonWordsTitle, nullptr,
     "Common words in {subject} could not be read from file\r\n{path}"},
    {Code::kCommonWordsDamaged, kCommonWordsTitle, nullptr,
     "Common words in {subject} could not be read from file\r\n{path}\r\nline {position} holds the "
     "control character {count}"},
    {Code::kCommonWordsEmpty, kCommonWordsTitle, nullptr,
     "Common words in {subject} could not be read from file\r\n{path}\r\nthe file is empty"},
    {Code::kCommonWordsWithoutWords, kCommonWordsTitle, nullptr,
     "Common words in {subject} could not be read from file\r\n{path}\r\nthe file holds no words"},
    {Code::kCommonWordsUnreadable, kCommonWordsTitle, nullptr,
     "Common words in {subject} could not be read from file\r\n{path}\r\n{detail}"},

    {Code::kStateNotSaved, kSaveStateTitle, nullptr,
     "Error when attempting to save the state: Could not replace {path}: {detail}"},
    {Code::kStateNotDurable, kSaveStateTitle, nullptr,
     "Error when attempting to save the state: {path} was replaced, but the change may not have "
     "reached the disk: {detail}"},
    {Code::kStateUnreadable, "Settings", nullptr,
     "Settings file {path} could not be read; defaults are used.\r\n{detail}"},
};

// One row per code, in the order of the codes, so that a code finds its row by number.
constexpr bool EveryCodeInItsRow() {
    if (std::size(kMessages) != static_cast<std::size_t>(Error::kCodeCount))
        return false;
    for (std::size_t i = 0; i < std::size(kMessages); ++i) {
        if (static_cast<std::size_t>(kMessages[i].code) != i)
            return false;
    }
    return true;
}
static_assert(EveryCodeInItsRow(), "every error code needs its row, in the order of the codes");

const MessageEntry& EntryOf(Code code) {
    return kMessages[static_cast<std::size_t>(code)];
}

}  // namespace

Text Error::Message() const {
    // One pass over the template, so that a file name holding braces stays as it is.
    const TextView pattern = EntryOf(code).text;
    Text text;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t open = pattern.find('{', i);
        const std::size_t close = pattern.find('}', open);
        if (open == TextView::npos || close == TextView::npos) {
            text.append(pattern.substr(i));
            break;
        }
        text.append(pattern.substr(i, open - i));
        const TextView field = pattern.substr(open + 1, close - open - 1);
        if (field == "file") {
            text.append(path.empty() ? "" : " " + path);
        } else if (field == "path") {
            text.append(path.empty() ? Text("The page") : path);
        } else if (field == "position") {
            text.append(std::to_string(position));
        } else if (field == "count") {
            text.append(std::to_string(count));
        } else if (field == "subject") {
            text.append(subject);
        } else {
            text.append(detail);
        }
        i = close + 1;
    }
    return text;
}

Error EncodingFailure(const text::EncodingError& error, Text path) {
    const Error::Code code = error.kind == text::EncodingError::Kind::kUnknownEncoding
                                 ? Error::Code::kUnknownEncoding
                                 : Error::Code::kEncodingUnavailable;
    return Error{code, std::move(path), 0, {}, 0, error.name};
}

Text Error::Title() const {
    return EntryOf(code).title;
}

Text Error::TitleWhenInserting() const {
    const MessageEntry& entry = EntryOf(code);
    return entry.insertTitle != nullptr ? entry.insertTitle : entry.title;
}

}  // namespace lumora
