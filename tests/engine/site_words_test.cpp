// The engine's addition for whole sites: the site's common words left out of a page, as
// tests/data/site_common.txt says.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <unordered_set>

#include "engine/engine.h"
#include "support/case_file.h"

namespace lumora::engine {
namespace {

std::vector<Text> Split(const Text& listed) {
    std::vector<Text> words;
    std::istringstream in(listed);
    for (Text word; in >> word;) words.push_back(word);
    return words;
}

TEST(EngineSiteCommon, LeavesOutTheSitesWordsExceptThoseOfThePagesTitle) {
    for (const testing::Case& c : testing::ReadCases("site_common.txt")) {
        SCOPED_TRACE(c.name);
        const std::vector<Text> common = Split(c.Get("common"));
        Options options;
        options.count.siteCommonWords =
            std::make_shared<const std::unordered_set<Text>>(common.begin(), common.end());
        options.count.ignoreCommonWords = false;
        options.count.minFrequency = 1;
        const AnalysisResult r = Analyse(c.Get("page"), options, Resources{});
        ASSERT_TRUE(r.ok());
        std::vector<Text> words;
        for (const auto& w : r.analysis.ranked) words.push_back(w.word);
        std::sort(words.begin(), words.end());
        EXPECT_EQ(words, Split(c.Get("words")));
        EXPECT_EQ(r.analysis.siteCommonLeftOut, Split(c.Get("left-out")));
    }
}

}  // namespace
}  // namespace lumora::engine
