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

// The engine's options for what the window shows. `wordsToIgnore` is the ignore list as
// parsed when its box last lost the focus. A limit box that holds no positive number
// means no limit; a value beyond the box's range counts as its nearest bound.
engine::CountOptions CountOptionsOf(const Options& options, const Text& wordsToIgnore);
engine::TagOptions TagOptionsOf(const Options& options);

}  // namespace lumora::app
