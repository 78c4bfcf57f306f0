#include "html/splice.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "html/head_scan.h"
#include "support/temp_dir.h"

namespace lumora::html {
namespace {

const Text kTag = "<META NAME=\"keywords\" CONTENT=\"bread, sourdough\">";
const Text kXmlTag = "<meta name=\"keywords\" content=\"bread, sourdough\" />";

// A page made of pieces, some of which are known to be real keywords tags of the head;
// the finder is checked against what the generator knows, not against itself.
struct GeneratedPage {
    Text page;
    std::vector<Span> keywordsTags;     // the real ones, in page order
    std::optional<std::size_t> anchor;  // where the head ends, before which a new tag goes
    bool xhtml = false;                 // a keywords tag of the head is self-closed
    Text lineEnd;
};

// Pages are written from pieces of text in which "\n" is the page's line end, "~" an
// indentation, "|" a break inside a tag (a line end where the page has them), "#" a real
// keywords tag of the head, "@" a keywords tag that is none, and "^" the place where the
// head ends, before which a new tag goes; the rest is mark-up, in upper case on some pages.
class PageGenerator {
  public:
    explicit PageGenerator(unsigned seed) : random_(seed) {}

    GeneratedPage Make() {
        GeneratedPage g;
        out_ = &g;
        static const char* const kLineEnds[] = {"\n", "\r\n", "\r", ""};
        g.lineEnd = kLineEnds[Pick(4)];
        upper_ = Chance(4);
        if (Chance(6))
            g.page = "\xEF\xBB\xBF";
        Emit(Chance(2) ? "<!DOCTYPE html>\n" : "");
        Emit(Chance(5) ? "" : Chance(2) ? "<html lang=\"en\">\n" : "<html>\n");
        Emit(Chance(5) ? "" : "<head>\n");
        // Real keywords tags, and pieces of a head that only look as if they held one.
        static const char* const kHeadPieces[] = {
            "~#\n",
            "~#\n",
            "~<title>Bread</title>\n",
            "~<title>keywords </head> @</title>\n",
            "~<meta name=\"description\" content=\"About keywords\">\n",
            "~<!-- @|</head> <body> -->\n",
            "~<script type=\"application/ld+json\">{\"keywords\": \"a, b\",|\"html\": \"@</head>\"}"
            "</script>\n",
            "~<style>/* </head> @ */|p {}</style>\n",
            "~<link rel=\"alternate\"|title='keywords > \"x\" </head>' href=/a>\n",
            "~<script><!--|document.write('@');|//--></script>\n",
            "~<meta charset=\"utf-8\">\n",
            "~\n",
        };
        for (int i = Pick(8); i > 0; --i) Emit(kHeadPieces[Pick(12)]);
        // </head> on its own line or on that of the last piece; no </head>, but <body>; or
        // the body starts by itself, and a later </head> is too late to end the head.
        static const char* const kHeadEnds[] = {
            "~^</head>\n<body>\n",      "~^</head>\n~#\n<body>\n", "^</head><body>\n",
            "^<body class=\"main\">\n", "^<div>\n</head>\n",       "^Plain text\n</head>\n",
        };
        Emit(kHeadEnds[Pick(6)]);
        Emit(
            "<h1>Bread</h1>\n<p>Shops put the word \"keywords\" in their pages.</p>\n"
            "<meta name=\"keywords\" content=\"in the body\">\n</body></html>");
        Emit(Chance(2) ? "\n" : "");
        return g;
    }

  private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int oneIn) { return Pick(oneIn) == 0; }

    Text M(TextView markup) {
        Text text(markup);
        if (upper_) {
            for (Char& c : text) c = ToUpper(c);
        }
        return text;
    }
    Text Indent() {
        static const char* const kIndents[] = {"", "", "  ", "    ", "\t"};
        return kIndents[Pick(5)];
    }
    Text Break() { return out_->lineEnd.empty() ? " " : out_->lineEnd + Indent(); }
    void Add(TextView text) { out_->page += text; }
    void Emit(TextView piece) {
        for (const Char c : piece) {
            if (c == '\n')
                Add(out_->lineEnd);
            else if (c == '~')
                Add(Indent());
            else if (c == '|')
                Add(Break());
            else if (c == '#')
                RealKeywordsTag();
            else if (c == '@')
                Add(M("<meta name=\"keywords\" content=\"fake\">"));
            else if (c == '^')
                out_->anchor = out_->page.size();
            else
                Add(M(Text(1, c)));
        }
    }

