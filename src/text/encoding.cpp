#include "text/encoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lumora::text {

namespace {

constexpr const char* kUtf16Le = "UTF-16LE";
constexpr const char* kUtf16Be = "UTF-16BE";

// Labels as browsers read them, with the name of the encoding each stands for.
struct Label {
    std::string_view label;
    const char* encoding;
};

constexpr Label kLabels[] = {
    {"unicode-1-1-utf-8", kUtf8},
    {"unicode11utf8", kUtf8},
    {"unicode20utf8", kUtf8},
    {"utf-8", kUtf8},
    {"utf8", kUtf8},
    {"x-unicode20utf8", kUtf8},
    {"866", "IBM866"},
    {"cp866", "IBM866"},
    {"csibm866", "IBM866"},
    {"ibm866", "IBM866"},
    {"csisolatin2", "ISO-8859-2"},
    {"iso-8859-2", "ISO-8859-2"},
    {"iso-ir-101", "ISO-8859-2"},
    {"iso8859-2", "ISO-8859-2"},
    {"iso88592", "ISO-8859-2"},
    {"iso_8859-2", "ISO-8859-2"},
    {"iso_8859-2:1987", "ISO-8859-2"},
    {"l2", "ISO-8859-2"},
    {"latin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"},
    {"iso-8859-3", "ISO-8859-3"},
    {"iso-ir-109", "ISO-8859-3"},
    {"iso8859-3", "ISO-8859-3"},
    {"iso88593", "ISO-8859-3"},
    {"iso_8859-3", "ISO-8859-3"},
    {"iso_8859-3:1988", "ISO-8859-3"},
    {"l3", "ISO-8859-3"},
    {"latin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"},
    {"iso-8859-4", "ISO-8859-4"},
    {"iso-ir-110", "ISO-8859-4"},
    {"iso8859-4", "ISO-8859-4"},
    {"iso88594", "ISO-8859-4"},
    {"iso_8859-4", "ISO-8859-4"},
    {"iso_8859-4:1988", "ISO-8859-4"},
    {"l4", "ISO-8859-4"},
    {"latin4", "ISO-8859-4"},
    {"csisolatincyrillic", "ISO-8859-5"},
    {"cyrillic", "ISO-8859-5"},
    {"iso-8859-5", "ISO-8859-5"},
    {"iso-ir-144", "ISO-8859-5"},
    {"iso8859-5", "ISO-8859-5"},
    {"iso88595", "ISO-8859-5"},
    {"iso_8859-5", "ISO-8859-5"},
    {"iso_8859-5:1988", "ISO-8859-5"},
    {"arabic", "ISO-8859-6"},
    {"asmo-708", "ISO-8859-6"},
    {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"},
    {"csisolatinarabic", "ISO-8859-6"},
    {"ecma-114", "ISO-8859-6"},
    {"iso-8859-6", "ISO-8859-6"},
    {"iso-8859-6-e", "ISO-8859-6"},
    {"iso-8859-6-i", "ISO-8859-6"},
    {"iso-ir-127", "ISO-8859-6"},
    {"iso8859-6", "ISO-8859-6"},
    {"iso88596", "ISO-8859-6"},
    {"iso_8859-6", "ISO-8859-6"},
    {"iso_8859-6:1987", "ISO-8859-6"},
    {"csisolatingreek", "ISO-8859-7"},
    {"ecma-118", "ISO-8859-7"},
    {"elot_928", "ISO-8859-7"},
    {"greek", "ISO-8859-7"},
    {"greek8", "ISO-8859-7"},
    {"iso-8859-7", "ISO-8859-7"},
    {"iso-ir-126", "ISO-8859-7"},
    {"iso8859-7", "ISO-8859-7"},
    {"iso88597", "ISO-8859-7"},
    {"iso_8859-7", "ISO-8859-7"},
    {"iso_8859-7:1987", "ISO-8859-7"},
    {"sun_eu_greek", "ISO-8859-7"},
    {"csiso88598e", "ISO-8859-8"},
    {"csisolatinhebrew", "ISO-8859-8"},
    {"hebrew", "ISO-8859-8"},
    {"iso-8859-8", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"iso-ir-138", "ISO-8859-8"},
    {"iso8859-8", "ISO-8859-8"},
    {"iso88598", "ISO-8859-8"},
    {"iso_8859-8", "ISO-8859-8"},
    {"iso_8859-8:1988", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8"},
    {"iso-8859-8-i", "ISO-8859-8"},
    {"logical", "ISO-8859-8"},
    {"csisolatin6", "ISO-8859-10"},
    {"iso-8859-10", "ISO-8859-10"},
    {"iso-ir-157", "ISO-8859-10"},
    {"iso8859-10", "ISO-8859-10"},
    {"iso885910", "ISO-8859-10"},
    {"l6", "ISO-8859-10"},
    {"latin6", "ISO-8859-10"},
    {"iso-8859-13", "ISO-8859-13"},
    {"iso8859-13", "ISO-8859-13"},
    {"iso885913", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14"},
    {"iso8859-14", "ISO-8859-14"},
    {"iso885914", "ISO-8859-14"},
    {"csisolatin9", "ISO-8859-15"},
    {"iso-8859-15", "ISO-8859-15"},
    {"iso8859-15", "ISO-8859-15"},
    {"iso885915", "ISO-8859-15"},
    {"iso_8859-15", "ISO-8859-15"},
    {"l9", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16"},
    {"cskoi8r", "KOI8-R"},
    {"koi", "KOI8-R"},
    {"koi8", "KOI8-R"},
    {"koi8-r", "KOI8-R"},
    {"koi8_r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"},
    {"koi8-u", "KOI8-U"},
    {"csmacintosh", "macintosh"},
    {"mac", "macintosh"},
    {"macintosh", "macintosh"},
    {"x-mac-roman", "macintosh"},
    {"dos-874", "windows-874"},
    {"iso-8859-11", "windows-874"},
    {"iso8859-11", "windows-874"},
    {"iso885911", "windows-874"},
    {"tis-620", "windows-874"},
    {"windows-874", "windows-874"},
    {"cp1250", "windows-1250"},
    {"windows-1250", "windows-1250"},
    {"x-cp1250", "windows-1250"},
    {"cp1251", "windows-1251"},
    {"windows-1251", "windows-1251"},
    {"x-cp1251", "windows-1251"},
    {"ansi_x3.4-1968", kWindows1252},
    {"ascii", kWindows1252},
    {"cp1252", kWindows1252},
    {"cp819", kWindows1252},
    {"csisolatin1", kWindows1252},
    {"ibm819", kWindows1252},
    {"iso-8859-1", kWindows1252},
    {"iso-ir-100", kWindows1252},
    {"iso8859-1", kWindows1252},
    {"iso88591", kWindows1252},
    {"iso_8859-1", kWindows1252},
    {"iso_8859-1:1987", kWindows1252},
    {"l1", kWindows1252},
    {"latin1", kWindows1252},
    {"latin-1", kWindows1252},
    {"us-ascii", kWindows1252},
    {"windows-1252", kWindows1252},
    {"x-cp1252", kWindows1252},
    {"cp1253", "windows-1253"},
    {"windows-1253", "windows-1253"},
    {"x-cp1253", "windows-1253"},
    {"cp1254", "windows-1254"},
    {"csisolatin5", "windows-1254"},
    {"iso-8859-9", "windows-1254"},
    {"iso-ir-148", "windows-1254"},
    {"iso8859-9", "windows-1254"},
    {"iso88599", "windows-1254"},
    {"iso_8859-9", "windows-1254"},
    {"iso_8859-9:1989", "windows-1254"},
    {"l5", "windows-1254"},
    {"latin5", "windows-1254"},
    {"windows-1254", "windows-1254"},
    {"x-cp1254", "windows-1254"},
    {"cp1255", "windows-1255"},
    {"windows-1255", "windows-1255"},
    {"x-cp1255", "windows-1255"},
    {"cp1256", "windows-1256"},
    {"windows-1256", "windows-1256"},
    {"x-cp1256", "windows-1256"},
    {"cp1257", "windows-1257"},
    {"windows-1257", "windows-1257"},
    {"x-cp1257", "windows-1257"},
    {"cp1258", "windows-1258"},
    {"windows-1258", "windows-1258"},
    {"x-cp1258", "windows-1258"},
    {"chinese", "GBK"},
    {"csgb2312", "GBK"},
    {"csiso58gb231280", "GBK"},
    {"gb2312", "GBK"},
    {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"},
    {"gbk", "GBK"},
    {"iso-ir-58", "GBK"},
    {"x-gbk", "GBK"},
    {"gb18030", "gb18030"},
    {"big5", "Big5"},
    {"big5-hkscs", "Big5"},
    {"cn-big5", "Big5"},
    {"csbig5", "Big5"},
    {"x-x-big5", "Big5"},
    {"cseucpkdfmtjapanese", "EUC-JP"},
    {"euc-jp", "EUC-JP"},
    {"x-euc-jp", "EUC-JP"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"csshiftjis", "Shift_JIS"},
    {"ms932", "Shift_JIS"},
    {"ms_kanji", "Shift_JIS"},
    {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"},
    {"sjis", "Shift_JIS"},
    {"windows-31j", "Shift_JIS"},
    {"x-sjis", "Shift_JIS"},
    {"cseuckr", "EUC-KR"},
    {"csksc56011987", "EUC-KR"},
    {"euc-kr", "EUC-KR"},
    {"iso-ir-149", "EUC-KR"},
    {"korean", "EUC-KR"},
    {"ks_c_5601-1987", "EUC-KR"},
    {"ks_c_5601-1989", "EUC-KR"},
    {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"},
    {"windows-949", "EUC-KR"},
    {"unicodefffe", kUtf16Be},
    {"utf-16be", kUtf16Be},
    {"csunicode", kUtf16Le},
    {"iso-10646-ucs-2", kUtf16Le},
    {"ucs-2", kUtf16Le},
    {"unicode", kUtf16Le},
    {"unicodefeff", kUtf16Le},
    {"utf-16", kUtf16Le},
    {"utf-16le", kUtf16Le},
};

// The name the C library's iconv knows each encoding by, where it differs. Shift_JIS,
// EUC-KR, GBK and Big5 are read with the supersets that browsers use for these labels.
const char* IconvName(TextView encoding) {
    struct Alias {
        std::string_view name;
        const char* iconv;
    };
    static constexpr Alias kAliases[] = {
        {"Shift_JIS", "CP932"},     {"EUC-KR", "CP949"},        {"GBK", "GB18030"},
        {"gb18030", "GB18030"},     {"Big5", "BIG5-HKSCS"},     {"macintosh", "MACINTOSH"},
        {"windows-874", "CP874"},   {"windows-1250", "CP1250"}, {"windows-1251", "CP1251"},
        {"windows-1253", "CP1253"}, {"windows-1254", "CP1254"}, {"windows-1255", "CP1255"},
        {"windows-1256", "CP1256"}, {"windows-1257", "CP1257"}, {"windows-1258", "CP1258"},
    };
    for (const Alias& a : kAliases) {
        if (a.name == encoding)
            return a.iconv;
    }
    return nullptr;
}

constexpr std::array<CodePoint, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsAsciiSpace(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

Text Utf16ToUtf8(TextView bytes, bool littleEndian) {
    Text out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) {
        const unsigned a = Code(bytes[i]);
        const unsigned b = Code(bytes[i + 1]);
        return littleEndian ? (a | (b << 8)) : ((a << 8) | b);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const unsigned low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacementCharacter : u);
    }
    if (i < bytes.size())
        AppendUtf8(out, kReplacementCharacter);  // an odd byte at the end
    return out;
}

Text Utf8Repaired(TextView bytes) {
    Text out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded d = CharAt(bytes, i);
        if (d.cp == kReplacementCharacter && d.length == 1) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            out.append(bytes.substr(i, d.length));
        }
        i += d.length;
    }
    return out;
}

// Through iconv; a byte sequence the encoding cannot decode becomes U+FFFD.
std::optional<Text> ConvertWithIconv(TextView bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    Text out;
    out.reserve(bytes.size() * 2);
    std::array<char, 8192> buffer{};
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buffer.data();
        std::size_t oLeft = buffer.size();
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer.data(), buffer.size() - oLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a sequence cut off at the end): one byte is lost.
            AppendUtf8(out, kReplacementCharacter);
            ++in;
            --inLeft;
        }
    }
    char* o = buffer.data();
    std::size_t oLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer.data(), buffer.size() - oLeft);
    iconv_close(cd);
    return out;
}

// A page that is mostly well-formed UTF-8 with a few damaged bytes.
bool MostlyUtf8(TextView bytes) {
    std::size_t good = 0;
    std::size_t bad = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const Decoded d = CharAt(bytes, i);
        if (d.length > 1) {
            ++good;
        } else if (d.cp == kReplacementCharacter) {
            ++bad;
        }
        i += d.length;
    }
    return good > bad;
}

