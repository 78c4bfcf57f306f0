// Feeds arbitrary pages to the head scanner and the splice, and stops on any broken
// promise: offsets outside the page or out of order, a splice that changes bytes other
// than the tag's, or a second splice that changes the page again. The first input byte
// chooses the tag; the rest is the page.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/head_scan.h"
#include "html/splice.h"

namespace {

using lumora::Text;
using lumora::TextView;
namespace html = lumora::html;

void Check(bool promise) {
    if (!promise)
        std::abort();
}

void CheckSpans(TextView page, const std::vector<html::Span>& spans) {
    std::size_t previous = 0;
    for (const html::Span& span : spans) {
        Check(span.begin >= previous && span.begin < span.end && span.end <= page.size());
        Check(page[span.begin] == '<' && page[span.end - 1] == '>');
        previous = span.end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const TextView kTags[] = {
        "<META NAME=\"keywords\" CONTENT=\"a, b\">",
        "<meta name=keywords content=x>",
        "<META NAME=\"keywords\" CONTENT=\"&quot;&lt;&amp;\">",
    };
    // The same tags as an XHTML page gets them.
    static const TextView kXmlTags[] = {
        "<meta name=\"keywords\" content=\"a, b\" />",
        "<meta name=\"keywords\" content=\"x\" />",
        "<meta name=\"keywords\" content=\"&quot;&lt;&amp;\" />",
    };
    const TextView tag = kTags[data[0] % 3];
    const TextView page(reinterpret_cast<const char*>(data + 1), size - 1);

    const html::Head head = html::ScanHead(page);
    CheckSpans(page, head.keywordsTags);
    CheckSpans(page, head.descriptionTags);
    Check(head.bodyStart <= page.size());
    if (head.title)
        Check(head.title->begin <= head.title->end && head.title->end <= page.size());
    if (head.headEndTag)
        Check(*head.headEndTag < head.bodyStart);
    if (head.bodyStartTag)
        Check(*head.bodyStartTag == head.bodyStart);

    const html::SpliceResult once = html::SpliceKeywordsTag(page, tag);
    Check(head.openHeadEnd <= head.bodyStart);
    if (once.refusal) {
        Check(!head.hasMarkup && head.keywordsTags.empty() && !head.headEndTag);
        return 0;
    }
    const html::Head after = html::ScanHead(once.page);
    Check(!after.keywordsTags.empty());
    const TextView written = head.xhtml ? kXmlTags[data[0] % 3] : tag;
    for (const html::Span& span : after.keywordsTags) Check(span.In(once.page) == written);
    if (!head.keywordsTags.empty()) {
        // Taking the tags out of both pages leaves the same bytes.
        auto without = [](TextView p, const std::vector<html::Span>& spans) {
            Text rest;
            std::size_t copied = 0;
            for (const html::Span& s : spans) {
                rest.append(p.substr(copied, s.begin - copied));
                copied = s.end;
            }
            return rest.append(p.substr(copied));
        };
        Check(after.keywordsTags.size() == head.keywordsTags.size());
        // An XHTML page also loses the </meta> end tags of the tags that are now self-closed.
        const Text before = without(page, head.keywordsTags);
        const Text now = without(once.page, after.keywordsTags);
        Check(head.xhtml ? now.size() <= before.size() : now == before);
    }
    Check(html::SpliceKeywordsTag(once.page, tag).page == once.page);
    return 0;
}
