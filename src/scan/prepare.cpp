#include "scan/prepare.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace lumora::scan {

namespace {

struct Replacement {
    std::string_view name;
    Char value;
};

// The five references that become plain characters. They are matched in lower case only,
// also when the case of the page is kept.
constexpr std::array<Replacement, 5> kPlainReferences{{
    {"&nbsp;", ' '},
    {"&#160;", ' '},
    {"&quot;", '"'},
    {"&laquo;", '"'},
    {"&raquo;", '"'},
}};

// Bare context tags by name; the end tag of each gives the matching end marker.
struct ContextTag {
    std::string_view name;
    Char start;
    Char end;
};

constexpr std::array<ContextTag, 11> kContextTags{{
    {"b", marker::kBoldStart, marker::kBoldEnd},
    {"strong", marker::kBoldStart, marker::kBoldEnd},
    {"i", marker::kItalicStart, marker::kItalicEnd},
    {"em", marker::kItalicStart, marker::kItalicEnd},
    {"title", marker::kTitleStart, marker::kTitleEnd},
    {"h1", marker::HeadingStart(1), marker::kHeadingEnd},
    {"h2", marker::HeadingStart(2), marker::kHeadingEnd},
    {"h3", marker::HeadingStart(3), marker::kHeadingEnd},
    {"h4", marker::HeadingStart(4), marker::kHeadingEnd},
    {"h5", marker::HeadingStart(5), marker::kHeadingEnd},
    {"h6", marker::HeadingStart(6), marker::kHeadingEnd},
}};

constexpr std::size_t kLongestTagName = 6;  // "strong"

bool SameName(TextView found, std::string_view name, bool ignoreCase) {
    if (found.size() != name.size())
        return false;
    for (std::size_t k = 0; k < name.size(); ++k) {
        const Char c = ignoreCase ? ToLower(found[k]) : found[k];
        if (c != name[k])
            return false;
    }
    return true;
}

// The marker for a bare context tag starting at `at` (a '<'), with its length; 0 when the
// text there is no such tag.
Char ContextTagAt(TextView line, std::size_t at, bool ignoreCase, std::size_t& length) {
    std::size_t nameStart = at + 1;
    const bool isEnd = nameStart < line.size() && line[nameStart] == '/';
    if (isEnd)
        ++nameStart;
    const std::size_t limit = std::min(line.size(), nameStart + kLongestTagName + 1);
    std::size_t close = nameStart;
    while (close < limit && line[close] != '>') ++close;
    if (close >= limit || close == nameStart)
        return 0;
    const TextView name = line.substr(nameStart, close - nameStart);
    for (const ContextTag& tag : kContextTags) {
        if (SameName(name, tag.name, ignoreCase)) {
            length = close + 1 - at;
            return isEnd ? tag.end : tag.start;
        }
    }
    return 0;
}

// The 62 named references of the Latin-1 letters, sorted by name (byte order).
constexpr std::array<Replacement, 62> kLetterEntities{{
    {"AElig", '\xC6'},  {"Aacute", '\xC1'}, {"Acirc", '\xC2'},  {"Agrave", '\xC0'},
    {"Aring", '\xC5'},  {"Atilde", '\xC3'}, {"Auml", '\xC4'},   {"Ccedil", '\xC7'},
    {"ETH", '\xD0'},    {"Eacute", '\xC9'}, {"Ecirc", '\xCA'},  {"Egrave", '\xC8'},
    {"Euml", '\xCB'},   {"Iacute", '\xCD'}, {"Icirc", '\xCE'},  {"Igrave", '\xCC'},
    {"Iuml", '\xCF'},   {"Ntilde", '\xD1'}, {"Oacute", '\xD3'}, {"Ocirc", '\xD4'},
    {"Ograve", '\xD2'}, {"Oslash", '\xD8'}, {"Otilde", '\xD5'}, {"Ouml", '\xD6'},
    {"THORN", '\xDE'},  {"Uacute", '\xDA'}, {"Ucirc", '\xDB'},  {"Ugrave", '\xD9'},
    {"Uuml", '\xDC'},   {"Yacute", '\xDD'}, {"aacute", '\xE1'}, {"acirc", '\xE2'},
    {"aelig", '\xE6'},  {"agrave", '\xE0'}, {"aring", '\xE5'},  {"atilde", '\xE3'},
    {"auml", '\xE4'},   {"ccedil", '\xE7'}, {"eacute", '\xE9'}, {"ecirc", '\xEA'},
    {"egrave", '\xE8'}, {"eth", '\xF0'},    {"euml", '\xEB'},   {"iacute", '\xED'},
    {"icirc", '\xEE'},  {"igrave", '\xEC'}, {"iuml", '\xEF'},   {"ntilde", '\xF1'},
    {"oacute", '\xF3'}, {"ocirc", '\xF4'},  {"ograve", '\xF2'}, {"oslash", '\xF8'},
    {"otilde", '\xF5'}, {"ouml", '\xF6'},   {"szlig", '\xDF'},  {"thorn", '\xFE'},
    {"uacute", '\xFA'}, {"ucirc", '\xFB'},  {"ugrave", '\xF9'}, {"uuml", '\xFC'},
    {"yacute", '\xFD'}, {"yuml", '\xFF'},
}};

constexpr bool ByName(const Replacement& a, const Replacement& b) {
    return a.name < b.name;
}
static_assert(std::is_sorted(kLetterEntities.begin(), kLetterEntities.end(), ByName));

// The letter of the reference "&name;", or 0 when the name is not in the table.
Char LetterOf(TextView name) {
    const auto it = std::lower_bound(kLetterEntities.begin(), kLetterEntities.end(),
                                     Replacement{name, 0}, ByName);
    return (it != kLetterEntities.end() && it->name == name) ? it->value : Char{0};
}

}  // namespace