DecodeResult PageResult(Text text, Text encoding, bool byteOrderMark) {
    DecodeResult result;
    result.page.text = std::move(text);
    result.page.encoding = std::move(encoding);
    result.page.byteOrderMark = byteOrderMark;
    return result;
}

// Decodes with a known encoding name; a byte order mark of that encoding is dropped.
DecodeResult DecodeAs(TextView bytes, const Text& encoding, TextView givenName) {
    if (encoding == kUtf8) {
        const bool bom = bytes.starts_with("\xEF\xBB\xBF");
        if (bom)
            bytes.remove_prefix(3);
        return PageResult(IsValidUtf8(bytes) ? Text(bytes) : Utf8Repaired(bytes), encoding, bom);
    }
    if (encoding == kUtf16Le || encoding == kUtf16Be) {
        const bool little = encoding == kUtf16Le;
        const bool bom = bytes.starts_with(little ? "\xFF\xFE" : "\xFE\xFF");
        if (bom)
            bytes.remove_prefix(2);
        return PageResult(Utf16ToUtf8(bytes, little), encoding, bom);
    }
    if (encoding == kWindows1252)
        return PageResult(Windows1252ToUtf8(bytes), encoding, false);
    const char* iconvName = IconvName(encoding);
    std::optional<Text> text = ConvertWithIconv(bytes, iconvName ? iconvName : encoding.c_str());
    if (!text) {
        DecodeResult result;
        result.error = EncodingError{EncodingError::Kind::kUnavailable, Text(givenName)};
        return result;
    }
    return PageResult(std::move(*text), encoding, false);
}

