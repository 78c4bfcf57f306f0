#include "words/word_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace lumora::words {
namespace {

struct Occurrence {
    Text word;
    float weight = 1.0f;
    bool title = false;
};

// "word/frequency/key value", plus "/T" for a title entry; nine digits keep floats exact.
std::string Show(const std::vector<WordEntry>& entries) {
    std::ostringstream out;
    out << std::setprecision(9);
    for (const WordEntry& e : entries) {
        out << e.word << '/' << e.frequency << '/' << e.keyValue << (e.titleFlag ? "/T " : " ");
    }
    return out.str();
}

// A plain table that follows the ranking rules literally, with linear searches; the real
// table must give exactly the same results. `e` holds the entries in rank order.
struct PlainTable {
    std::vector<WordEntry> e;

    bool Add(Text& w, float weight, bool title) {
        for (WordEntry& x : e) {
            if (IsPlural(w, x.word)) {
                w.pop_back();
                break;
            }
            if (IsPlural(x.word, w)) {
                x.word.pop_back();
                break;
            }
        }
        for (WordEntry& x : e) {
            if (x.word == w) {
                x.frequency += 1;
                x.keyValue += weight;
                return false;
            }
        }
        e.push_back(WordEntry{w, 1, weight, title});
        Promote();
        return true;
    }

    void MinimumFrequency(int t) {
        std::erase_if(e, [t](const WordEntry& x) { return x.frequency < t && !x.titleFlag; });
    }

    // The bounds are taken once at the start; entries that move into a merged entry's
    // place are passed over.
    void MergeCaseVariants() {
        const std::size_t count = e.size();
        for (std::size_t i = 0; i + 1 < count && i < e.size(); ++i) {
            const Text w = e[i].word;
            if (w.size() <= 2 || Lower(w.substr(1)) != w.substr(1))
                continue;
            for (std::size_t j = i + 1; j < count && j < e.size(); ++j) {
                if (Lower(e[i].word) != Lower(e[j].word) ||
                    e[i].word.substr(1) != e[j].word.substr(1))
                    continue;
                e[i].frequency += e[j].frequency;
                e[i].keyValue += e[j].keyValue;
                e[i].word = Lower(e[i].word);
                e.erase(e.begin() + static_cast<std::ptrdiff_t>(j));
                Promote();
            }
        }
    }

    void Normalise() {
        float max = 0.0f;
        for (const WordEntry& x : e) max = std::max(max, x.keyValue);
        for (WordEntry& x : e) {
            if (max > 0.0f)
                x.keyValue = static_cast<float>(double(x.keyValue) * 100 / double(max));
        }
    }

    static bool IsPlural(const Text& a, const Text& b) {  // a == b + "s"
        return a.size() == b.size() + 1 && a.back() == 's' && a.starts_with(b);
    }

