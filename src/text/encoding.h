// The encoding of a page: decided once when the page is read, and used again when the
// tag is written back into it.
//
// DecodePage decides, in this order:
//   1. an encoding named by the caller (the user's override) wins;
//   2. a byte order mark: UTF-8, UTF-16LE or UTF-16BE;
//   3. bytes that are valid UTF-8 are UTF-8, whatever the page declares (labels are often
//      wrong; an ASCII page reads the same either way), except ISO-2022-JP: its bytes are
//      all 7-bit, so a page that shifts into its Japanese characters is read in it unless
//      it declares another charset;
//   4. the charset the page declares in <meta charset=...> or in the content of
//      <meta http-equiv="Content-Type" ...>, its label read as browsers read it
//      (ISO-8859-1, Latin-1 and US-ASCII mean windows-1252). A page that declares UTF-8
//      but is not valid UTF-8 is read as UTF-8 only when its well-formed multi-byte
//      characters outnumber its damaged bytes, otherwise as windows-1252;
//   5. windows-1252, the web's default for Western pages.
// Bytes that the chosen encoding cannot decode become U+FFFD; decoding never fails for a
// known encoding. Encodings other than UTF-8, UTF-16 and windows-1252 go through the C
// library's iconv.
#pragma once

#include <optional>

#include "text/chars.h"

namespace lumora::text {

inline constexpr const char* kUtf8 = "UTF-8";
inline constexpr const char* kWindows1252 = "windows-1252";
inline constexpr const char* kIso2022Jp = "ISO-2022-JP";

struct EncodingError {
    enum class Kind {
        kUnknownEncoding,  // the name given is no encoding we know
        kUnavailable,      // a known encoding that the system's iconv cannot convert
    };
    Kind kind;
    Text name;  // the name as given
};

struct DecodedPage {
    Text text;      // the page as UTF-8, without its byte order mark
    Text encoding;  // the encoding's name, e.g. "UTF-8", "ISO-8859-2"
    bool byteOrderMark = false;
};

struct DecodeResult {
    std::optional<EncodingError> error;
    DecodedPage page;
    bool ok() const { return !error.has_value(); }
};

// `overrideName` empty: detect (see above).
DecodeResult DecodePage(TextView bytes, TextView overrideName = {});
// The same, taking over the bytes: a page that is UTF-8 already is not copied.
DecodeResult DecodePageBytes(Text&& bytes, TextView overrideName = {});

// A page that DecodePage would return unchanged (valid UTF-8, detected or named, with or
// without its byte order mark): its text as a view into `bytes`, so that a large page is
// not held twice. Nothing when the page needs converting or repairing.
struct PageView {
    TextView text;  // without the byte order mark
    Text encoding;
    bool byteOrderMark = false;
};
std::optional<PageView> ReadableAsIs(TextView bytes, TextView overrideName = {});

// The encoding's name for a label as a browser reads it ("latin1" -> "windows-1252",
// "utf8" -> "UTF-8"); nothing for a label we do not know. Case and surrounding blanks do
// not matter.
std::optional<Text> EncodingForLabel(TextView label);

// The ISO-2022 encoding ("ISO-2022-JP", "-KR" or "-CN") whose escape into a two-byte
// character set the bytes hold, or nothing. In such an encoding the bytes of a character
// are printable ASCII, '<', '>' and '"' among them, so mark-up cannot be read from bytes.
std::optional<Text> Iso2022EscapeIn(TextView bytes);

// The label of the first charset the page declares in a meta tag within its first 64 KiB,
// or empty.
Text DeclaredCharset(TextView bytes);

struct EncodeResult {
    std::optional<EncodingError> error;
    Text bytes;
    bool ok() const { return !error.has_value(); }
};

// UTF-8 text as bytes of the named encoding (one of DecodePage's names). Each character
// that the encoding cannot hold is written as a numeric character reference (&#345;),
// which a browser reads back as that character.
EncodeResult EncodeForPage(TextView utf8, TextView encoding);

// Windows-1252 bytes as UTF-8; the five bytes the code page leaves undefined become the
// C1 characters of the same number, as browsers read them.
Text Windows1252ToUtf8(TextView bytes);

// The Unicode character a windows-1252 byte stands for.
CodePoint Windows1252Char(unsigned char byte);

// A stored file of ours (lists, program texts, the state file): UTF-8 when its bytes are
// valid UTF-8, otherwise the single-byte text of the program's earlier versions.
Text ReadStoredText(TextView bytes);

}  // namespace lumora::text