// Valid UTF-8 that is ISO-2022-JP all the same: it shifts into Japanese characters and
// declares no other charset.
bool ReadAsIso2022Jp(TextView bytes) {
    if (Iso2022EscapeIn(bytes) != std::optional<Text>(kIso2022Jp))
        return false;
    const Text label = DeclaredCharset(bytes);
    return label.empty() || EncodingForLabel(label) == std::optional<Text>(kIso2022Jp);
}

}  // namespace

std::optional<Text> Iso2022EscapeIn(TextView bytes) {
    constexpr TextView kEscape = "\x1B$";
    for (std::size_t at = bytes.find(kEscape); at != TextView::npos;
         at = bytes.find(kEscape, at + 1)) {
        const TextView set = bytes.substr(at + kEscape.size(), 2);
        if (set.empty())
            break;
        // JIS X 0208 (@, B) and JIS X 0212 ((D); GB 2312 and KS C 5601 as ISO-2022-JP-2 has them.
        if (set[0] == '@' || set[0] == 'A' || set[0] == 'B' || set == "(C" || set == "(D")
            return Text(kIso2022Jp);
        if (set == ")C")
            return Text("ISO-2022-KR");
        if (set == ")A" || set == ")E" || set == ")G" || set[0] == '*' || set[0] == '+')
            return Text("ISO-2022-CN");
    }
    return std::nullopt;
}

