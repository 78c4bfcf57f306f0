// Characters and texts of the analysis core.
//
// Every text inside the core is UTF-8: a page is decoded once, when it is read (see
// text/encoding.h), and encoded again only where bytes go back into the page. UTF-8 keeps
// the mark-up (< > & ; " and the tag names) and the context markers (codes 1 to 17) as
// single bytes that no other character's bytes can imitate, so the scanner finds them
// byte by byte, and a page of plain ASCII takes the fast paths below without decoding.
//
// Two kinds of lower-casing exist and must not be mixed up:
// - ToLower, Lower and LowerInPlace touch ASCII letters only and keep every byte where it
//   was: for searching mark-up ("<title>", "content") in a copy of a line and cutting the
//   found text out of the line itself;
// - LowerLetters and LowerLettersInPlace map every letter by Unicode simple case mapping
//   (À->à, Σ->σ, Ж->ж): for words. The byte length may change.
// The character classes (letter, mark, case, NFC) come from utf8proc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumora {

using Char = char;
using Text = std::string;
using TextView = std::string_view;

// A Unicode code point.
using CodePoint = char32_t;
inline constexpr CodePoint kReplacementCharacter = 0xFFFD;

// The byte's code, 0 to 255.
inline constexpr unsigned Code(Char c) {
    return static_cast<unsigned char>(c);
}

inline constexpr bool IsAscii(Char c) {
    return Code(c) < 0x80;
}

inline constexpr bool IsAsciiLetter(Char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline constexpr bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

// ASCII letters only, byte for byte (see above).
inline constexpr Char ToLower(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c + 32) : c;
}

inline constexpr Char ToUpper(Char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 32) : c;
}

inline void LowerInPlace(Text& text) {
    for (Char& c : text) c = ToLower(c);
}

inline Text Lower(TextView text) {
    Text result(text);
    LowerInPlace(result);
    return result;
}

// The text without blanks (code 32 only; tabs stay) at either end.
inline TextView TrimBlanks(TextView text) {
    const auto first = text.find_first_not_of(' ');
    if (first == TextView::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// ---- UTF-8 ---------------------------------------------------------------------------

// The character that starts at `at` (which must be inside the text) and the number of
// its bytes. A byte that does not start a well-formed sequence is read as one
// U+FFFD of one byte, so a walk over damaged text always moves on.
struct Decoded {
    CodePoint cp;
    std::size_t length;
};
Decoded DecodeAt(TextView text, std::size_t at);

inline Decoded CharAt(TextView text, std::size_t at) {
    const Char c = text[at];
    if (IsAscii(c))
        return {static_cast<CodePoint>(Code(c)), 1};
    return DecodeAt(text, at);
}

// Where the character that ends just before `end` starts (0 < end <= size).
std::size_t StartOfCharBefore(TextView text, std::size_t end);

void AppendUtf8(Text& out, CodePoint cp);

// Number of characters (code points) in the text.
std::size_t CharCount(TextView text);

bool IsValidUtf8(TextView text);

// ---- character classes ---------------------------------------------------------------

// Unicode letters: general categories Lu, Ll, Lt, Lm, Lo.
bool IsLetter(CodePoint cp);
// Combining marks (Mn, Mc, Me): part of a word when they follow a letter.
bool IsMark(CodePoint cp);
// Decimal digits 0-9 only: digits of other scripts are not read as numbers.
inline constexpr bool IsDigit(CodePoint cp) {
    return cp >= '0' && cp <= '9';
}
// The apostrophes of contractions: ' and the right single quotation mark.
inline constexpr bool IsApostrophe(CodePoint cp) {
    return cp == '\'' || cp == 0x2019;
}

// Unicode simple case mapping: one character to one character.
CodePoint LowerChar(CodePoint cp);
CodePoint UpperChar(CodePoint cp);

// The letter belongs to the Latin script (the Latin blocks of Unicode).
bool IsLatinLetter(CodePoint cp);

// The base letter of a precomposed character (ő -> o), or the character itself when it
// has no canonical decomposition.
CodePoint BaseLetter(CodePoint cp);

// Every letter lower-cased by simple case mapping (see above).
Text LowerLetters(TextView text);
void LowerLettersInPlace(Text& text);

// The text in Normalization Form C; a text that is NFC already is returned as it is.
Text Nfc(TextView text);
// False when the text is certainly in NFC already: each character is its own NFC form
// and none can compose with the one before it (checked quickly, character by character).
bool MayNeedNfc(TextView text);
// The character is its own NFC form and never composes with a character before it.
bool IsNfcStable(CodePoint cp);

}  // namespace lumora
