// The engine's two additions for whole sites: the words a page shows, and the site's
// common words left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/engine.h"
#include "site/site_common.h"

namespace lumora::engine {
namespace {

std::vector<Text> Words(const Analysis& a) {
    std::vector<Text> words;
    for (const auto& w : a.ranked) words.push_back(w.word);
    std::sort(words.begin(), words.end());
    return words;
}

AnalysisResult AnalyseWith(const Text& page, const CountOptions& count) {
    Options options;
    options.count = count;
    options.count.ignoreCommonWords = false;
    options.count.minFrequency = 1;
    return Analyse(page, options, Resources{});
}

TEST(EngineSiteCommon, LeavesOutTheSitesWordsExceptThoseOfThePagesTitle) {
    const auto common = std::make_shared<const std::unordered_set<Text>>(
        std::unordered_set<Text>{"portfolio", "gallery", "acmeworks"});
    struct Case {
        const char* name;
        Text page;
        std::vector<Text> words;    // the ranked words, sorted
        std::vector<Text> leftOut;  // reported as left out
    };
    const std::vector<Case> cases = {
        {"nav bar only in the body",
         "<title>Kites</title><body>Portfolio Gallery Acmeworks\nkites and strings</body>",
         {"and", "kites", "strings"},
         {"acmeworks", "gallery", "portfolio"}},
        {"a title word stays, in any case and wherever it stands",
         "<title>Our gallery</title><body>Portfolio GALLERY Acmeworks gallery</body>",
         {"GALLERY", "Our", "gallery"},
         {"acmeworks", "portfolio"}},
        {"the description does not exempt",
         "<head><meta name=\"description\" content=\"Acmeworks kites\"></head>kites",
         {"kites"},
         {"acmeworks"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountOptions count;
        count.siteCommonWords = common;
        const AnalysisResult r = AnalyseWith(c.page, count);
        ASSERT_TRUE(r.ok());
        std::vector<Text> words = Words(r.analysis);
        EXPECT_EQ(words, c.words);
        EXPECT_EQ(r.analysis.siteCommonLeftOut, c.leftOut);
    }
}

}  // namespace
}  // namespace lumora::engine

namespace lumora::site {
namespace {

TEST(WordSpreadTest, MoreThanAShareOfThePagesReadAndNoMore) {
    WordSpread spread;
    EXPECT_TRUE(spread.MoreThan(50)->empty());  // no page: no common word
    spread.AddPage({"home", "kites", "about"});
    spread.AddPage({"home", "kites"});
    spread.AddPage({"home", "tails"});
    spread.AddPage({"home", "about"});
    EXPECT_EQ(spread.Pages(), 4u);
    // 2 of 4 is not more than half.
    for (const auto& [percent, size] : {std::pair{100.0, 0u}, {99.0, 1u}, {50.0, 1u}, {49.0, 3u}})
        EXPECT_EQ(spread.MoreThan(percent)->size(), size) << percent;
    EXPECT_EQ(*spread.MoreThan(50), (std::unordered_set<Text>{"home"}));
}

}  // namespace
}  // namespace lumora::site
