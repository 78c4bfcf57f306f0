#include "scan/prepare.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>

#include "scan/byte_scan.h"
#include "text/encoding.h"

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
    // Most tags of a page are none of these, and their first letter tells so at once.
    if (nameStart >= line.size())
        return 0;
    const Char first = ignoreCase ? ToLower(line[nameStart]) : line[nameStart];
    if (first != 'b' && first != 'e' && first != 'h' && first != 'i' && first != 's' &&
        first != 't') {
        return 0;
    }
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

// HTML's named references (two characters for a few of them).
struct NamedReference {
    std::string_view name;
    CodePoint first;
    CodePoint second;  // 0 when the name stands for one character
};

constexpr NamedReference kNamedReferences[] = {
#include "scan/entity_table.inc"
};

constexpr bool ByName(const NamedReference& a, const NamedReference& b) {
    return a.name < b.name;
}
static_assert(std::is_sorted(std::begin(kNamedReferences), std::end(kNamedReferences), ByName));

const NamedReference* FindNamed(TextView name) {
    const auto it = std::lower_bound(std::begin(kNamedReferences), std::end(kNamedReferences),
                                     NamedReference{name, 0, 0}, ByName);
    return (it != std::end(kNamedReferences) && it->name == name) ? it : nullptr;
}

// The character of a numeric reference's text after "&#" ("233", "xE9"), as a browser
// reads it; nothing when the text is not a number.
std::optional<CodePoint> NumericReference(TextView digits) {
    unsigned base = 10;
    if (!digits.empty() && (digits.front() == 'x' || digits.front() == 'X')) {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (const Char c : digits) {
        unsigned d = 0;
        if (IsDigit(c)) {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        // Anything beyond the last code point stays beyond it.
        value = std::min<std::uint32_t>(value * base + d, 0x110000);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacementCharacter;
    if (value >= 0x80 && value < 0xA0)
        return text::Windows1252Char(static_cast<unsigned char>(value));  // as browsers do
    return static_cast<CodePoint>(value);
}

// Appends a decoded character. ASCII that is neither a letter, a digit nor the
// apostrophe becomes a blank: a decoded < or & must not open a tag or a reference, and a
// decoded control character must not pass for a context marker.
void AppendDecoded(Text& out, CodePoint cp) {
    if (cp < 0x80 && !IsAsciiLetter(static_cast<Char>(cp)) && !IsDigit(cp) && cp != '\'') {
        out.push_back(' ');
        return;
    }
    AppendUtf8(out, cp);
}

// How the preparation treats each byte of a line: most are copied as they are.
enum class ByteRole : std::uint8_t { kCopied, kBlank, kTagStart, kReferenceStart };

constexpr std::array<ByteRole, 256> kByteRoles = [] {
    std::array<ByteRole, 256> roles{};
    for (unsigned c = 0; c < 32; ++c) roles[c] = c == '\t' ? ByteRole::kCopied : ByteRole::kBlank;
    roles['<'] = ByteRole::kTagStart;
    roles['&'] = ByteRole::kReferenceStart;
    return roles;
}();

// The character of one of the five plain references starting at `at` (an '&'), with its
// length; 0 when none stands there.
Char PlainReferenceAt(TextView line, std::size_t at, std::size_t& length) {
    for (const Replacement& r : kPlainReferences) {
        if (line.substr(at, r.name.size()) == r.name) {
            length = r.name.size();
            return r.value;
        }
    }
    return 0;
}

// Every pattern runs from a '<' or '&' to the first '>' or ';' and holds no other of
// these, nor a blank or a control character, and every replacement is a character no
// pattern contains. So no two matches overlap and no replacement can make or break
// another match: one pass from the left gives what replacing each pattern in turn over
// the whole line would give, and it does not matter whether the stray control characters
// have become blanks before.
//
// Writes the prepared `in` to `out` (never longer than `in`); true when an ampersand is
// left in it, that is when there may be references to decode.
bool PrepareInto(TextView in, bool ignoreCase, Text& out) {
    const std::size_t size = in.size();
    const Char* const from = in.data();
    out.resize(size);
    Char* const begin = out.data();
    Char* to = begin;
    bool ampersandLeft = false;
    std::size_t i = 0;
    while (i < size) {
        if (size - i >= 8) {
            // Eight bytes are copied at once, and the first that may need replacing is
            // looked at (the output never runs ahead of the input, so there is room).
            const std::uint64_t bytes = EightBytesAt(from + i);
            const std::uint64_t marks =
                MarkBytesBelow(bytes, 32) | MarkBytesEqual(bytes, '<') | MarkBytesEqual(bytes, '&');
            std::memcpy(to, &bytes, sizeof bytes);
            if (marks == 0) {
                to += sizeof bytes;
                i += sizeof bytes;
                continue;
            }
            to += FirstMarked(marks);
            i += FirstMarked(marks);
        }
        Char replacement = 0;
        std::size_t length = 1;
        switch (kByteRoles[Code(from[i])]) {
            case ByteRole::kBlank:
                replacement = ' ';
                break;
            case ByteRole::kTagStart:
                replacement = ContextTagAt(in, i, ignoreCase, length);
                break;
            case ByteRole::kReferenceStart:
                replacement = PlainReferenceAt(in, i, length);
                ampersandLeft = ampersandLeft || replacement == 0;
                break;
            case ByteRole::kCopied:
                break;
        }
        *to++ = replacement != 0 ? replacement : from[i];
        i += replacement != 0 ? length : 1;
    }
    out.resize(static_cast<std::size_t>(to - begin));
    return ampersandLeft;
}

// Stray control characters (form feed, escape, ...) read as blanks, since the scanner's
// own markers are control characters; tabs stay.
bool ReadsAsBlank(Char c) {
    const unsigned b = Code(c);
    return b == ' ' || (b < 32 && b != '\t');
}

}  // namespace

bool ReadyLine(TextView raw, bool lowerCase, Text& line, Text& scratch) {
    std::size_t first = 0;
    std::size_t last = raw.size();
    while (first < last && ReadsAsBlank(raw[first])) ++first;
    while (last > first && ReadsAsBlank(raw[last - 1])) --last;
    if (first == last)
        return false;
    TextView text = raw.substr(first, last - first);
    if (lowerCase) {
        // Before the tags are looked for: lower-casing may change a character's length,
        // and may even give a tag name's letter (<\u0130> becomes <i>).
        scratch.assign(text);
        LowerLettersInPlace(scratch);
        text = scratch;
    }
    if (PrepareInto(text, !lowerCase, line))
        DecodeEntities(line, scratch);
    line.push_back(' ');
    return true;
}

void DecodeEntities(Text& line) {
    Text scratch;
    DecodeEntities(line, scratch);
}

void DecodeEntities(Text& line, Text& scratch) {
    const TextView in = line;
    std::size_t amp = in.find('&');
    if (amp == TextView::npos)
        return;
    Text& out = scratch;
    out.clear();
    // Decoding nearly always shortens; room for all at once spares a long line the copies
    // of growing step by step.
    out.reserve(in.size());
    std::size_t copied = 0;  // everything before this has been written to `out`
    while (amp != TextView::npos) {
        const std::size_t semi = in.find(';', amp);
        if (semi == TextView::npos)
            break;
        // The candidate runs from the ampersand to the next semicolon, whatever lies
        // between; the search goes on after it whether it was a reference or not.
        const TextView name = in.substr(amp + 1, semi - amp - 1);
        if (!name.empty() && name.front() == '#') {
            if (const auto cp = NumericReference(name.substr(1))) {
                out.append(in.substr(copied, amp - copied));
                AppendDecoded(out, *cp);
                copied = semi + 1;
            }
        } else if (const NamedReference* ref = FindNamed(name)) {
            out.append(in.substr(copied, amp - copied));
            AppendDecoded(out, ref->first);
            if (ref->second != 0)
                AppendDecoded(out, ref->second);
            copied = semi + 1;
        }
        amp = in.find('&', semi + 1);
    }
    if (copied == 0)
        return;
    out.append(in.substr(copied));
    line.swap(out);
}

}  // namespace lumora::scan
