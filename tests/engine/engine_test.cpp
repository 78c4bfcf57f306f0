// The engine through its one entry point: line ends, stop and progress, threads, large
// vocabularies and the existing tags of a decoded page.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace lumora::engine {
namespace {

using lumora::testing::ReadFile;

// Every shipped list, read through the engine as a front reads them.
Resources Shipped() {
    static const CommonWordsLoad all = [] {
        static CommonWordsCache cache(LUMORA_BIN_DIR, RealFileSystem());
        CommonWordsLoad load;
        for (int i = 0; i < kLanguageCount; ++i) {
            CountOptions count;
            count.language = static_cast<Language>(i);
            load = cache.Load(count);
        }
        return load;
    }();
    return all.resources();
}

// Everything a pass decides about the words, as one text to compare.
Text Summary(const Analysis& a) {
    std::ostringstream s;
    s << std::hexfloat << a.stopped << a.tag.tag << a.tag.keywords << ' ' << a.tag.characters
      << a.tag.boxText << '\n';
    for (const auto& w : a.ranked)
        s << w.word << ' ' << w.frequency << ' ' << w.keyValue << ' ' << w.titleFlag << '\n';
    for (const auto& w : a.wordsFound) s << w << ' ';
    return s.str();
}

Text WithLineEnds(const std::vector<Text>& lines, const std::vector<TextView>& ends) {
    Text page;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        page += lines[i];
        page += ends[i % ends.size()];
    }
    return page;
}

TEST(EngineLineEnds, AnyLineEndsGiveTheSameAnalysis) {
    // Fragments that carry state across lines: tags, comments, scripts, a title over two lines.
    const std::vector<Text> pool = {"<title>Garden tools",
                                    "and seeds</title>",
                                    "<meta name=\"description\" content=\"Tools",
                                    "for gardens\">",
                                    "<b>spade</b> rake",
                                    "<!-- hoe hoe",
                                    "hoe -->",
                                    "<script>var x =",
                                    "1;</script> seeds",
                                    "",
                                    "<table><tr><td>spade",
                                    "</td></tr></table>",
                                    "Spades and rakes; rakes",
                                    "<p",
                                    ">gloves gloves",
                                    "SEEDS Seeds seeds",
                                    "<font size=5>big",
                                    "</font> spade"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 80; ++round) {
        std::vector<Text> lines;
        const std::size_t count = 1 + random() % 30;
        for (std::size_t i = 0; i < count; ++i) lines.push_back(pool[random() % pool.size()]);
        Options options;
        options.count.minFrequency = 1 + static_cast<int>(random() % 2);
        options.count.lowerCase = random() % 2 == 0;
        options.count.weights.table = static_cast<int>(random() % 3);

        const Text crlf = WithLineEnds(lines, {"\r\n"});
        const AnalysisResult reference = Analyse(crlf, options, Shipped());
        ASSERT_TRUE(reference.ok());
        EXPECT_EQ(reference.analysis.page.lineEnds, LineEnds::kCrLf);
        const std::vector<std::pair<Text, LineEnds>> variants = {
            {WithLineEnds(lines, {"\n"}), LineEnds::kLf},
            {WithLineEnds(lines, {"\r"}), LineEnds::kCr},
            {WithLineEnds(lines, {"\n", "\r\n", "\r"}),
             count >= 2 ? LineEnds::kMixed : LineEnds::kLf},
            // No line end after the last line.
            {crlf.substr(0, crlf.size() - 2), count > 1 ? LineEnds::kCrLf : LineEnds::kNone},
        };
        for (const auto& [page, ends] : variants) {
            if (page.empty())
                continue;  // an empty page is refused, whatever its line ends were
            SCOPED_TRACE(::testing::Message() << "round " << round << ": " << page);
            const AnalysisResult r = Analyse(page, options, Shipped());
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.analysis.page.lineEnds, ends);
            EXPECT_EQ(r.analysis.page.size, static_cast<std::int64_t>(page.size()));
            EXPECT_EQ(Summary(r.analysis), Summary(reference.analysis));
        }
    }
}

