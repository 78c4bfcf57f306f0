#include "html/head_scan.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace lumora::html {
namespace {

std::vector<Text> Texts(TextView page, const std::vector<Span>& spans) {
    std::vector<Text> texts;
    for (const Span& span : spans) texts.emplace_back(span.In(page));
    return texts;
}

// The hard spots of reading a head: what looks like a keywords tag or a head end but is
// not one, and what is one though it looks odd.
TEST(ScanHead, FindsTheKeywordsTagsABrowserWouldSee) {
    const Text tag = "<meta name=\"keywords\" content=\"a, b\">";
    const struct {
        const char* name;
        Text page;
        std::vector<Text> keywords;
    } cases[] = {
        {"unquoted value runs into the slash", "<meta name=keywords/>", {}},
        {"the first name attribute counts",
         "<meta name=\"description\" name=\"keywords\"><meta name=keywords name=x>",
         {"<meta name=keywords name=x>"}},
        {"keywords elsewhere",
         "<link rel=\"keywords\" title='<meta name=keywords>'><meta content=\"keywords\">"
         "<meta http-equiv=keywords>",
         {}},
        {"a comment may end with --!>", "<!--x--!>" + tag, {tag}},
        {"unclosed comment", "<head><!-- " + tag + "</head>", {}},
        {"script end needs a delimiter", "<script>x</scripts>" + tag + "</SCRIPT >" + tag, {tag}},
        {"script in an old-style comment",
         "<script><!-- document.write('<script>x</script>" + tag + "') --></script>" + tag,
         {tag}},
        {"style, noscript, noframes",
         "<style>" + tag + "</style><noscript>" + tag + "</noscript><noframes>" + tag +
             "</noframes>" + tag,
         {tag}},
        {"page ends inside the tag", "<head><meta name=keywords content=\"a", {}},
        {"< that begins nothing is text", "<head>< " + tag, {}},
        {"end tags that do not end the head", "<head></div></p>" + tag, {tag}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Texts(c.page, ScanHead(c.page).keywordsTags), c.keywords) << c.name;
    }
}

// Where the head ends for the splice is checked on generated pages; here the spots they
// do not reach, and the title.
TEST(ScanHead, HeadEndAndTitle) {
    const struct {
        const char* name;
        Text page;
        const char* fromHeadEnd;  // the page from the head end tag on, "" for none
        std::optional<Text> title;
    } cases[] = {
        {"both", "<head><title>T</title></HEAD>\n<body>x", "</HEAD>\n<body>x", "T"},
        {"</head> in a comment or title", "<!--</head>--><title></head></title><body>", "",
         "</head>"},
        {"a second </head> is no end", "<head></head><div></head>", "</head><div></head>",
         std::nullopt},
        {"title over lines, raw", "<title>a\r\n<b>&amp;</title>", "", "a\r\n<b>&amp;"},
        {"unclosed title", "<title>a</head><body>", "", "a</head><body>"},
        {"title in the body", "<body><title>x</title>", "", std::nullopt},
    };
    for (const auto& c : cases) {
        const Head head = ScanHead(c.page);
        EXPECT_EQ(head.headEndTag ? c.page.substr(*head.headEndTag) : Text(), c.fromHeadEnd)
            << c.name;
        EXPECT_EQ(head.title ? std::optional<Text>(head.title->In(c.page)) : std::nullopt, c.title)
            << c.name;
    }
}

// What marks a page as XHTML, and what only looks like it (such a page keeps the tag as
// given). The plain marks are checked on well-formed pages with the splice.
TEST(ScanHead, TellsXhtmlPages) {
    const std::pair<Text, bool> cases[] = {
        {"\xEF\xBB\xBF \r\n<?xml version='1.0'?><html>", true},
        {"<!-- x --><?xml version='1.0'?><html>", false},
        {"<!DOCTYPE html><!-- XHTML --><title>XHTML</title>", false},
        {"<html xmlns:v=\"urn:v\"><meta name=description />", false},
        {"<meta name=keywords content=a/>", false},  // the "/" belongs to the value
        {"<p><meta name=keywords />", false},        // in the body
    };
    for (const auto& [page, xhtml] : cases) EXPECT_EQ(ScanHead(page).xhtml, xhtml) << page;
}

TEST(ScanHead, DescriptionAndMarkerTags) {
    const Text page =
        "<meta name=Description content=d><meta content='LMRA done' name=keywords>"
        "<meta name=description><body><meta name=description>";
    const Head head = ScanHead(page);
    EXPECT_EQ(Texts(page, head.descriptionTags),
              (std::vector<Text>{"<meta name=Description content=d>", "<meta name=description>"}));
    EXPECT_EQ(Texts(page, head.doneMarkerTags),
              (std::vector<Text>{"<meta content='LMRA done' name=keywords>"}));
    EXPECT_EQ(Texts(page, head.keywordsTags), Texts(page, head.doneMarkerTags));
}

TEST(ScanHead, LineEnds) {
    const struct {
        Text page;
        LineEnd lineEnd;
    } cases[] = {
        {"<head></head>", LineEnd::kNone},
        {"a\nb\r\n", LineEnd::kLf},
        {"a\r\nb\n", LineEnd::kCrLf},
        {"a\rb\r\n", LineEnd::kCr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanHead(c.page).lineEnd, c.lineEnd) << c.page;
        EXPECT_EQ(FirstLineEnd(c.page), c.lineEnd) << c.page;
    }
}

TEST(ReadMetaTag, OnlyOneWholeMetaTag) {
    const auto parts = ReadMetaTag("<META NAME=\"keywords\" CONTENT=\"a &amp; b\">");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->name, "keywords");
    EXPECT_EQ(parts->content, "a &amp; b");
    EXPECT_EQ(ReadMetaTag("<meta name=keywords content=>")->content, "");
    EXPECT_FALSE(ReadMetaTag("<meta name=keywords>")->content);
    for (const char* notOne : {" <meta name=keywords>", "<meta name=keywords><b>",
                               "<meta name=\"keywords\" content=\"a\">\">", "<meta name=\"keywords",
                               "<link name=keywords>"}) {
        EXPECT_FALSE(ReadMetaTag(notOne)) << notOne;
    }
}

// Pages of 16 MB built to make a careless scanner go back over what it has read; each
// must be read in roughly linear time.
// Each page would take hours if any of these spots went quadratic; the suite's per-test
// time limit (set where the tests are registered) turns that into a failure.
TEST(ScanHead, LinearOnLongPathologicalPages) {
    constexpr std::size_t kSize = 4 << 20;
    const auto repeat = [](TextView piece) {
        Text page;
        page.reserve(kSize + piece.size());
        while (page.size() < kSize) page += piece;
        return page;
    };
    const Text pages[] = {
        repeat("<meta name=keywords content=x>"),    // a head of nothing but tags
        "<script>" + repeat("</scrip<!--<script "),  // near-misses of a script's end
        "<title>" + repeat("</titl"),                // near-misses of a title's end
        "<!--" + repeat("-- -!"),                    // near-misses of a comment's end
        "<meta " + repeat("a=\"1\" b "),             // one tag, endless attributes
        "<meta a=\"" + repeat("x"),                  // an attribute value never closed
        repeat("<!x"),                               // declarations never closed
        repeat("x < y "),                            // text all through, no mark-up
    };
    for (const Text& page : pages) {
        const Head head = ScanHead(page);
        EXPECT_LE(head.bodyStart, page.size()) << page.substr(0, 20);
    }
}

}  // namespace
}  // namespace lumora::html
