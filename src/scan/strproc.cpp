#include "scan/strproc.h"

#include <algorithm>

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

Pos SkipBlanks(TextView text, Pos position) {
    const Pos length = static_cast<Pos>(text.size());
    Pos i = std::max<Pos>(std::min(position, length), 0) + 1;
    while (i <= length && text[static_cast<std::size_t>(i - 1)] == ' ') ++i;
    return i;
}

bool IsWordChar(TextView c, bool allowDigits, TextView extra) {
    return !c.empty() && IsWordChar(c.front(), allowDigits, extra);
}

bool IsWordChar(Char c, bool allowDigits, TextView extra) {
    if (Code(c) >= 128)
        return IsLetter(c);
    if (IsLetter(c))
        return true;
    if (allowDigits && IsDigit(c))
        return true;
    return extra.find(c) != TextView::npos;
}

Pos CountWordChars(TextView text, Pos start, bool allowDigits, TextView extra) {
    if (start < 1)
        return 0;
    Pos count = 0;
    for (auto i = static_cast<std::size_t>(start - 1); i < text.size() && count < kMaxWordRun;
         ++i) {
        if (!IsWordChar(text[i], allowDigits, extra))
            break;
        ++count;
    }
    return count;
}

Pos SkipPast(TextView line, Pos start, TextView closing, bool& found) {
    const Pos k = FindNoCase(start, line, closing);
    found = k > 0;
    return found ? k + static_cast<Pos>(closing.size()) : static_cast<Pos>(line.size()) + 1;
}

}  // namespace lumora::scan
