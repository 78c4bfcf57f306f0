// Composing the keywords meta tag and the word-list report from the ranked words, and
// the rules of the output box and the two limit boxes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "error/error.h"
#include "text/chars.h"
#include "words/word_table.h"

namespace lumora::output {

struct MetaTagOptions {
    std::optional<int> maxKeywords = 50;  // nullopt (or 0 or less): no limit
    std::optional<int> maxBytes = 500;    // likewise
    Text beginWith;                       // "Begin meta tag with"
    bool preserveCase = true;
    bool spaceAfterComma = true;
    int shortWordSize = 2;  // for the no-words sentence
    int minFrequency = 2;
};

struct MetaTagResult {
    Text output;                  // the new text of the output box
    Text beginWith;               // the "Begin meta tag with" text after trimming
    Text tag;                     // the tag alone; empty with no words
    std::int64_t keywords = 0;    // keywords in the tag
    std::int64_t characters = 0;  // the tag's length as its summary line counts it
};

// The tag and its two summary lines; with no words, the no-words sentence (and the
// "Begin meta tag with" text untouched).
MetaTagResult BuildMetaTag(std::span<const words::WordEntry> ranked, const MetaTagOptions& options);

// Insert's refusal of a tag that holds no keyword (a byte limit too small for any word
// gives CONTENT=""): kNoKeywordFits naming `page` and the byte limit the tag was composed
// with, or kTagWithoutKeyword without a limit (nullopt, or 0 or less); nullopt when the
// tag's content holds a keyword, or when `tag` is not a meta tag at all (that is for other
// checks to refuse).
std::optional<Error> RefuseTagWithoutKeyword(TextView tag, std::optional<int> maxBytes,
                                             const Text& page);

// The numbered word list, or the no-words sentence.
Text ListWords(std::span<const words::WordEntry> ranked, int shortWordSize, int minFrequency);

// "No words with more than N letters occur at least twice." and the like.
Text NoWordsMessage(int shortWordSize, int minFrequency);

// The tag taken back out of the output box, without the summary lines.
Text GetMetaTag(TextView box);

// Strips characters with codes up to 32 from both ends.
void TrimControlChars(Text& text);

// Keeps one leading "+" (and "-" when allowed) and the digits; drops everything else.
void CleanNumericInput(Text& text, bool allowMinus);

// The leading decimal number of a text (blanks before and inside it are passed over;
// nothing numeric gives 0).
double LeadingNumber(TextView text);

// Rounds halves to the even neighbour, clamped to the 32-bit range.
std::int64_t RoundHalfEven(double value);

inline constexpr int kDefaultMaxKeywords = 50;
inline constexpr int kMinKeywords = 5;
inline constexpr int kMaxKeywords = 100;
inline constexpr int kDefaultMaxBytes = 500;
inline constexpr int kMaxBytes = 1000;

// Result of the check that runs when a limit box loses the focus.
struct LimitCheck {
    Text text;  // the cleaned text, or the default when refused
    bool refused = false;
    Text message;  // the refusal's message (shown with no title and no icon)
};
LimitCheck CheckMaxKeywords(TextView text);
LimitCheck CheckMaxBytes(TextView text);

}  // namespace lumora::output
