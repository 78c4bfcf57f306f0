// Splicing into XHTML pages, checked by a real XML parser; where the tag goes on other
// pages is in tests/data/html_head.txt.
#include "html/splice.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "html/head_scan.h"
#include "support/temp_dir.h"

namespace lumora::html {
namespace {

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"bread, sourdough\">";
const Text kXmlTag = "<meta name=\"keywords\" content=\"bread, sourdough\" />";

// Whether a real XML parser takes the page as well-formed.
bool IsWellFormedXml(const Text& page) {
    const testing::TempDir dir;
    const Text path = dir.Write("page.xhtml", page);
    const int status = std::system(("xmllint --nonet --noout - 2>/dev/null <" + path).c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An XHTML page, whatever tells that it is one, stays well-formed XML, and the content
// keeps its meaning even when given with a bare quote or "<".
TEST(SpliceKeywordsTag, XhtmlPagesStayWellFormedXml) {
    const Text head = "<head><title>Bread</title>\n";
    const Text rest = "</head>\n<body><p>Bread<br/></p></body></html>\n";
    const Text pages[] = {
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<html>" + head + rest,
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n"
        "  \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n<html>" +
            head + "<meta name=\"keywords\" content=\"a\"></meta >\n<meta name='KEYWORDS' />\n" +
            rest,
        "<html xmlns=\"http://www.w3.org/1999/xhtml\">" + head +
            "<meta content=\"a\" name=\"keywords\"></meta>" + rest,
        "<html>" + head + "<meta name=\"keywords\" content=\"old\"/>" + rest,
    };
    const struct {
        Text tag, written;
    } tags[] = {
        {kTag, kXmlTag},
        {"<meta name=keywords content='a \"b\" <c> &amp; d'>",
         "<meta name=\"keywords\" content=\"a &quot;b&quot; &lt;c> &amp; d\" />"},
    };
    // The tag as other pages get it would break the last one.
    EXPECT_FALSE(IsWellFormedXml("<html>" + head + kTag + rest));
    for (const Text& page : pages) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(IsWellFormedXml(page)) << "xmllint missing? scripts/setup.sh installs it";
        const std::size_t tagsBefore = ScanHead(page).keywordsTags.size();
        for (const auto& t : tags) {
            const SpliceResult result = SpliceKeywordsTag(page, t.tag);
            ASSERT_FALSE(result.refusal);
            EXPECT_TRUE(IsWellFormedXml(result.page)) << result.page;
            const Head after = ScanHead(result.page);
            EXPECT_EQ(after.keywordsTags.size(), std::max<std::size_t>(tagsBefore, 1));
            for (const Span& tag : after.keywordsTags) EXPECT_EQ(tag.In(result.page), t.written);
            EXPECT_EQ(SpliceKeywordsTag(result.page, t.tag).page, result.page);
        }
    }
}

}  // namespace
}  // namespace lumora::html