std::optional<Text> EncodingForLabel(TextView label) {
    while (!label.empty() && IsAsciiSpace(label.front())) label.remove_prefix(1);
    while (!label.empty() && IsAsciiSpace(label.back())) label.remove_suffix(1);
    const Text lower = Lower(label);
    for (const Label& l : kLabels) {
        if (l.label == lower)
            return Text(l.encoding);
    }
    return std::nullopt;
}

Text DeclaredCharset(TextView bytes) {
    constexpr std::size_t kLookAt = 64 * 1024;
    const Text head = Lower(bytes.substr(0, kLookAt));
    for (std::size_t meta = head.find("<meta"); meta != Text::npos;
         meta = head.find("<meta", meta + 5)) {
        const std::size_t close = head.find('>', meta);
        const TextView tag =
            TextView(head).substr(meta, close == Text::npos ? Text::npos : close - meta);
        const std::size_t charset = tag.find("charset");
        if (charset == TextView::npos)
            continue;
        std::size_t i = charset + 7;
        while (i < tag.size() && IsAsciiSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && IsAsciiSpace(tag[i])) ++i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\''))
            ++i;
        const std::size_t start = i;
        while (i < tag.size() && !IsAsciiSpace(tag[i]) && tag[i] != '"' && tag[i] != '\'' &&
               tag[i] != ';' && tag[i] != '/') {
            ++i;
        }
        if (i > start)
            return Text(tag.substr(start, i - start));
    }
    return {};
}

