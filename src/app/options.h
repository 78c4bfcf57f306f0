// The options of the main window and their defaults. The window's controls show them;
// the state file and the command-line tool fill them.
#pragma once

#include "engine/engine.h"
#include "text/chars.h"

namespace lumora::app {

// Drop-downs hold list indices and the limit boxes their texts as typed: what the window
// shows. The functions below say what they mean to the engine.
struct Options {
    Text inputFile;
    Text beginMetaTagWith;
    Text wordsToIgnore;
    Text maxKeywords = "50";
    Text maxBytes = "500";
    int shortWordSizeIndex = 1;           // "1".."9": index + 1 letters
    int minFrequencyIndex = 1;            // minimum frequency index + 1
    int tableWeightIndex = 2;             // "0".."9"
    int existingKeywordsWeightIndex = 0;  // "0".."90" in steps of 10
    int boldWeightIndex = 4;
    bool ignoreShortWords = true;
    bool ignoreCommonWords = true;
    bool preserveCase = true;
    bool spaceAfterComma = true;
    int titleWeightIndex = 9;
    int descriptionWeightIndex = 5;
    int italicWeightIndex = 4;
    int divWeightIndex = 2;
    int spanWeightIndex = 4;
    int languageIndex = 0;   // English .. Another
    int encodingIndex = 0;   // kEncodingChoices: 0 detects the page's encoding
    int wordRulesIndex = 0;  // Classic, Today

    bool operator==(const Options&) const = default;
};

// The page-encoding drop-down: "Detect" first, then the encodings a page may be read in,
// each by the name the decoder knows it by. Detect leaves the choice to the page (byte
// order mark, valid UTF-8, declared charset, windows-1252). Labels that browsers read as
// another encoding (ISO-8859-1 is windows-1252) are not listed apart.
inline constexpr const char* kDetectEncoding = "Detect";
inline constexpr const char* kEncodingChoices[] = {
    kDetectEncoding, "UTF-8",        "windows-1252", "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",
    "ISO-8859-5",    "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-10",  "ISO-8859-13",
    "ISO-8859-14",   "ISO-8859-15",  "ISO-8859-16",  "windows-1250", "windows-1251", "windows-1253",
    "windows-1254",  "windows-1255", "windows-1256", "windows-1257", "windows-1258", "windows-874",
    "IBM866",        "KOI8-R",       "KOI8-U",       "macintosh",    "Shift_JIS",    "EUC-JP",
    "ISO-2022-JP",   "EUC-KR",       "GBK",          "gb18030",      "Big5",         "UTF-16LE",
    "UTF-16BE",
};
inline constexpr int kEncodingChoiceCount =
    static_cast<int>(sizeof kEncodingChoices / sizeof kEncodingChoices[0]);

// The encoding the engine is told for a drop-down index: empty (detect) for Detect and
// for an index outside the list.
Text EncodingOverrideOf(int encodingIndex);

// The drop-down index for an encoding name or label as a browser reads it ("latin1" is
// windows-1252); 0 (Detect) for "", "Detect" and anything the list does not hold.
int EncodingIndexOf(TextView name);

// The engine's options for what the window shows. `wordsToIgnore` is the ignore list as
// parsed when its box last lost the focus. A limit box that holds no positive number
// means no limit; a value beyond the box's range counts as its nearest bound.
engine::CountOptions CountOptionsOf(const Options& options, const Text& wordsToIgnore);
engine::TagOptions TagOptionsOf(const Options& options);

}  // namespace lumora::app
