// What a page's head holds, found as a browser finds it, with every position a byte offset
// into the page exactly as it lies on disk.
//
// The page is taken as bytes of an ASCII-compatible encoding (UTF-8 or a single-byte code
// page); a UTF-16 page must be refused before it gets here. The head is read the way a
// browser's tokenizer and tree builder read it: comments, <!...> and <?...> declarations,
// the contents of script, style, noscript, noframes, title and textarea, and attribute values
// (quoted with " or ', or unquoted, over as many lines as they like) never count as mark-up.
// The head ends at the </head> that closes it, at the <body> start tag, or where a browser
// starts the body by itself: at non-blank text, or at a start tag that cannot stand in the
// head. A <meta>, <title> or <link> between </head> and the body still belongs to the head,
// as it does in a browser. A page that never starts its body keeps its head to its end.
//
// ScanHead is linear in the size of the page and reads nothing outside it, whatever the
// bytes are.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "text/chars.h"

namespace lumora::html {

// Bytes [begin, end) of the page.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;

    std::size_t size() const { return end - begin; }
    TextView In(TextView page) const { return page.substr(begin, end - begin); }
    bool operator==(const Span&) const = default;
};

// The page's own line end: the first one found in it.
enum class LineEnd { kNone, kLf, kCrLf, kCr };
LineEnd FirstLineEnd(TextView page);
TextView LineEndBytes(LineEnd lineEnd);  // "" for kNone

struct Head {
    // Whole start tags, "<" to ">", in page order.
    std::vector<Span> keywordsTags;           // <meta name="keywords" ...>
    std::vector<Span> descriptionTags;        // <meta name="description" ...>
    std::vector<Span> doneMarkerTags;         // <meta> with an attribute value "lmra done"
    std::optional<Span> title;                // the text of the head's first <title>, as written
    std::optional<std::size_t> headEndTag;    // the "<" of the </head> that closes the head
    std::optional<std::size_t> bodyStartTag;  // the "<" of the <body> tag that opens the body
    std::size_t bodyStart = 0;  // where the body begins; the page's size when it never does
    // Where a new element still lands in the head of a page without </head>: bodyStart, or,
    // on a page that never starts its body, the end of its last finished piece (so not inside
    // a title, script, comment, template or tag that the page ends in).
    std::size_t openHeadEnd = 0;
    std::size_t contentStart = 0;  // 3 after a UTF-8 byte order mark, otherwise 0
    LineEnd lineEnd = LineEnd::kNone;
    // A tag, doctype or comment anywhere in the page, past the head too: without one, a
    // browser sees nothing but text.
    bool hasMarkup = false;
    // The page is written as XML, and must stay well-formed: it opens with an XML
    // declaration, its doctype names XHTML, its <html> tag has an xmlns attribute, or it
    // closed a keywords meta tag of its head with "/>" itself.
    bool xhtml = false;
    // The page's language as it names it: the lang attribute of <html>, else the content of
    // a <meta http-equiv="Content-Language">; empty when it names none.
    Text language;
};

Head ScanHead(TextView page);

// A text that is exactly one <meta ...> start tag and nothing else (not even blanks): its
// name and content attribute values as written (no character references decoded), and
// whether it is closed with "/>"; nullopt when the text is anything else.
struct MetaTagParts {
    std::optional<TextView> name;
    std::optional<TextView> content;
    bool selfClosing = false;
};
std::optional<MetaTagParts> ReadMetaTag(TextView text);

// ASCII case-insensitive equality, the way HTML compares tag and attribute names.
bool EqualsIgnoringAsciiCase(TextView a, TextView b);

}  // namespace lumora::html
