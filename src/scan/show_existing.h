// The quick look at what the head of a page already declares: its title and its
// keywords, description and "lmra done" meta tags.
#pragma once

#include "text/chars.h"

namespace lumora::scan {

// The report of the page's title, keywords, description and "lmra done" meta tags, read up
// to </head>, as the output box shows it: every entry ends with CR LF CR LF; "No keywords
// meta tag found." (without a line end) follows when there is no keywords meta tag; "Error
// when looking for keywords meta tag." follows the entries found so far when the page
// cannot be opened or read, or when a comment runs to the end of the page.
Text ShowExistingReport(const Text& path);

}  // namespace lumora::scan