DecodeResult DecodePage(TextView bytes, TextView overrideName) {
    if (!overrideName.empty()) {
        const std::optional<Text> encoding = EncodingForLabel(overrideName);
        if (!encoding) {
            DecodeResult result;
            result.error = EncodingError{EncodingError::Kind::kUnknownEncoding, Text(overrideName)};
            return result;
        }
        return DecodeAs(bytes, *encoding, overrideName);
    }
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return DecodeAs(bytes, kUtf8, kUtf8);
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeAs(bytes, kUtf16Le, kUtf16Le);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeAs(bytes, kUtf16Be, kUtf16Be);
    if (IsValidUtf8(bytes)) {
        if (ReadAsIso2022Jp(bytes)) {
            DecodeResult result = DecodeAs(bytes, kIso2022Jp, kIso2022Jp);
            if (result.ok())
                return result;
        }
        return PageResult(Text(bytes), kUtf8, false);
    }

    const Text label = DeclaredCharset(bytes);
    std::optional<Text> declared = label.empty() ? std::nullopt : EncodingForLabel(label);
    if (declared && (*declared == kUtf8 || *declared == kUtf16Le || *declared == kUtf16Be)) {
        // The bytes are not what the label says; a page declaring UTF-16 in ASCII mark-up
        // cannot be UTF-16 either. Trust the label only when most of the page bears it out.
        declared = MostlyUtf8(bytes) ? std::optional<Text>(kUtf8) : std::nullopt;
    }
    if (declared) {
        DecodeResult result = DecodeAs(bytes, *declared, label);
        if (result.ok())
            return result;
    }
    return PageResult(Windows1252ToUtf8(bytes), kWindows1252, false);
}

DecodeResult DecodePageBytes(Text&& bytes, TextView overrideName) {
    if (overrideName.empty() && !bytes.starts_with("\xEF\xBB\xBF") &&
        !bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF") && IsValidUtf8(bytes) &&
        !ReadAsIso2022Jp(bytes)) {
        return PageResult(std::move(bytes), kUtf8, false);
    }
    return DecodePage(TextView(bytes), overrideName);
}

std::optional<PageView> ReadableAsIs(TextView bytes, TextView overrideName) {
    // The cases in which DecodePage keeps the bytes as they are. A UTF-16 byte order mark
    // is never valid UTF-8.
    if (!overrideName.empty() && EncodingForLabel(overrideName) != std::optional<Text>(kUtf8))
        return std::nullopt;
    const bool bom = bytes.starts_with("\xEF\xBB\xBF");
    if (bom)
        bytes.remove_prefix(3);
    if (!IsValidUtf8(bytes) || (overrideName.empty() && !bom && ReadAsIso2022Jp(bytes)))
        return std::nullopt;
    return PageView{bytes, kUtf8, bom};
}

