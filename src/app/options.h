// The options of the main window and their defaults. The window's controls show them;
// the state file and the command-line tool fill them.
#pragma once

#include "scan/scanner.h"
#include "text/chars.h"
#include "words/consider.h"

namespace lumora::app {

// Drop-downs hold list indices; what an index means is given by the functions below.
struct Options {
    Text inputFile;
    Text beginMetaTagWith;
    Text wordsToIgnore;
    Text maxKeywords = "50";
    Text maxBytes = "500";
    int shortWordSizeIndex = 1;           // "1".."9": index + 1 letters
    int thresholdIndex = 1;               // minimum frequency index + 1
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
    int languageIndex = 0;  // English .. Another

    bool operator==(const Options&) const = default;
};

inline scan::WeightSettings WeightsOf(const Options& o) {
    scan::WeightSettings w;
    w.title = 10 * o.titleWeightIndex;
    w.description = 10 * o.descriptionWeightIndex;
    w.existingKeywords = 10 * o.existingKeywordsWeightIndex;
    w.bold = o.boldWeightIndex;
    w.italic = o.italicWeightIndex;
    w.table = o.tableWeightIndex;
    w.div = o.divWeightIndex;
    w.span = o.spanWeightIndex;
    return w;
}

inline words::FilterOptions FilterOf(const Options& o) {
    words::FilterOptions f;
    f.ignoreShortWords = o.ignoreShortWords;
    f.shortWordSize = o.shortWordSizeIndex + 1;
    f.ignoreCommonWords = o.ignoreCommonWords;
    f.language = o.languageIndex;
    return f;
}

}  // namespace lumora::app
