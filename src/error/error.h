// Every failure the program reports, as a value, and the one table of the texts that tell
// them. Low in the program (it needs only text/), so that the files layer, insert and the
// engine all report through it and the fronts only choose where a message is shown.
#pragma once

#include <cstdint>

#include "text/chars.h"
#include "text/encoding.h"

namespace lumora {

struct Error {
    enum class Code {
        // Reading a page for a pass.
        kEmptyPage,            // zero length
        kNotText,              // a NUL byte at `position`
        kUnknownEncoding,      // `subject` is the encoding's name, as given
        kEncodingUnavailable,  // known, but not convertible here; `subject` as above
        kFileMissing,
        kFileUnreadable,
        kNotRegularFile,  // a folder, FIFO, socket or device
        kWrongExtension,  // the page's name does not look like an HTML page
        kInvalidName,     // the page's name has no usable extension
        kOutOfMemory,     // the page, or what reading it takes, did not fit in memory
        // Looking at, reading and replacing files.
        kNoSuchFile,
        kCannotExamine,  // the file could not even be looked at; `detail` is the system's text
        kReadFailed,     // `detail` is the system's text
        kReadOnly,
        kHardLinks,         // `count` names
        kReplaceFailed,     // nothing changed; `detail` is the system's text
        kNotDurable,        // replaced, but the folder could not be made durable
        kChangedMeanwhile,  // the page was saved, replaced or deleted while it was tagged
        kCannotList,        // a page argument or a folder of pages that could not be looked at
                            // or listed; `detail` is the system's text
        kNoPages,           // a folder of pages in which no page was found
        kLinkOutside,       // a symbolic link met in a folder walk leads to `detail`, outside
                            // the folders given
        // Inserting the tag into a page.
        kNotATag,            // the text is not one keywords meta tag
        kNoKeyword,          // the tag's content is empty
        kTagWithoutKeyword,  // likewise, found before the page is looked at
        kNoKeywordFits,      // the byte limit `count` leaves the tag empty
        kNowhereToInsert,    // the page holds no mark-up at all, so it has no head
        kWideEncoding,       // a UTF-16 page, whose mark-up is not in single bytes
        kStatefulEncoding,   // an ISO-2022 page, `subject`; its characters hold mark-up bytes
        kNoBackupName,       // no "." before which "bak" could go
        kSharedBackup,       // in a folder of backups, `detail` is another page's backup
        // The window's own checks of the page named in its box.
        kNoPageGiven,
        // A common-word list that gave no words; `subject` is the list's language.
        kCommonWordsUnavailable,   // missing, or told without its reason
        kCommonWordsDamaged,       // line `position` holds the control character `count`
        kCommonWordsEmpty,         // zero length
        kCommonWordsWithoutWords,  // read, but not one word in it
        kCommonWordsUnreadable,    // `detail` is the reading's own message
        // Saving the options carried to the next run.
        kStateNotSaved,    // the old file is untouched; `detail` is the system's text
        kStateNotDurable,  // replaced, but the folder could not be made durable
        kStateUnreadable,  // not a settings file of ours; `detail` says why
    };
    static constexpr int kCodeCount = static_cast<int>(Code::kStateUnreadable) + 1;

    Code code;
    Text path{};  // the file concerned, when there is one
    std::int64_t position = 0;
    Text detail{};  // the system's description, the option's range, ...
    std::int64_t count = 0;
    Text subject{};  // what the failure concerns besides a file: a common-word list's language

    // The text shown to the user; a failure that concerns a file names it.
    Text Message() const;
    // The title of the message box, or of "Title: prompt" on a console.
    Text Title() const;
    // The title when the failure stopped an insert: a page that insert checked and left
    // alone is "Not inserted", whatever the reason.
    Text TitleWhenInserting() const;
};

// The failure of decoding `path` from, or encoding a tag into, an encoding.
Error EncodingFailure(const text::EncodingError& error, Text path = {});

}  // namespace lumora