    // Moves the first entry that stands above a smaller one up behind every entry with a
    // greater or equal key value.
    void Promote() {
        std::size_t i = 1;
        while (i < e.size() && !(e[i].keyValue > e[i - 1].keyValue)) ++i;
        if (i >= e.size())
            return;
        std::size_t j = 0;
        while (!(e[j].keyValue < e[i].keyValue)) ++j;
        std::rotate(e.begin() + j, e.begin() + i, e.begin() + i + 1);
    }
};

// Runs one stream through both tables and compares them after every stage. The table
// counts by key, as a pass does; `keysFirst` gives every word its key before any is
// counted, so that keys stand for words without an entry yet.
void CompareWithPlainTable(const std::vector<Occurrence>& stream, int minimum,
                           bool keysFirst = false) {
    WordTable table;
    PlainTable plain;
    const auto same = [&](const char* stage) {
        ASSERT_EQ(Show(plain.e), Show(table.Ranked())) << stage;
        ASSERT_EQ(static_cast<std::int32_t>(plain.e.size()), table.WordCount()) << stage;
    };
    std::vector<WordTable::WordKey> keys;
    for (std::size_t k = 0; keysFirst && k < stream.size(); ++k)
        keys.push_back(table.KeyOf(stream[k].word));
    for (std::size_t k = 0; k < stream.size(); ++k) {
        const WordTable::WordKey key = keysFirst ? keys[k] : table.KeyOf(stream[k].word);
        ASSERT_EQ(table.WordOf(key), stream[k].word);
        Text word = stream[k].word;
        ASSERT_EQ(plain.Add(word, stream[k].weight, stream[k].title),
                  table.AddOccurrence(key, stream[k].weight, stream[k].title))
            << "occurrence " << k;
    }
    same("after the pass");
    table.ApplyMinimumFrequency(minimum);
    plain.MinimumFrequency(minimum);
    same("after the minimum frequency");
    table.MergeCaseVariants();
    plain.MergeCaseVariants();
    same("after merging");
    table.NormaliseKeyValues();
    plain.Normalise();
    same("after normalising");
}

std::vector<Occurrence> RandomStream(std::mt19937& rng, int length, const std::string& firsts,
                                     const std::string& others, int maxWordLength) {
    static const float kWeights[] = {0.0f, 0.1f, 0.5f, 1.0f, 1.0f, 2.0f, 3.0f, 7.5f};
    std::vector<Occurrence> stream(length);
    for (Occurrence& o : stream) {
        o.word = firsts[rng() % firsts.size()];
        const std::size_t size = 1 + rng() % maxWordLength;
        while (o.word.size() < size) o.word += others[rng() % others.size()];
        o.weight = kWeights[rng() % 8];
        o.title = rng() % 5 == 0;
    }
    return stream;
}

// Streams shaped to reach each path of the ordering step and the finishing steps: small
// alphabets (plurals, duplicates, case variants and ties are frequent), ties everywhere,
// plurals everywhere, larger vocabularies for deeper trees, values that keep rising (each
// new word is out of order) or falling (none is), and every first byte.
TEST(WordTableTest, MatchesPlainTable) {
    struct Shape {
        std::string firsts, others;
        int maxWordLength, length, runs;
        std::vector<float> weights;  // empty: the random weights
    };
    const Shape shapes[] = {
        {"abs", "aabss", 4, 120, 500, {}},
        {"aAbBs\xE9\xC9", "aAbBss\xE9\xC9", 4, 120, 500, {}},  // an accented letter and capital
        {"aAbB", "abbsB", 4, 120, 500, {}},
        {"abAB", "abs", 4, 300, 200, {1.0f}},
        {"as", "sssa", 5, 200, 300, {}},
        {"abcdefgABCDEFG", "abcdefgs", 6, 6000, 3, {}},
    };
    std::mt19937 rng(424242);
    for (const Shape& shape : shapes) {
        for (int run = 0; run < shape.runs && !HasFatalFailure(); ++run) {
            std::vector<Occurrence> stream =
                RandomStream(rng, 1 + static_cast<int>(rng() % shape.length), shape.firsts,
                             shape.others, shape.maxWordLength);
            if (!shape.weights.empty()) {
                for (Occurrence& o : stream) o.weight = shape.weights[rng() % shape.weights.size()];
            }
            CompareWithPlainTable(stream, 1 + static_cast<int>(rng() % 3), run % 2 == 0);
        }
    }
    std::vector<Occurrence> rising, falling, everyFirstByte;
    for (int k = 0; k < 400; ++k) {
        const Text word = "w" + std::to_string(k % 150) + (k % 7 == 0 ? "s" : "");
        rising.push_back({word, static_cast<float>(k % 50)});
        falling.push_back({word, static_cast<float>(50 - k % 50)});
    }
    for (int code = 1; code < 256; ++code)
        everyFirstByte.push_back({Text(1, static_cast<Char>(code)) + "bc", float(code % 7)});
    CompareWithPlainTable(rising, 1);
    CompareWithPlainTable(falling, 2);
    CompareWithPlainTable(everyFirstByte, 1);
    WordTable table;
    EXPECT_FALSE(table.AddOccurrence(table.KeyOf(""), 1, false));  // never an entry
    EXPECT_EQ(table.WordCount(), 0);
}

TEST(WordTableTest, CountsBeyondSixteenBits) {
    WordTable table;
    const int distinct = 33000;
    for (int k = 0; k < distinct; ++k) {
        Text w = "x";  // no word is another one plus "s"
        for (int n = k; w.size() < 5; n /= 26) w += static_cast<Char>('a' + n % 26);
        ASSERT_TRUE(table.AddOccurrence(table.KeyOf(w), 1, false));
    }
    for (int k = 0; k < distinct; ++k) table.AddOccurrence(table.KeyOf("xaaaa"), 1, false);
    EXPECT_EQ(distinct, table.WordCount());
    table.ApplyMinimumFrequency(2);
    EXPECT_EQ("xaaaa/33001/33001 ", Show(table.Ranked()));
}

}  // namespace
}  // namespace lumora::words