// Every pattern runs from a '<' or '&' to the first '>' or ';' and holds no other of
// these, and every replacement is a character no pattern contains. So no two matches
// overlap and no replacement can make or break another match: one pass from the left
// gives what replacing each pattern in turn over the whole line would give.
void PrepareLine(Text& line, bool lowerCaseOnly) {
    const TextView in = line;
    // Only '<' and '&' can start a replacement; the text between them is copied in spans.
    auto nextSpecial = [&in](std::size_t from) {
        while (from < in.size() && in[from] != '<' && in[from] != '&') ++from;
        return from;
    };
    std::size_t i = nextSpecial(0);
    if (i == in.size())
        return;
    Text out;
    out.reserve(in.size());
    std::size_t copied = 0;  // everything before this has been written to `out`
    while (i < in.size()) {
        Char replacement = 0;
        std::size_t length = 0;
        if (in[i] == '<') {
            replacement = ContextTagAt(in, i, !lowerCaseOnly, length);
        } else {
            for (const Replacement& r : kPlainReferences) {
                if (in.substr(i, r.name.size()) == r.name) {
                    replacement = r.value;
                    length = r.name.size();
                    break;
                }
            }
        }
        if (replacement != 0) {
            out.append(in.substr(copied, i - copied));
            out.push_back(replacement);
            i += length;
            copied = i;
        } else {
            ++i;
        }
        i = nextSpecial(i);
    }
    if (copied == 0)
        return;
    out.append(in.substr(copied));
    line = std::move(out);
}

void DecodeEntities(Text& line) {
    const TextView in = line;
    std::size_t amp = in.find('&');
    if (amp == TextView::npos)
        return;
    Text out;
    out.reserve(in.size());
    std::size_t copied = 0;  // everything before this has been written to `out`
    while (amp != TextView::npos) {
        const std::size_t semi = in.find(';', amp);
        if (semi == TextView::npos)
            break;
        // The candidate runs from the ampersand to the next semicolon, whatever lies
        // between; the search goes on after it whether it was a letter or not.
        const Char letter = LetterOf(in.substr(amp + 1, semi - amp - 1));
        if (letter != 0) {
            out.append(in.substr(copied, amp - copied));
            out.push_back(letter);
            copied = semi + 1;
        }
        amp = in.find('&', semi + 1);
    }
    if (copied == 0)
        return;
    out.append(in.substr(copied));
    line = std::move(out);
}

}  // namespace lumora::scan
