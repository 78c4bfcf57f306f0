// Preparing a line of the page for the scanner.
//
// The bare context tags (<b>, <strong>, <i>, <em>, <title>, <h1>..<h6> and their end
// tags) become one-character markers, five common references become plain characters,
// and the other character references become the characters they name, in UTF-8. Each
// routine makes one pass over the line, so a page that arrives as one huge line costs
// linear time.
#pragma once

#include "text/chars.h"

namespace lumora::scan {

// Context markers written in place of the bare tags. The page's own control characters
// (other than tab) become blanks when a line is made ready, so these can never come from
// the page itself.
namespace marker {
inline constexpr Char kHeadingEnd = 7;  // </h1> .. </h6>; <hN> becomes 7 - N
inline constexpr Char kBoldStart = 11;
inline constexpr Char kBoldEnd = 12;
inline constexpr Char kTitleStart = 14;
inline constexpr Char kTitleEnd = 15;
inline constexpr Char kItalicStart = 16;
inline constexpr Char kItalicEnd = 17;
inline constexpr Char HeadingStart(int level) {
    return static_cast<Char>(7 - level);
}
}  // namespace marker

// Replaces each named reference of HTML (&eacute;, &rsquo;; case exact) and each numeric
// one (&#233;, &#xE9;; any code point, &#128; to &#159; read as windows-1252 as browsers
// do) by its character. Decoded ASCII other than letters, digits and the apostrophe
// becomes a blank, so that a decoded < or & opens nothing. A candidate always runs from
// an ampersand to the next semicolon.
void DecodeEntities(Text& line);
// The same, building the result in `scratch` and swapping it in: a caller that keeps both
// texts from line to line allocates nothing once they have grown.
void DecodeEntities(Text& line, Text& scratch);

// A line of the page (without its line end) made ready for the scanner, in `line`: the
// blanks and stray control characters at either end dropped, the others made blanks
// (tabs stay), every letter lower-cased when `lowerCase`, its tags turned into the scanner's
// context markers, decoded as by DecodeEntities, and one blank appended. False, and nothing to
// scan, when the line holds nothing else. `line` and `scratch` are reused from line to line.
bool ReadyLine(TextView raw, bool lowerCase, Text& line, Text& scratch);

}  // namespace lumora::scan