CodePoint Windows1252Char(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kWindows1252High[byte - 0x80];
    return byte;
}

Text Windows1252ToUtf8(TextView bytes) {
    Text out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const Char c : bytes) {
        if (IsAscii(c)) {
            out.push_back(c);
        } else {
            AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

namespace {

void AppendReference(Text& out, CodePoint cp) {
    out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
}

Text EncodeWindows1252(TextView utf8) {
    Text out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Decoded d = CharAt(utf8, i);
        i += d.length;
        if (d.cp < 0x80 || (d.cp >= 0xA0 && d.cp <= 0xFF)) {
            out.push_back(static_cast<Char>(d.cp));
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < kWindows1252High.size(); ++k) {
            if (kWindows1252High[k] == d.cp) {
                out.push_back(static_cast<Char>(0x80 + k));
                found = true;
                break;
            }
        }
        if (!found)
            AppendReference(out, d.cp);
    }
    return out;
}

Text EncodeUtf16(TextView utf8, bool littleEndian) {
    Text out;
    const auto put = [&](unsigned u) {
        const Char hi = static_cast<Char>(u >> 8);
        const Char lo = static_cast<Char>(u & 0xFF);
        out.push_back(littleEndian ? lo : hi);
        out.push_back(littleEndian ? hi : lo);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const Decoded d = CharAt(utf8, i);
        i += d.length;
        if (d.cp >= 0x10000) {
            put(0xD800 + ((d.cp - 0x10000) >> 10));
            put(0xDC00 + ((d.cp - 0x10000) & 0x3FF));
        } else {
            put(d.cp);
        }
    }
    return out;
}

}  // namespace

EncodeResult EncodeForPage(TextView utf8, TextView encoding) {
    EncodeResult result;
    const std::optional<Text> name = EncodingForLabel(encoding);
    if (!name) {
        result.error = EncodingError{EncodingError::Kind::kUnknownEncoding, Text(encoding)};
        return result;
    }
    if (*name == kUtf8) {
        result.bytes = Utf8Repaired(utf8);
        return result;
    }
    if (*name == kUtf16Le || *name == kUtf16Be) {
        result.bytes = EncodeUtf16(utf8, *name == kUtf16Le);
        return result;
    }
    if (*name == kWindows1252) {
        result.bytes = EncodeWindows1252(utf8);
        return result;
    }
    const char* iconvName = IconvName(*name);
    iconv_t cd = iconv_open(iconvName ? iconvName : name->c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        result.error = EncodingError{EncodingError::Kind::kUnavailable, Text(encoding)};
        return result;
    }
    const Text source = Utf8Repaired(utf8);
    std::array<char, 4096> buffer{};
    char* in = const_cast<char*>(source.data());
    std::size_t inLeft = source.size();
    const auto flushInto = [&](char* o, std::size_t oLeft) {
        result.bytes.append(buffer.data(), buffer.size() - oLeft);
        (void)o;
    };
    while (inLeft > 0) {
        char* o = buffer.data();
        std::size_t oLeft = buffer.size();
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        flushInto(o, oLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A character the encoding cannot hold: back to the initial shift state (for
            // encodings such as ISO-2022-JP), then its reference in ASCII.
            char* ro = buffer.data();
            std::size_t roLeft = buffer.size();
            iconv(cd, nullptr, nullptr, &ro, &roLeft);
            flushInto(ro, roLeft);
            const std::size_t at = static_cast<std::size_t>(in - source.data());
            const Decoded d = CharAt(source, at);
            AppendReference(result.bytes, d.cp);
            in += d.length;
            inLeft -= d.length;
        }
    }
    char* o = buffer.data();
    std::size_t oLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    flushInto(o, oLeft);
    iconv_close(cd);
    return result;
}

Text ReadStoredText(TextView bytes) {
    if (IsValidUtf8(bytes))
        return Text(bytes);
    return Windows1252ToUtf8(bytes);
}

}  // namespace lumora::text
