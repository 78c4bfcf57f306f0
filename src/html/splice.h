// Putting a keywords meta tag into a page's bytes so that nothing else about the page
// changes.
//
// Every keywords meta tag of the head (as ScanHead finds them) is replaced, in place, by
// the new tag. A page without one gets the new tag before the </head> that closes its
// head, or, without that, where a browser ends the head by itself: before its <body> tag,
// before the text or element that starts its body, or at the page's end when all of it
// stays in the head. It goes on a line of its own when that place begins its line
// (indented like the line above), otherwise directly there; either way followed by one
// line end of the page's own kind (none on a page without line ends). All other bytes stay
// as they were: line ends, blank lines, blanks, case.
//
// On an XHTML page (see Head::xhtml) the tag is written as XML instead, so that the page
// stays well-formed: <meta name="keywords" content="CONTENT" />, with the given tag's
// content, and a </meta> right after a tag it replaces goes too. A tag given self-closed
// is written that way on any page. Splicing the same tag into the result again gives the
// same bytes.
#pragma once

#include <optional>

#include "text/chars.h"

namespace lumora::html {

enum class SpliceRefusal {
    kNotAKeywordsTag,  // the new tag is not one <meta name="keywords" ...> tag
    kNoKeyword,        // the new tag's content is empty
    kNowhereToInsert,  // the page holds no mark-up at all, so it has no head
};

struct SpliceResult {
    std::optional<SpliceRefusal> refusal;
    Text page;  // the new page, when not refused
};

SpliceResult SpliceKeywordsTag(TextView page, TextView tag);

}  // namespace lumora::html