// A page of many distinct words on one single line, for passes long enough to watch.
Text OneLinePage(std::size_t bytes) {
    Text page = "<title>Long page</title> ";
    std::mt19937 random(7);
    while (page.size() < bytes) {
        for (int letters = 4 + static_cast<int>(random() % 5); letters > 0; --letters)
            page += static_cast<Char>('a' + random() % 26);
        page += ' ';
    }
    return page;
}

struct Watched {
    AnalysisResult result;
    std::vector<PassProgress> reports;
    std::chrono::steady_clock::duration took{};
};

// Runs passes on longer and longer one-line pages until one is long enough to report at
// least twice before it ends (or `stopAfter` reports have stopped it).
Watched WatchLongPass(int stopAfter) {
    for (std::size_t size = std::size_t{1} << 21;; size *= 2) {
        const Text page = OneLinePage(size);
        Watched w;
        std::stop_source stop;
        Options options;
        options.count.minFrequency = 1;
        const auto start = std::chrono::steady_clock::now();
        w.result = Analyse(
            page, options, Shipped(),
            [&](const PassProgress& p) {
                w.reports.push_back(p);
                if (static_cast<int>(w.reports.size()) == stopAfter)
                    stop.request_stop();
            },
            stop.get_token());
        w.took = std::chrono::steady_clock::now() - start;
        if (w.result.analysis.stopped || w.reports.size() >= 3 || size >= (std::size_t{1} << 26))
            return w;
    }
}

TEST(EngineProgress, ReportsAdvanceWithinOneLineAFewTimesASecondAtMost) {
    const Watched w = WatchLongPass(-1);
    ASSERT_TRUE(w.result.ok());
    ASSERT_FALSE(w.result.analysis.stopped);
    ASSERT_GE(w.reports.size(), 3u);
    const PassProgress& last = w.reports.back();
    EXPECT_EQ(last.bytesDone, last.bytesTotal);
    std::size_t newWords = 0;
    for (std::size_t i = 0; i < w.reports.size(); ++i) {
        const PassProgress& p = w.reports[i];
        EXPECT_EQ(p.bytesTotal, w.result.analysis.page.size);
        EXPECT_LE(p.bytesDone, p.bytesTotal);
        newWords += p.newWords.size();
        EXPECT_EQ(p.distinctWords, static_cast<std::int32_t>(newWords));
        if (i > 0) {
            EXPECT_GE(p.bytesDone, w.reports[i - 1].bytesDone);
        }
    }
    // One report every 200 ms at most, and the last one; counted against the whole pass,
    // so that a slow moment of a busy machine between two reports does not matter.
    EXPECT_LE(w.reports.size(),
              2 + static_cast<std::size_t>(w.took / std::chrono::milliseconds(200)));
    // The page is one line: the reports before the last stood inside it.
    EXPECT_GT(w.reports.front().bytesDone, 0);
    EXPECT_LT(w.reports.front().bytesDone, last.bytesTotal);
}

TEST(EngineStop, AStoppedPassGivesTheWordsFoundSoFar) {
    const Watched w = WatchLongPass(1);
    ASSERT_TRUE(w.result.ok());
    const Analysis& a = w.result.analysis;
    ASSERT_TRUE(a.stopped);
    EXPECT_TRUE(a.ranked.empty());
    EXPECT_TRUE(a.tag.tag.empty());
    EXPECT_EQ(static_cast<std::int32_t>(a.wordsFound.size()), a.wordsWhenStopped);
    // Stopped within the line, soon after the report that asked for it.
    ASSERT_EQ(w.reports.size(), 2u);
    EXPECT_LT(w.reports.back().bytesDone, w.reports.back().bytesTotal);
    std::vector<Text> reported = w.reports[0].newWords;
    reported.insert(reported.end(), w.reports[1].newWords.begin(), w.reports[1].newWords.end());
    EXPECT_EQ(reported, a.wordsFound);
    EXPECT_GT(a.wordsWhenStopped, 0);
}

