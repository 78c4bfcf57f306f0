#include "words/word_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <utility>
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

void Feed(WordTable& table, const std::vector<Occurrence>& words) {
    for (Occurrence o : words) table.AddWordOccurrence(o.word, o.weight, o.title);
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

// Runs one stream through both tables and compares them after every stage.
void CompareWithPlainTable(const std::vector<Occurrence>& stream, int minimum) {
    WordTable table;
    PlainTable plain;
    const auto same = [&](const char* stage) {
        ASSERT_EQ(Show(plain.e), Show(table.Ranked())) << stage;
        ASSERT_EQ(static_cast<std::int32_t>(plain.e.size()), table.WordCount()) << stage;
    };
    for (std::size_t k = 0; k < stream.size(); ++k) {
        Text a = stream[k].word;
        Text b = stream[k].word;
        const bool isNew = table.AddWordOccurrence(a, stream[k].weight, stream[k].title);
        ASSERT_EQ(plain.Add(b, stream[k].weight, stream[k].title), isNew) << "occurrence " << k;
        ASSERT_EQ(b, a) << "occurrence " << k;  // the caller sees the word as counted
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

TEST(WordTableTest, MatchesPlainTableOnRandomStreams) {
    // Small alphabets, so that plurals, duplicates, case variants and ties are frequent.
    const std::pair<std::string, std::string> alphabets[] = {
        {"abs", "aabss"},
        {"aAbBs\xE9\xC9", "aAbBss\xE9\xC9"},  // also an accented letter and its capital
        {"aAbB", "abbsB"},
    };
    std::mt19937 rng(20240611);
    for (int run = 0; run < 1500 && !HasFatalFailure(); ++run) {
        const auto& [firsts, others] = alphabets[run % 3];
        const int length = 1 + static_cast<int>(rng() % 120);
        CompareWithPlainTable(RandomStream(rng, length, firsts, others, 4),
                              1 + static_cast<int>(rng() % 4));
    }
    for (int run = 0; run < 3 && !HasFatalFailure(); ++run) {  // deeper trees
        CompareWithPlainTable(RandomStream(rng, 2000, "abcABC", "abcsS", 5), 1 + run);
    }
    std::vector<Occurrence> everyFirstCharacter;
    for (int code = 1; code < 256; ++code) {
        everyFirstCharacter.push_back({Text(1, static_cast<Char>(code)) + "bc", float(code % 7)});
    }
    CompareWithPlainTable(everyFirstCharacter, 1);
}

// Streams shaped to reach each path of the ordering step and the finishing steps: ties
// everywhere, plurals everywhere, values that keep rising (each new word is out of order)
// or falling (none is), and larger vocabularies for deeper trees.
TEST(WordTableTest, MatchesPlainTableOnShapedStreams) {
    struct Shape {
        const char* name;
        std::string firsts, others;
        int maxWordLength, length, runs;
        std::vector<float> weights;  // empty: the random weights
    };
    const Shape shapes[] = {
        {"ties", "abAB", "abs", 4, 300, 200, {1.0f}},
        {"plurals", "as", "sssa", 5, 200, 300, {}},
        {"large vocabulary", "abcdefgABCDEFG", "abcdefgs", 6, 6000, 2, {}},
    };
    std::mt19937 rng(424242);
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        for (int run = 0; run < shape.runs && !HasFatalFailure(); ++run) {
            std::vector<Occurrence> stream =
                RandomStream(rng, 1 + static_cast<int>(rng() % shape.length), shape.firsts,
                             shape.others, shape.maxWordLength);
            if (!shape.weights.empty()) {
                for (Occurrence& o : stream) o.weight = shape.weights[rng() % shape.weights.size()];
            }
            CompareWithPlainTable(stream, 1 + static_cast<int>(rng() % 3));
        }
    }
    std::vector<Occurrence> rising, falling;
    for (int k = 0; k < 400; ++k) {
        const Text word = "w" + std::to_string(k % 150) + (k % 7 == 0 ? "s" : "");
        rising.push_back({word, static_cast<float>(k % 50)});
        falling.push_back({word, static_cast<float>(50 - k % 50)});
    }
    CompareWithPlainTable(rising, 1);
    CompareWithPlainTable(falling, 2);
}

// A table used again after Clear gives what a new table gives.
TEST(WordTableTest, ClearedTableMatchesNewTable) {
    std::mt19937 rng(99);
    WordTable reused;
    for (int run = 0; run < 200 && !HasFatalFailure(); ++run) {
        const std::vector<Occurrence> stream =
            RandomStream(rng, 1 + static_cast<int>(rng() % 300), "aAbBs", "abss", 5);
        const int minimum = 1 + static_cast<int>(rng() % 3);
        WordTable fresh;
        reused.Clear();
        for (WordTable* table : {&fresh, &reused}) {
            Feed(*table, stream);
            table->ApplyMinimumFrequency(minimum);
            table->MergeCaseVariants();
            table->NormaliseKeyValues();
        }
        ASSERT_EQ(Show(fresh.Ranked()), Show(reused.Ranked())) << run;
    }
}

// Counting by key is counting by word: the same stream gives the same table either way,
// also when every word has been given a key before any is counted.
TEST(WordTableTest, CountingByKeyMatchesCountingByWord) {
    std::mt19937 rng(77);
    for (int run = 0; run < 300 && !HasFatalFailure(); ++run) {
        const std::vector<Occurrence> stream =
            RandomStream(rng, 1 + rng() % 150, "aAbs", "abss", 4);
        const bool keysFirst = run % 2 == 0;
        WordTable byWord;
        WordTable byKey;
        std::vector<WordTable::WordKey> keys;
        if (keysFirst) {
            for (const Occurrence& o : stream) keys.push_back(byKey.KeyOf(o.word));
        }
        for (std::size_t k = 0; k < stream.size(); ++k) {
            Text word = stream[k].word;
            const bool isNew = byWord.AddWordOccurrence(word, stream[k].weight, stream[k].title);
            const WordTable::WordKey key = keysFirst ? keys[k] : byKey.KeyOf(stream[k].word);
            ASSERT_EQ(byKey.WordOf(key), stream[k].word);
            ASSERT_EQ(byKey.AddOccurrence(key, stream[k].weight, stream[k].title), isNew) << k;
        }
        ASSERT_EQ(Show(byWord.Ranked()), Show(byKey.Ranked()));
        byWord.ApplyMinimumFrequency(2);
        byKey.ApplyMinimumFrequency(2);
        byWord.MergeCaseVariants();
        byKey.MergeCaseVariants();
        ASSERT_EQ(Show(byWord.Ranked()), Show(byKey.Ranked()));
    }
    WordTable table;
    EXPECT_FALSE(table.AddOccurrence(table.KeyOf(""), 1, false));  // never an entry
    EXPECT_EQ(table.WordCount(), 0);
}

TEST(WordTableTest, PassAndFinishingSteps) {
    struct Case {
        std::vector<Occurrence> words;
        int minimum;
        std::string expected;  // after the minimum frequency and the merging of case variants
    };
    const Case cases[] = {
        {{{"cat"}, {"cats"}, {"cat"}}, 1, "cat/3/3 "},
        // "pass" folds to "pas" and then to "pa" while "pa" exists; later "pa" counts for
        // the entry ranked first
        {{{"pass"}, {"pa"}, {"pas"}, {"pa"}, {"pa"}}, 1, "pa/4/4 pa/1/1 "},
        {{{"apple", 1}, {"pear", 5}, {"fig", 1}, {"fig", 9}, {"kiwi", 0}},
         1,
         "fig/2/10 pear/1/5 apple/1/1 kiwi/1/0 "},
        {{{"body"}, {"title", 1, true}, {"twice"}, {"twice"}}, 2, "title/1/1/T twice/2/2 "},
        {{{"first", 1, true}, {"first"}, {"later"}, {"later", 1, true}}, 3, "first/2/2/T "},
        {{{"APPLE", 2}, {"apple"}, {"Ox", 2}, {"ox"}}, 1, "APPLE/1/2 Ox/1/2 apple/1/1 ox/1/1 "},
        // the merged entry moves up; the scan goes on with the entry that took its place,
        // and the entry that moved into the merged one's place is not compared
        {{{"bOB", 5}, {"apple"}, {"Apple", 5}, {"BOB"}}, 1, "apple/2/6 bOB/1/5 BOB/1/1 "},
        {{{"s"}, {""}}, 1, "s/1/1 "},  // an empty word is ignored
    };
    for (const Case& c : cases) {
        WordTable table;
        Feed(table, c.words);
        table.ApplyMinimumFrequency(c.minimum);
        table.MergeCaseVariants();
        EXPECT_EQ(c.expected, Show(table.Ranked()));
        EXPECT_EQ(std::count(c.expected.begin(), c.expected.end(), ' '), table.WordCount());
    }
}

TEST(WordTableTest, CountsBeyondSixteenBits) {
    WordTable table;
    const int distinct = 33000;
    for (int k = 0; k < distinct; ++k) {
        Text w = "x";  // no word is another one plus "s"
        for (int n = k; w.size() < 5; n /= 26) w += static_cast<Char>('a' + n % 26);
        ASSERT_TRUE(table.AddWordOccurrence(w, 1, false));
    }
    for (int k = 0; k < distinct; ++k) {
        Text w = "xaaaa";
        table.AddWordOccurrence(w, 1, false);
    }
    EXPECT_EQ(distinct, table.WordCount());
    table.ApplyMinimumFrequency(2);
    EXPECT_EQ("xaaaa/33001/33001 ", Show(table.Ranked()));
}

}  // namespace
}  // namespace lumora::words
