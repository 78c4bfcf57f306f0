// Small string routines shared by the scanner, word extraction and the common-word lists.
//
// Positions count from 1, as users of the word list and the messages see them; 0 means
// "not found" and length + 1 means "past the end".
#pragma once

#include <cstdint>

#include "text/chars.h"

namespace lumora::scan {

using Pos = std::int64_t;

// Smallest i >= start at which `sought` stands in `text` ignoring case; 0 when absent.
Pos FindNoCase(Pos start, TextView text, TextView sought);

// Same length and equal character by character after lower-casing both.
bool EqualNoCase(TextView a, TextView b);

// First position after `position` (clamped to the length) that is not a space; the
// character at `position` itself is never looked at.
Pos SkipBlanks(TextView text, Pos position);

// A one-character text that can be part of a word. Empty text gives false.
bool IsWordChar(TextView c, bool allowDigits, TextView extra = {});
bool IsWordChar(Char c, bool allowDigits, TextView extra = {});

// Number of word characters from `start` on, at most 65000.
Pos CountWordChars(TextView text, Pos start, bool allowDigits, TextView extra = {});

inline constexpr Pos kMaxWordRun = 65000;

// Finds the closing delimiter of a script, style or comment block from `start` on.
// Returns the position just past it (found = true), or length + 1 (found = false).
Pos SkipPast(TextView line, Pos start, TextView closing, bool& found);

}  // namespace lumora::scan
