#include "text/chars.h"

#include <utf8proc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace lumora {

Decoded DecodeAt(TextView text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return Code(text[i]); };
    const unsigned b0 = byte(at);
    if (b0 < 0x80)
        return {b0, 1};
    std::size_t length = 0;
    CodePoint cp = 0;
    CodePoint smallest = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
        smallest = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        smallest = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        smallest = 0x10000;
    } else {
        return {kReplacementCharacter, 1};
    }
    if (text.size() - at < length)
        return {kReplacementCharacter, 1};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned b = byte(at + k);
        if ((b & 0xC0) != 0x80)
            return {kReplacementCharacter, 1};
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF are not characters.
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {kReplacementCharacter, 1};
    return {cp, length};
}

std::size_t StartOfCharBefore(TextView text, std::size_t end) {
    std::size_t start = end - 1;
    // At most three continuation bytes precede a lead byte.
    for (int k = 0; k < 3 && start > 0 && (Code(text[start]) & 0xC0) == 0x80; ++k) --start;
    if (DecodeAt(text, start).length != end - start)
        return end - 1;  // damaged text: the last byte stands alone
    return start;
}

namespace {

// The UTF-8 of a character into `out` (room for 4 bytes); its length.
std::size_t EncodeUtf8(CodePoint cp, char* out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacementCharacter;
    if (cp < 0x80) {
        out[0] = static_cast<Char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<Char>(0xC0 | (cp >> 6));
        out[1] = static_cast<Char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<Char>(0xE0 | (cp >> 12));
        out[1] = static_cast<Char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<Char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<Char>(0xF0 | (cp >> 18));
    out[1] = static_cast<Char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<Char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<Char>(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace

void AppendUtf8(Text& out, CodePoint cp) {
    char bytes[4];
    out.append(bytes, EncodeUtf8(cp, bytes));
}

std::size_t CharCount(TextView text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) i += CharAt(text, i).length;
    return count;
}

bool IsValidUtf8(TextView text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        // Thirty-two ASCII bytes at a time: most of a page is mark-up.
        if (i + 32 <= n) {
            std::uint64_t chunk[4];
            std::memcpy(chunk, text.data() + i, 32);
            if (((chunk[0] | chunk[1] | chunk[2] | chunk[3]) & 0x8080808080808080ull) == 0) {
                i += 32;
                continue;
            }
        }
        if (i + 8 <= n) {
            std::uint64_t chunk;
            std::memcpy(&chunk, text.data() + i, 8);
            if ((chunk & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        // One character, checked in place: the lead byte gives the length and the range
        // of the second byte (which rules out overlong forms, surrogates and code points
        // beyond U+10FFFF); the bytes after it are plain continuation bytes.
        const auto byte = [&](std::size_t k) { return Code(text[k]); };
        const unsigned b0 = byte(i);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            if (b0 == 0xE0)
                low = 0xA0;
            if (b0 == 0xED)
                high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            if (b0 == 0xF0)
                low = 0x90;
            if (b0 == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length || byte(i + 1) < low || byte(i + 1) > high)
            return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

namespace {

utf8proc_category_t CategoryOf(CodePoint cp) {
    return utf8proc_category(static_cast<utf8proc_int32_t>(cp));
}

bool IsLetterCategory(utf8proc_category_t c) {
    return c == UTF8PROC_CATEGORY_LU || c == UTF8PROC_CATEGORY_LL || c == UTF8PROC_CATEGORY_LT ||
           c == UTF8PROC_CATEGORY_LM || c == UTF8PROC_CATEGORY_LO;
}

bool IsMarkCategory(utf8proc_category_t c) {
    return c == UTF8PROC_CATEGORY_MN || c == UTF8PROC_CATEGORY_MC || c == UTF8PROC_CATEGORY_ME;
}

bool ComputeNfcStable(CodePoint cp);

// What the scan asks of a character of the Basic Multilingual Plane, looked up in the
// library once per character and then kept: its simple lower case (bits 0-15), letter,
// mark, NFC-stable, and whether the entry is filled. Relaxed atomics let two passes on two
// threads share the entries; both would store the same value.
constexpr std::uint32_t kLowerMask = 0xFFFF;
constexpr std::uint32_t kIsLetter = 1u << 16;
constexpr std::uint32_t kIsMark = 1u << 17;
constexpr std::uint32_t kIsNfcStable = 1u << 18;
constexpr std::uint32_t kKnown = 1u << 19;
std::atomic<std::uint32_t> bmpInfo[0x10000];

std::uint32_t InfoOf(CodePoint cp) {
    std::uint32_t info = bmpInfo[cp].load(std::memory_order_relaxed);
    if (info != 0)
        return info;
    const utf8proc_category_t category = CategoryOf(cp);
    const auto lower = static_cast<CodePoint>(utf8proc_tolower(static_cast<utf8proc_int32_t>(cp)));
    info = kKnown | (lower <= 0xFFFF ? lower : cp);
    if (IsLetterCategory(category))
        info |= kIsLetter;
    if (IsMarkCategory(category))
        info |= kIsMark;
    if (ComputeNfcStable(cp))
        info |= kIsNfcStable;
    bmpInfo[cp].store(info, std::memory_order_relaxed);
    return info;
}

}  // namespace

bool IsLetter(CodePoint cp) {
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z');
    if (cp <= 0xFFFF)
        return (InfoOf(cp) & kIsLetter) != 0;
    return IsLetterCategory(CategoryOf(cp));
}

bool IsMark(CodePoint cp) {
    if (cp < 0x300)
        return false;
    if (cp <= 0xFFFF)
        return (InfoOf(cp) & kIsMark) != 0;
    return IsMarkCategory(CategoryOf(cp));
}

CodePoint LowerChar(CodePoint cp) {
    if (cp < 0x80)
        return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp <= 0xFFFF)
        return static_cast<CodePoint>(InfoOf(cp) & kLowerMask);  // stays in the BMP
    return static_cast<CodePoint>(utf8proc_tolower(static_cast<utf8proc_int32_t>(cp)));
}

CodePoint UpperChar(CodePoint cp) {
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    return static_cast<CodePoint>(utf8proc_toupper(static_cast<utf8proc_int32_t>(cp)));
}

bool IsLatinLetter(CodePoint cp) {
    if (!IsLetter(cp))
        return false;
    // The blocks Unicode gives to the Latin script: Basic Latin, Latin-1 Supplement,
    // Latin Extended-A and -B, IPA Extensions, Phonetic Extensions (and Supplement),
    // Latin Extended Additional, -C, -D, -E and the fullwidth Latin letters.
    return cp < 0x2B0 || (cp >= 0x1D00 && cp <= 0x1DBF) || (cp >= 0x1E00 && cp <= 0x1EFF) ||
           (cp >= 0x2C60 && cp <= 0x2C7F) || (cp >= 0xA720 && cp <= 0xA7FF) ||
           (cp >= 0xAB30 && cp <= 0xAB6F) || (cp >= 0xFF21 && cp <= 0xFF5A);
}

CodePoint BaseLetter(CodePoint cp) {
    if (cp < 0xC0)
        return cp;
    utf8proc_int32_t parts[8];
    int last = 0;
    const utf8proc_ssize_t n =
        utf8proc_decompose_char(static_cast<utf8proc_int32_t>(cp), parts, 8,
                                static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE), &last);
    if (n < 1 || n > 8)
        return cp;
    return static_cast<CodePoint>(parts[0]);
}

void LowerLettersInPlace(Text& text) {
    // In place while each lower case has as many bytes as its capital, which holds for
    // nearly every letter; from the first one that does not, the rest is rebuilt.
    std::size_t i = 0;
    while (i < text.size()) {
        const Char c = text[i];
        if (IsAscii(c)) {
            text[i] = ToLower(c);
            ++i;
            continue;
        }
        const Decoded d = DecodeAt(text, i);
        const CodePoint lower =
            d.cp == kReplacementCharacter && d.length == 1 ? d.cp : LowerChar(d.cp);
        if (lower != d.cp) {
            char bytes[4];
            const std::size_t n = EncodeUtf8(lower, bytes);
            if (n != d.length)
                break;
            std::memcpy(text.data() + i, bytes, n);
        }
        i += d.length;
    }
    if (i == text.size())
        return;
    Text out(text, 0, i);
    out.reserve(text.size() + 8);
    while (i < text.size()) {
        const Char c = text[i];
        if (IsAscii(c)) {
            out.push_back(ToLower(c));
            ++i;
            continue;
        }
        const Decoded d = DecodeAt(text, i);
        if (d.cp == kReplacementCharacter && d.length == 1) {
            out.push_back(c);  // damaged bytes stay as they were
        } else {
            AppendUtf8(out, LowerChar(d.cp));
        }
        i += d.length;
    }
    text = std::move(out);
}

Text LowerLetters(TextView text) {
    Text result(text);
    LowerLettersInPlace(result);
    return result;
}

namespace {

// Whether the character is its own NFC form and can never compose with the character
// before it: not a combining mark, no Hangul vowel or trailing consonant, and either no
// canonical decomposition or one that composes back to the character itself.
bool ComputeNfcStable(CodePoint cp) {
    if (cp >= 0x1160 && cp <= 0x11FF)
        return false;
    const utf8proc_property_t* p = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
    if (p->combining_class != 0)
        return false;
    if (IsMarkCategory(static_cast<utf8proc_category_t>(p->category)))
        return false;
    if (p->decomp_seqindex == UINT16_MAX || p->decomp_type != 0)
        return true;  // no canonical decomposition
    utf8proc_int32_t parts[8];
    int last = 0;
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE);
    utf8proc_ssize_t n =
        utf8proc_decompose_char(static_cast<utf8proc_int32_t>(cp), parts, 8, options, &last);
    if (n < 1 || n > 8)
        return false;
    n = utf8proc_normalize_utf32(
        parts, n, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    return n == 1 && static_cast<CodePoint>(parts[0]) == cp;
}

}  // namespace

bool IsNfcStable(CodePoint cp) {
    if (cp < 0x300)
        return true;
    if (cp <= 0xFFFF)
        return (InfoOf(cp) & kIsNfcStable) != 0;
    return ComputeNfcStable(cp);
}

bool MayNeedNfc(TextView text) {
    // Every character below U+0300 is its own NFC form and composes with nothing before
    // it; the UTF-8 of U+0300 and above starts with a byte of 0xCC or more.
    for (std::size_t i = 0; i < text.size();) {
        if (Code(text[i]) < 0xCC) {
            ++i;
            continue;
        }
        const Decoded d = DecodeAt(text, i);
        if (!IsNfcStable(d.cp))
            return true;
        i += d.length;
    }
    return false;
}

Text Nfc(TextView text) {
    if (!MayNeedNfc(text))
        return Text(text);
    utf8proc_uint8_t* result = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                     static_cast<utf8proc_ssize_t>(text.size()), &result,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (n < 0 || result == nullptr) {
        std::free(result);
        return Text(text);  // not valid UTF-8: left as it is
    }
    Text out(reinterpret_cast<const char*>(result), static_cast<std::size_t>(n));
    std::free(result);
    return out;
}

}  // namespace lumora
