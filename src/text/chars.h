// Characters and texts of the analysis core.
//
// A page is read as bytes: one byte is one Latin-1 (Windows-1252) character, and every
// code from 0 to 255 must come out exactly as it went in. These aliases and the
// character classes below are the only place that knows this, so that a wider character
// type can replace them later without touching the rest of the core.
#pragma once

#include <string>
#include <string_view>

namespace lumora {

using Char = char;
using Text = std::string;
using TextView = std::string_view;

// The character's code, 0 to 255.
inline constexpr unsigned Code(Char c) {
    return static_cast<unsigned char>(c);
}

// Letters that can make up a word: A-Z, a-z and the Latin-1 letters 192-255 except the
// multiplication (215) and division (247) signs.
inline constexpr bool IsLetter(Char c) {
    const unsigned b = Code(c);
    if (b < 128)
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    return b >= 192 && b != 215 && b != 247;
}

inline constexpr bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

// Lower-casing maps A-Z and the accented Latin-1 capitals (192-222 except 215).
inline constexpr Char ToLower(Char c) {
    const unsigned b = Code(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 192 && b <= 222 && b != 215)) {
        return static_cast<Char>(b + 32);
    }
    return c;
}

// Upper-casing is the inverse of ToLower on the letters it maps.
inline constexpr Char ToUpper(Char c) {
    const unsigned b = Code(c);
    if ((b >= 'a' && b <= 'z') || (b >= 224 && b <= 254 && b != 247)) {
        return static_cast<Char>(b - 32);
    }
    return c;
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

}  // namespace lumora
