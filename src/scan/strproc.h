// Small string routines shared by the scanner, word extraction and the common-word lists.
//
// Positions count from 1 and are byte positions in the UTF-8 text; 0 means "not found"
// and length + 1 means "past the end".
#pragma once

#include <cstdint>

#include "scan/byte_scan.h"
#include "text/chars.h"

namespace lumora::scan {

using Pos = std::int64_t;

// Smallest i >= start at which `sought` stands in `text` ignoring case; 0 when absent.
Pos FindNoCase(Pos start, TextView text, TextView sought);

// Same length and equal character by character after lower-casing both.
bool EqualNoCase(TextView a, TextView b);

// The character can be part of a word: a letter, a digit when `allowDigits`, or an ASCII
// character of `extra`.
bool IsWordChar(CodePoint cp, bool allowDigits, TextView extra = {});

// The run of word characters that starts at byte offset `at` (0-based): its length in
// bytes and in characters, at most kMaxWordRun characters.
struct WordRun {
    std::size_t bytes = 0;
    std::size_t chars = 0;
    bool ascii = true;  // every character of the run is ASCII
};
WordRun WordRunAt(TextView text, std::size_t at, bool allowDigits, TextView extra = {});

inline constexpr Pos kMaxWordRun = 65000;

// WordRunAt(text, at, false), answered at once for a run of ASCII letters that ASCII ends.
inline WordRun LetterRunAt(TextView text, std::size_t at) {
    const auto limit = static_cast<std::size_t>(kMaxWordRun);
    const std::size_t letters = AsciiLettersAt(text, at, limit);
    const std::size_t end = at + letters;
    if (letters == limit || end >= text.size() || IsAscii(text[end]))
        return {letters, letters, true};
    return WordRunAt(text, at, false);
}

// WordRunAt(text, at, true) for a word that starts with a letter, answered at once for a run
// of ASCII letters and digits that ASCII ends.
inline WordRun LetterOrDigitRunAt(TextView text, std::size_t at) {
    const auto limit = static_cast<std::size_t>(kMaxWordRun);
    std::size_t end = at + AsciiLettersAt(text, at, limit);
    while (end < text.size() && end - at < limit) {
        if (text[end] >= '0' && text[end] <= '9')
            ++end;
        else if (IsAsciiLetter(text[end]))
            end += AsciiLettersAt(text, end, limit - (end - at));
        else
            break;
    }
    if (end - at >= limit || end >= text.size() || IsAscii(text[end]))
        return {end - at, end - at, true};
    return WordRunAt(text, at, true);
}

// Finds the closing delimiter of a script, style or comment block from `start` on.
// Returns the position just past it (found = true), or length + 1 (found = false).
Pos SkipPast(TextView line, Pos start, TextView closing, bool& found);

}  // namespace lumora::scan