    void RealKeywordsTag() {
        static const char* const kNames[] = {"name", "NAME", "Name"};
        static const char* const kValues[] = {"keywords", "KEYWORDS", "Keywords"};
        static const char* const kEquals[][2] = {{"=\"", "\""}, {" = '", "'"}, {"=", ""}};
        const Text value = kValues[Pick(3)];
        const auto& equals = kEquals[Pick(3)];
        std::vector<Text> attributes = {Text(kNames[Pick(3)]) + equals[0] + value + equals[1]};
        static const char* const kContents[] = {"content=\"old, words\"", "CONTENT='old'",
                                                "content=old,words",      "content=\"\"",
                                                "content=\"a,\nb\"",      "content=\"x > y\""};
        if (!Chance(6))
            attributes.push_back(kContents[Pick(6)]);
        if (Chance(3))
            attributes.push_back("lang=\"en\"");
        std::shuffle(attributes.begin(), attributes.end(), random_);
        Text tag = M("<meta");
        for (const Text& attribute : attributes) tag += (Chance(3) ? Break() : " ") + attribute;
        // "/>" right after an unquoted value would become part of the value.
        const Char last = tag.back();
        tag += Chance(3) ? " />" : ((last == '"' || last == '\'') && Chance(2) ? "/>" : ">");
        out_->xhtml = out_->xhtml || tag.ends_with("/>");
        const std::size_t begin = out_->page.size();
        Add(tag);
        out_->keywordsTags.push_back({begin, out_->page.size()});
    }

    std::mt19937 random_;
    GeneratedPage* out_ = nullptr;
    bool upper_ = false;
};

Text WithoutSpans(TextView page, const std::vector<Span>& spans) {
    Text rest;
    std::size_t copied = 0;
    for (const Span& span : spans) {
        rest.append(page.substr(copied, span.begin - copied));
        copied = span.end;
    }
    rest.append(page.substr(copied));
    return rest;
}

TEST(SpliceKeywordsTag, OnlyTheTagChangesOnGeneratedPages) {
    PageGenerator generator(20240611);
    int replaced = 0;
    int inserted = 0;
    for (int n = 0; n < 1500; ++n) {
        const GeneratedPage g = generator.Make();
        SCOPED_TRACE(::testing::Message() << "page " << n << ":\n" << g.page);
        const Head head = ScanHead(g.page);
        ASSERT_EQ(head.keywordsTags, g.keywordsTags);

        const SpliceResult result = SpliceKeywordsTag(g.page, kTag);
        ASSERT_FALSE(result.refusal);
        const Text& page = result.page;
        const Text& written = g.xhtml ? kXmlTag : kTag;
        const Head after = ScanHead(page);
        for (const Span& tag : after.keywordsTags) EXPECT_EQ(tag.In(page), written);
        const Text rest = WithoutSpans(page, after.keywordsTags);
        if (!g.keywordsTags.empty()) {
            ++replaced;
            EXPECT_EQ(after.keywordsTags.size(), g.keywordsTags.size());
            EXPECT_EQ(rest, WithoutSpans(g.page, g.keywordsTags));
        } else {
            ++inserted;
            // What is left of the addition is its indentation and one line end.
            ASSERT_EQ(after.keywordsTags.size(), 1u);
            ASSERT_GE(rest.size(), g.page.size());
            std::size_t same = 0;
            while (same < g.page.size() && rest[same] == g.page[same]) ++same;
            const Text added = rest.substr(same, rest.size() - g.page.size());
            EXPECT_EQ(rest.substr(same + added.size()), g.page.substr(same));
            Text lineEnds;
            for (Char c : added) {
                if (c != ' ' && c != '\t')
                    lineEnds += c;
            }
            EXPECT_EQ(lineEnds, g.lineEnd);
            EXPECT_LE(after.keywordsTags[0].end, *g.anchor + added.size() + written.size());
        }
        const SpliceResult again = SpliceKeywordsTag(page, kTag);
        ASSERT_FALSE(again.refusal);
        EXPECT_EQ(again.page, page);
    }
    // The generator reaches every outcome often.
    EXPECT_GT(replaced, 200);
    EXPECT_GT(inserted, 200);
}

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
