// A site's first reading kept for its second step: finishing it gives what a whole pass
// with the site's common words gives, and the memory budget decides which pages are kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/engine.h"
#include "site/site_common.h"

namespace lumora::site {
namespace {

using engine::AnalysisResult;
using engine::CountOptions;
using CommonWords = std::shared_ptr<const std::unordered_set<Text>>;

CommonWords Common(std::unordered_set<Text> words) {
    return std::make_shared<const std::unordered_set<Text>>(std::move(words));
}

// The words the reading gives the spread, sorted.
std::vector<Text> VisibleWords(const engine::PageReading& reading) {
    std::vector<Text> texts;
    for (std::size_t i = 0; i < reading.Forms().size(); ++i) {
        if (reading.Visible(i))
            texts.emplace_back(reading.Forms()[i]);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

AnalysisResult Finish(engine::PageReading reading, const CommonWords& common,
                      const engine::TagOptions& tag) {
    if (!common)
        return engine::FinishReading(std::move(reading), nullptr, tag);
    const engine::SiteWords words(*common);
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

const std::vector<std::pair<const char*, Text>>& Pages() {
    static const std::vector<std::pair<const char*, Text>> pages = {
        {"nav bar in the body, its words also in the title",
         "<html><head><title>Our Gallery</title></head><body>\n"
         "<div>Home | Portfolio | Gallery | Pricing</div>\n"
         "kites strings gallery <b>kites</b> Portfolio pricing galleries</body></html>\n"},
        // Every word once and alike: the order of arrival alone ranks them, and the title's
        // common word arrives only after the rest.
        {"ties decided by arrival",
         "<body>gallery orchard pruning ladder cider</body>\n<title>gallery</title>\n"},
        {"plurals and case variants across contexts",
         "<title>Kites</title>\r\n<meta name=\"description\" content=\"Kite strings\">\r\n"
         "<h1>KITES</h1> kite Kites kites <i>string</i> <table><td>Strings</td></table>\r\n"
         "Pricing PRICING pricings\r\n"},
        {"windows-1252, no title",
         "<meta charset=\"windows-1252\"><body>caf\xE9 caf\xE9 th\xE9 gallery gallery "
         "pricing</body>"},
        {"UTF-16",
         Text("\xFF\xFE<\0b\0>\0g\0a\0l\0l\0e\0r\0y\0 \0k\0i\0t\0e\0s\0 \0k\0i\0t\0e\0s\0", 34)},
        {"no page at all", ""},
        {"a NUL byte", Text("kites\0kites", 11)},
    };
    return pages;
}

TEST(FirstReadingTest, FinishedGivesWhatAWholePassGives) {
    const std::vector<std::pair<const char*, CommonWords>> commons = {
        {"no common words", nullptr},
        {"an empty set", Common({})},
        {"nav words", Common({"home", "portfolio", "gallery", "pricing"})},
        {"words of the title and plurals", Common({"kites", "kite", "strings", "gallery", "café"})},
    };
    std::vector<CountOptions> counts(3);
    counts[1].minFrequency = 1;
    counts[1].ignoreCommonWords = false;
    counts[2].lowerCase = true;
    counts[2].weights.title = 0;
    counts[2].weights.bold = 9;
    for (const auto& [name, page] : Pages()) {
        for (const auto& [commonName, common] : commons) {
            for (std::size_t c = 0; c < counts.size(); ++c) {
                SCOPED_TRACE(std::string(name) + ", " + commonName + ", options " +
                             std::to_string(c));
                engine::Options options;
                options.count = counts[c];
                options.tag.maxKeywords = 5;
                engine::PageReadingResult first =
                    engine::ReadPage(page, options.count, engine::Resources{});
                options.count.siteCommonWords = common;
                const AnalysisResult whole = engine::Analyse(page, options, engine::Resources{});
                if (!first.ok()) {
                    ASSERT_FALSE(whole.ok());
                    EXPECT_EQ(first.error->code, whole.error->code);
                    continue;
                }
                ASSERT_TRUE(whole.ok());
                EXPECT_EQ(Report(Finish(std::move(first.reading), common, options.tag)),
                          Report(whole));
            }
        }
    }
}

TEST(FirstReadingTest, VisibleWordsAreTheDistinctLowerCaseWordsOutsideTitleAndMetaTags) {
    const Text page =
        "<head><title>Orchard Guide</title>\n"
        "<meta name=\"description\" content=\"Cider presses\">\n"
        "<meta name=\"keywords\" content=\"ladders\"></head>\n"
        "<body>Pruning APPLE trees, apple pruning; the Orchard in May.</body>\n";
    CountOptions count;
    count.minFrequency = 1;
    const engine::PageReadingResult first = engine::ReadPage(page, count, engine::Resources{});
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(VisibleWords(first.reading),
              (std::vector<Text>{"apple", "may", "orchard", "pruning", "the", "trees"}));
}

TEST(FirstReadingsTest, TheBudgetDecidesWhichPagesAreKeptNotWhichWordsAreCommon) {
    const std::vector<Text> site = {
        "<title>A</title>kites gallery pricing", "<title>B</title>gallery pricing orchard",
        "",  // no page: neither counted nor kept
        "<title>C</title>gallery ladders cider", "<title>D</title>gallery pricing presses"};
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
