#include "scan/strproc.h"

#include <algorithm>

#include "scan/byte_scan.h"

namespace lumora::scan {

namespace {

bool MatchesNoCaseAt(TextView text, std::size_t at, TextView sought) {
    if (at > text.size() || text.size() - at < sought.size())
        return false;
    for (std::size_t k = 0; k < sought.size(); ++k) {
        if (ToLower(text[at + k]) != ToLower(sought[k]))
            return false;
    }
    return true;
}

}  // namespace

Pos FindNoCase(Pos start, TextView text, TextView sought) {
    const Pos length = static_cast<Pos>(text.size());
    const Pos last = length - static_cast<Pos>(sought.size()) + 1;
    for (Pos i = std::max<Pos>(start, 1); i <= last; ++i) {
        if (MatchesNoCaseAt(text, static_cast<std::size_t>(i - 1), sought))
            return i;
    }
    return 0;
}

bool EqualNoCase(TextView a, TextView b) {
    return a.size() == b.size() && MatchesNoCaseAt(a, 0, b);
}

bool IsWordChar(CodePoint cp, bool allowDigits, TextView extra) {
    if (IsLetter(cp))
        return true;
    if (cp >= 0x80)
        return false;
    const Char c = static_cast<Char>(cp);
    if (allowDigits && IsDigit(c))
        return true;
    return extra.find(c) != TextView::npos;
}

namespace {

// The zero-width non-joiner and joiner belong to words of Persian and of Indic scripts
// ("می‌خواهم"): between a letter and a letter or mark they are part of the word.
bool IsJoinerInsideWord(TextView text, std::size_t at, const Decoded& d) {
    if (d.cp != 0x200C && d.cp != 0x200D)
        return false;
    const std::size_t next = at + d.length;
    if (next >= text.size())
        return false;
    const CodePoint after = CharAt(text, next).cp;
    return IsLetter(after) || IsMark(after);
}

}  // namespace

WordRun WordRunAt(TextView text, std::size_t at, bool allowDigits, TextView extra) {
    WordRun run;
    // The fast path: most words of most pages are ASCII letters through and through.
    const auto maxChars = static_cast<std::size_t>(kMaxWordRun);
    run.chars = AsciiLettersAt(text, at, maxChars);
    std::size_t i = at + run.chars;
    while (i < text.size() && run.chars < maxChars) {
        const Char c = text[i];
        if (IsAscii(c)) {
            if (!IsAsciiLetter(c) && !(allowDigits && IsDigit(c)) &&
                extra.find(c) == TextView::npos) {
                break;
            }
            ++i;
        } else {
            const Decoded d = DecodeAt(text, i);
            if (!IsWordChar(d.cp, allowDigits, extra) && !(run.chars > 0 && IsMark(d.cp)) &&
                !(run.chars > 0 && IsJoinerInsideWord(text, i, d))) {
                break;
            }
            i += d.length;
            run.ascii = false;
        }
        ++run.chars;
    }
    run.bytes = i - at;
    return run;
}

Pos SkipPast(TextView line, Pos start, TextView closing, bool& found) {
    const Pos k = FindNoCase(start, line, closing);
    found = k > 0;
    return found ? k + static_cast<Pos>(closing.size()) : static_cast<Pos>(line.size()) + 1;
}

}  // namespace lumora::scan
