#include "html/splice.h"

#include "html/head_scan.h"

namespace lumora::html {

namespace {

bool IsIndent(Char c) {
    return c == ' ' || c == '\t';
}

bool IsLineEnd(Char c) {
    return c == '\n' || c == '\r';
}

// The start of the line holding `at` (never before `first`).
std::size_t LineStart(TextView page, std::size_t at, std::size_t first) {
    while (at > first && !IsLineEnd(page[at - 1])) --at;
    return at;
}

// The leading blanks of the nearest line above `lineStart` that holds more than blanks;
// `fallback` when there is none.
TextView IndentAbove(TextView page, std::size_t lineStart, std::size_t first, TextView fallback) {
    std::size_t end = lineStart;
    while (end > first) {
        // Step over the line end (CR LF counts once), then to that line's start.
        std::size_t lineEnd = end - 1;
        if (page[lineEnd] == '\n' && lineEnd > first && page[lineEnd - 1] == '\r')
            --lineEnd;
        const std::size_t start = LineStart(page, lineEnd, first);
        std::size_t text = start;
        while (text < lineEnd && IsIndent(page[text])) ++text;
        if (text < lineEnd)
            return page.substr(start, text - start);
        end = start;
    }
    return fallback;
}

bool IsIndentOnly(TextView text) {
    for (Char c : text) {
        if (!IsIndent(c))
            return false;
    }
    return true;
}

bool IsBlankText(TextView text) {
    for (Char c : text) {
        if (!(IsIndent(c) || IsLineEnd(c) || c == '\f'))
            return false;
    }
    return true;
}

// The keywords tag as XML: lower case, quoted, self-closed. The content keeps its
// references; a quote or "<" written bare (only possible outside double quotes) becomes a
// reference, so that it neither ends the value nor breaks the XML.
Text XmlKeywordsTag(TextView content) {
    Text tag = "<meta name=\"keywords\" content=\"";
    for (Char c : content) {
        if (c == '"')
            tag += "&quot;";
        else if (c == '<')
            tag += "&lt;";
        else
            tag += c;
    }
    tag += "\" />";
    return tag;
}

// Where the keywords element of an XML page ends: after the </meta> that closes it right
// away, which must go together with the start tag that a self-closed one replaces.
std::size_t XmlElementEnd(TextView page, const Span& tag) {
    const std::optional<MetaTagParts> parts = ReadMetaTag(tag.In(page));
    if (!parts || parts->selfClosing || page.compare(tag.end, 6, "</meta") != 0)
        return tag.end;
    std::size_t at = tag.end + 6;
    while (at < page.size() && (IsIndent(page[at]) || IsLineEnd(page[at]))) ++at;
    return at < page.size() && page[at] == '>' ? at + 1 : tag.end;
}

}  // namespace

SpliceResult SpliceKeywordsTag(TextView page, TextView tag) {
    const std::optional<MetaTagParts> parts = ReadMetaTag(tag);
    if (!parts || !parts->name || !EqualsIgnoringAsciiCase(*parts->name, "keywords"))
        return {SpliceRefusal::kNotAKeywordsTag, {}};
    if (!parts->content || IsBlankText(*parts->content))
        return {SpliceRefusal::kNoKeyword, {}};

    const Head head = ScanHead(page);
    // A tag that comes self-closed is written as XML too: as given, it would make the page
    // XHTML, and splicing it again would then write the other form.
    const Text xmlTag = head.xhtml || parts->selfClosing ? XmlKeywordsTag(*parts->content) : Text();
    const TextView written = xmlTag.empty() ? tag : TextView(xmlTag);
    SpliceResult result;
    Text& out = result.page;
    if (!head.keywordsTags.empty()) {
        out.reserve(page.size() + head.keywordsTags.size() * written.size());
        std::size_t copied = 0;
        for (const Span& old : head.keywordsTags) {
            out.append(page.substr(copied, old.begin - copied));
            out.append(written);
            copied = head.xhtml ? XmlElementEnd(page, old) : old.end;
        }
        out.append(page.substr(copied));
        return result;
    }

    if (!head.hasMarkup)
        return {SpliceRefusal::kNowhereToInsert, {}};
    // Without </head>, where a browser ends the head: at <body>, or wherever it does so by
    // itself (text, an element of the body, or the page's end).
    std::size_t at = head.headEndTag ? *head.headEndTag : head.openHeadEnd;
    const TextView lineEnd = LineEndBytes(head.lineEnd);
    Text added;
    const std::size_t lineStart = LineStart(page, at, head.contentStart);
    const TextView indent = page.substr(lineStart, at - lineStart);
    if (!lineEnd.empty() && IsIndentOnly(indent)) {
        // The head's end begins its line: the tag gets a line of its own just above it.
        at = lineStart;
        added.append(IndentAbove(page, lineStart, head.contentStart, indent));
    }
    added.append(written);
    added.append(lineEnd);
    out.reserve(page.size() + added.size());
    out.append(page.substr(0, at));
    out.append(added);
    out.append(page.substr(at));
    return result;
}

}  // namespace lumora::html