TEST(EngineThreads, TwoPagesAtOnceGiveWhatTheyGiveOneByOne) {
    const Text bakery = ReadFile(LUMORA_SOURCE_DIR "/examples/bakery.htm");
    const Text page = OneLinePage(std::size_t{1} << 18) + "\n" + bakery;
    Options french;
    french.count.language = Language::kFrench;
    french.count.lowerCase = true;
    const Text alone1 = Summary(Analyse(page, {}, Shipped()).analysis);
    const Text alone2 = Summary(Analyse(bakery, french, Shipped()).analysis);
    for (int round = 0; round < 2; ++round) {
        Text together1, together2;
        std::thread first([&] { together1 = Summary(Analyse(page, {}, Shipped()).analysis); });
        together2 = Summary(Analyse(bakery, french, Shipped()).analysis);
        first.join();
        EXPECT_EQ(together1, alone1);
        EXPECT_EQ(together2, alone2);
    }
}

// A page of more distinct words than a small table holds makes the pass look words up a
// few words after they arrive; each must still be counted once, with the weight of the
// place it stood in, the last words of the page too.
TEST(EngineLargeVocabulary, EveryWordIsCountedOnceWithItsOwnWeight) {
    std::vector<Text> vocabulary;
    for (int k = 0; k < 24000; ++k) {
        Text word = "w";  // no word is another one plus "s", and none differs only in case
        for (int n = k; n > 0 || word.size() < 5; n /= 9) word += "aeioukltr"[n % 9];
        vocabulary.push_back(word);
    }
    Text once, page;
    std::map<Text, int> frequency;
    for (int round = 1; round <= 3; ++round) {
        for (std::size_t k = 0; k < vocabulary.size(); ++k) {
            if (k % 3 >= static_cast<std::size_t>(round - 1)) {
                page += vocabulary[k] + (k % 10 == 9 ? "\n" : " ");
                ++frequency[vocabulary[k]];
            }
        }
    }
    for (const Text& word : vocabulary) once += word + ' ';
    page += "<b>wzoqb</b> wzoqp";
    Options options;
    options.count.minFrequency = 1;
    // The filters decide alike on both pages: the words they keep from the vocabulary.
    const AnalysisResult counted = Analyse(once, options, Shipped());
    const AnalysisResult result = Analyse(page, options, Shipped());
    ASSERT_TRUE(result.ok());
    ASSERT_GT(counted.analysis.ranked.size(), 20000u);
    ASSERT_EQ(result.analysis.ranked.size(), counted.analysis.ranked.size() + 2);
    std::map<Text, float> value;
    for (const words::WordEntry& w : result.analysis.ranked) {
        value[w.word] = w.keyValue;
        if (w.word != "wzoqb" && w.word != "wzoqp") {
            ASSERT_EQ(w.frequency, frequency[w.word]) << w.word;
        }
    }
    // Plain text weighs 3 and bold 7; the words of the highest frequency get 100.
    EXPECT_FLOAT_EQ(value["wzoqb"], 100.0f * 7 / 9);
    EXPECT_FLOAT_EQ(value["wzoqp"], 100.0f * 3 / 9);
}

// The existing tags are read from the decoded page: a UTF-16 page, full of NUL bytes, is
// read through its byte order mark like any other.
TEST(EngineExistingTags, ReadFromTheDecodedPage) {
    const Text page =
        "<head><!-- <meta name=keywords content=x> --><title>Plum jam</title>\n"
        "<META content='sweet' NAME=Keywords>\n</head><body>Plum jam plum jam</body>\n";
    Text utf16 = "\xFF\xFE";
    for (const char c : page) {
        utf16 += c;
        utf16 += '\0';
    }
    const AnalysisResult wide = Analyse(utf16, Options{}, Shipped());
    ASSERT_TRUE(wide.ok());
    EXPECT_EQ(wide.analysis.existing.keywords,
              std::vector<Text>{"<META content='sweet' NAME=Keywords>"});
    EXPECT_EQ(wide.analysis.tag.tag, Analyse(page, Options{}, Shipped()).analysis.tag.tag);
}

}  // namespace
}  // namespace lumora::engine
