// The chain of tests that decides whether a word cut by the scanner is a keyword
// candidate.
#pragma once

#include "text/chars.h"
#include "words/common_words.h"

namespace lumora::words {

inline constexpr int kMaxWordLength = 60;

struct FilterOptions {
    bool ignoreShortWords = true;
    int shortWordSize = 2;  // words of this many letters or fewer are short
    bool ignoreCommonWords = true;
    int language = 0;  // index in the language drop-down; 0 is English
};

// True when the word survives every test and should be counted. `ignoreList` is the
// user's words, lower case, each followed by a comma; a word is dropped only when it is
// one of those words as a whole.
bool ConsiderWord(TextView word, const FilterOptions& options, TextView ignoreList,
                  const CommonWordLists& commonWords);

// Helpers of the chain, public for their own tests.
bool HasNoVowel(TextView word, bool countY);
bool IsContractionStem(TextView word);

}  // namespace lumora::words
