// The chain of tests that decides whether a word cut by the scanner is a keyword
// candidate.
#pragma once

#include <unordered_set>

#include "text/chars.h"
#include "words/common_words.h"
#include "words/word_table.h"

namespace lumora::words {

inline constexpr int kMaxWordLength = 60;

struct FilterOptions {
    bool ignoreShortWords = true;
    int shortWordSize = 2;  // words of this many letters or fewer are short
    bool ignoreCommonWords = true;
    int language = 0;  // index in the language drop-down; 0 is English
    // Today's rules: acronyms may pass the letter tests, the -ly/-ed test is for English
    // words in lower case only, a page not in English loses English common words too, and
    // only a true Roman numeral counts as one.
    bool today = false;
};

enum class Verdict {
    kDropped,
    kCounted,
    // Today's rules: the word fails the no-vowel or Roman-numeral test, and counts only if
    // the page writes it in capitals somewhere or names it in its title.
    kCountedIfAcronym,
};

// Whether the word cut by the scanner is counted. `ignoreList` is the user's words, lower
// case, each followed by a comma; a word is dropped only when it is one of those words as a
// whole.
Verdict ConsiderWord(TextView word, const FilterOptions& options, TextView ignoreList,
                     const CommonWordLists& commonWords);

// The word is in the common-word list of the page's language (under today's rules, of
// English too on a page in another language).
bool IsCommonWordOfPage(TextView word, const FilterOptions& options,
                        const CommonWordLists& commonWords);

// Today's rules: a word of 2 to 6 letters, all of them capitals (digits may stand among
// them: HTML5), which the page thereby shows to be an acronym.
bool WrittenAsAcronym(TextView word);
// Today's rules: the word fails the no-vowel test or is a true Roman numeral (xiv, not
// civil), so it counts only as an acronym.
bool FailsLetterTests(TextView word);

// Helpers of the chain, public for their own tests.
bool HasNoVowel(TextView word, bool countY);
bool IsContractionStem(TextView word);

// Today's rules: what a page shows of its acronyms while it is read, and the words that
// needed to be one and were not shown as one, taken from the counted table at the end.
class AcronymWatch {
  public:
    // Every distinct spelling the page uses, once, with what the filters said of it.
    void Judged(TextView word, Verdict verdict) {
        if (WrittenAsAcronym(word))
            shown_.insert(LowerLetters(word));
        pending_ = pending_ || verdict == Verdict::kCountedIfAcronym;
    }
    // A word whose verdict was kCountedIfAcronym, met in the title.
    void InTitle(TextView word) { shown_.insert(LowerLetters(word)); }

    void Settle(WordTable& table) const;
    std::size_t Bytes() const;

  private:
    std::unordered_set<Text> shown_;  // lower case
    bool pending_ = false;
};

}  // namespace lumora::words
