// The quick look at what the head of a page already declares: its title and its
// keywords, description and "lmra done" meta tags.
#pragma once

#include "text/chars.h"

namespace lumora::scan {

// The report of the page's title, keywords, description and "lmra done" meta tags, as the
// output box shows it. The tags are those of the head as a browser reads it (the same
// ones insert replaces), each shown whole, as written, in page order; the title is the
// text of the head's first <title>. Every entry ends with CR LF CR LF; "No keywords meta
// tag found." (without a line end) follows when there is no keywords meta tag. The page is
// decoded as a pass decodes it (`encoding` overrides the detection), so the report is UTF-8.
Text ShowExistingReportForPage(TextView pageBytes, TextView encoding = {});

// The same for the page at `path`; "Error when looking for keywords meta tag." when it
// cannot be read.
Text ShowExistingReport(const Text& path);

}  // namespace lumora::scan
