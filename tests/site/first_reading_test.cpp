// A site's first reading kept for its second step: finishing it gives what a whole pass
// with the site's common words gives, and the memory budget decides which pages are kept.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "engine/engine.h"
#include "site/site_common.h"
#include "support/case_file.h"

namespace lumora::site {
namespace {

using engine::AnalysisResult;
using engine::CountOptions;
using CommonWords = std::shared_ptr<const std::unordered_set<Text>>;

CommonWords Common(std::unordered_set<Text> words) {
    return std::make_shared<const std::unordered_set<Text>>(std::move(words));
}

// `inTitles`: the common words are those of the site's titles, left out of titles too.
AnalysisResult Finish(engine::PageReading reading, const CommonWords& common,
                      const engine::TagOptions& tag, bool inTitles) {
    if (!common)
        return engine::FinishReading(std::move(reading), nullptr, tag);
    const engine::SiteWords words(inTitles ? std::unordered_set<Text>{} : *common,
                                  inTitles ? *common : std::unordered_set<Text>{});
    return engine::FinishReading(std::move(reading), &words, tag);
}

// Everything a page's report is made of, in one comparable line per part.
std::vector<Text> Report(const AnalysisResult& r) {
    std::vector<Text> lines;
    lines.push_back(r.ok() ? "ok" : "error " + std::to_string(static_cast<int>(r.error->code)));
    const engine::Analysis& a = r.analysis;
    lines.push_back(a.page.encoding + " " + std::to_string(static_cast<int>(a.page.lineEnds)) +
                    " " + std::to_string(a.page.size) + (a.page.byteOrderMark ? " bom" : ""));
    lines.push_back(a.existing.title.value_or("(no title)"));
    for (const Text& t : a.existing.descriptions) lines.push_back(t);
    for (const Text& t : a.existing.keywords) lines.push_back(t);
    for (const words::WordEntry& w : a.ranked) {
        lines.push_back(w.word + " " + std::to_string(w.frequency) + " " +
                        std::to_string(w.keyValue) + (w.titleFlag ? " title" : ""));
    }
    lines.push_back(a.tag.boxText);
    for (const Text& w : a.siteCommonLeftOut) lines.push_back("left out " + w);
    return lines;
}

TEST(FirstReadingTest, FinishedGivesWhatAWholePassGives) {
    const std::vector<std::tuple<const char*, CommonWords, bool>> commons = {
        {"no common words", nullptr, false},
        {"an empty set", Common({}), false},
        {"nav words", Common({"home", "portfolio", "gallery", "pricing"}), false},
        {"words of the title and plurals",
         Common({"kites", "kite", "strings", "gallery", "café", "dhcp"}), false},
        {"words of the site's titles", Common({"gallery", "kites", "dhcp", "orchard"}), true},
    };
    std::vector<CountOptions> counts(4);
    counts[1].minFrequency = 1;
    counts[1].ignoreCommonWords = false;
    counts[2].lowerCase = true;
    counts[2].weights.title = 0;
    counts[2].weights.bold = 9;
    counts[3].rules = engine::WordRules::kToday;
    counts[3].languageFromPage = true;
    for (const testing::Case& pageCase : testing::ReadCases("first_reading.txt")) {
        const Text page = pageCase.Get("page");
        for (const auto& [commonName, common, inTitles] : commons) {
            for (std::size_t c = 0; c < counts.size(); ++c) {
                SCOPED_TRACE(pageCase.name + ", " + commonName + ", options " + std::to_string(c));
                engine::Options options;
                options.count = counts[c];
                options.tag.maxKeywords = 5;
                engine::PageReadingResult first =
                    engine::ReadPage(page, options.count, engine::Resources{});
                (inTitles ? options.count.siteTitleWords : options.count.siteCommonWords) = common;
                const AnalysisResult whole = engine::Analyse(page, options, engine::Resources{});
                if (!first.ok()) {
                    ASSERT_FALSE(whole.ok());
                    EXPECT_EQ(first.error->code, whole.error->code);
                    continue;
                }
                ASSERT_TRUE(whole.ok());
                EXPECT_EQ(Report(Finish(std::move(first.reading), common, options.tag, inTitles)),
                          Report(whole));
            }
        }
    }
}

TEST(FirstReadingsTest, TheBudgetDecidesWhichPagesAreKeptNotWhichWordsAreCommon) {
    // A page gives the spread its distinct words in lower case, outside the title and the
    // meta tags: "orchard", "ladders" and "kites" stand on two pages.
    const std::vector<Text> site = {
        "<title>Orchard</title>Gallery kites kites pricing",
        "<title>Orchard</title><meta name=\"keywords\" content=\"ladders\">Gallery pricing",
        "",  // no page: neither counted nor kept
        "<title>Orchard</title><meta name=\"description\" content=\"ladders\">gallery cider",
        "<title>D</title>gallery pricing presses ladders kites"};
    const auto readAll = [&](std::size_t budget) {
        auto readings = std::make_unique<FirstReadings>(site.size(), budget);
        for (std::size_t i = 0; i < site.size(); ++i)
            readings->Read(i, site[i], CountOptions{}, engine::Resources{}, {});
        for (std::size_t i = 0; i < site.size(); ++i) readings->Deliver(i);
        return readings;
    };
    std::unique_ptr<FirstReadings> all = readAll(std::size_t{1} << 30);
    const std::size_t onePage = all->Take(0)->Bytes();
    struct Case {
        const char* name;
        std::size_t budget;
        std::vector<bool> kept;
    };
    const std::vector<Case> cases = {
        {"no memory: every page is read again", 0, {false, false, false, false, false}},
        {"room for about one page", onePage + onePage / 2, {true, false, false, false, false}},
        {"room for all", std::size_t{1} << 30, {true, true, false, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<FirstReadings> readings = readAll(c.budget);
        EXPECT_EQ(readings->Spread().Pages(), 4u);
        EXPECT_EQ(*readings->Spread().MoreThan(50),
                  (std::unordered_set<Text>{"gallery", "pricing"}));
        std::size_t kept = 0;
        for (std::size_t i = 0; i < site.size(); ++i) {
            const bool taken = readings->Take(i).has_value();
            EXPECT_EQ(taken, c.kept[i]) << "page " << i;
            kept += taken ? 1 : 0;
            EXPECT_FALSE(readings->Take(i).has_value()) << "handed over once";
        }
        EXPECT_EQ(readings->Kept(), kept);
    }
}

}  // namespace
}  // namespace lumora::site
