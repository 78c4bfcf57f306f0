#include "scan/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "scan/prepare.h"
#include "support/case_file.h"

namespace lumora::scan {
namespace {

// Records every word as "word:weight", a * marking title and meta words.
struct RecordingSink : WordSink {
    RecordingSink(const Scanner& s, const WeightSettings& w, std::size_t stop)
        : scanner(s), weights(w), stopAfter(stop) {}
    void OnWord(TextView word) override {
        words << (count++ > 0 ? " " : "") << word << ':' << scanner.ContextWeight(weights)
              << (scanner.InTitleOrMetaContent() ? "*" : "");
    }
    bool ShouldStop() override { return count >= stopAfter; }

    const Scanner& scanner;
    const WeightSettings& weights;
    std::size_t stopAfter, count = 0;
    std::ostringstream words;
};

// Scans the lines of a page (separated by '\n') as a pass does: each is made ready (trimmed,
// lower-cased unless the case is kept, prepared, decoded, given one trailing space).
std::string Scan(Scanner& scanner, const std::string& page, const WeightSettings& weights,
                 bool keepCase = false, std::size_t stopAfter = SIZE_MAX) {
    RecordingSink sink(scanner, weights, stopAfter);
    std::istringstream lines(page);
    std::string ready, scratch;
    for (std::string line; std::getline(lines, line) && !sink.ShouldStop();) {
        if (ReadyLine(line, !keepCase, ready, scratch))
            scanner.ScanLine(ready, weights, sink);
    }
    return sink.words.str();
}

std::string ScanPage(const std::string& page, const WeightSettings& weights = {},
                     bool keepCase = false) {
    Scanner scanner;
    return Scan(scanner, page, weights, keepCase);
}

TEST(ScannerTest, CasesOfTheDataFile) {
    for (const testing::Case& c : testing::ReadCases("scanner.txt")) {
        WeightSettings weights;
        std::istringstream settings(c.Get("weights"));
        for (std::string setting; settings >> setting;) {
            const int value = std::stoi(setting.substr(setting.find('=') + 1));
            const std::string name = setting.substr(0, setting.find('='));
            (name == "table"  ? weights.table
             : name == "div"  ? weights.div
             : name == "span" ? weights.span
                              : weights.existingKeywords) = value;
        }
        EXPECT_EQ(ScanPage(c.Get("page"), weights, c.Get("case") == "kept"), c.Get("words"))
            << c.name;
    }
}

TEST(ScannerTest, LongWordsAreCutAndAStopEndsTheScan) {
    EXPECT_EQ(ScanPage(std::string(70000, 'w')),
              std::string(65000, 'w') + ":3 " + std::string(5000, 'w') + ":3");
    std::string e;  // é, two bytes each
    for (int k = 0; k < 70000; ++k) e += "\u00E9";
    EXPECT_EQ(ScanPage(e), e.substr(0, 130000) + ":3 " + e.substr(130000) + ":3");
    Scanner scanner;
    EXPECT_EQ(Scan(scanner, "one two three\nfour", {}, false, 2), "one:3 two:3");
}

TEST(ScannerTest, DeepNestingDoesNotWrapAround) {
    const int depth = 100000;
    std::string page;
    for (int k = 0; k < depth; ++k) page += "<table>";
    page += "x";
    for (int k = 0; k < depth; ++k) page += "</table>";
    page += " y\n";
    for (int k = 0; k < depth; ++k) page += "<a";
    page += std::string(depth, '>') + " z";
    EXPECT_EQ(ScanPage(page), "x:5 y:3 z:3");
}

std::string Times(const std::string& piece, std::size_t count) {
    std::string all;
    all.reserve(piece.size() * count);
    for (std::size_t k = 0; k < count; ++k) all += piece;
    return all;
}

TEST(ScannerTest, PathologicalLinesFinishAndKeepTheirMeaning) {
    const std::size_t size = 1'000'000;
    EXPECT_EQ(ScanPage(std::string(size, '<') + " word"), "");
    EXPECT_EQ(ScanPage(std::string(size, '&') + " word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<meta ", size / 6) + "> word"), "word:3");
    EXPECT_EQ(ScanPage("<p a=\"" + Times("<meta ", size / 6) + "> word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<meta title=\"x\" ", size / 16) + "> word"), "word:3");
    EXPECT_EQ(ScanPage(Times("<font size=", size / 11) + "> word\n</font>more"), "more:3");
    EXPECT_EQ(ScanPage(Times("<div>", size / 5) + "x"), "x:5");

    // Many tags on one line that each look ahead in the rest of it.
    const std::size_t count = 20000;
    std::string expected = Times("d:50* a:7 ", count);
    expected.pop_back();
    EXPECT_EQ(
        ScanPage(Times("<meta name=\"description\" content=\"d\"><font size=+4>a</font>", count)),
        expected);
}

}  // namespace
}  // namespace lumora::scan
