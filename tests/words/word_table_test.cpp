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
// table must give exactly the same results.
class PlainTable {
  public:
    bool Add(Text& w, float weight, bool title) {
        for (int i = 1; i <= count_; ++i) {
            if (IsPlural(w, e_[i].word)) {
                w.pop_back();
                break;
            }
            if (IsPlural(e_[i].word, w)) {
                e_[i].word.pop_back();
                break;
            }
        }
        for (int i = 1; i <= count_; ++i) {
            if (e_[i].word == w) {
                e_[i].frequency += 1;
                e_[i].keyValue += weight;
                return false;
            }
        }
        e_.resize(std::max<std::size_t>(e_.size(), ++count_ + 1));
        e_[count_] = WordEntry{w, 1, weight, title};
        if (count_ > 1)
            Promote();
        return true;
    }

    void MinimumFrequency(int t) {
        if (t == 1)
            return;
        for (int i = 1; i <= count_; ++i) {
            if (e_[i].frequency < t && !e_[i].titleFlag)
                e_[i] = WordEntry{};
        }
        Compact();
    }

    void MergeCaseVariants() {
        const int outer = count_ - 1;
        for (int i = 1; i <= outer; ++i) {
            const Text w = e_[i].word;
            if (w.size() <= 2 || Lower(w.substr(1)) != w.substr(1))
                continue;
            const int inner = count_;
            for (int j = i + 1; j <= inner; ++j) {
                const Text& a = e_[i].word;
                const Text& b = e_[j].word;
                if (!b.empty() && Lower(a) == Lower(b) && a.substr(1) == b.substr(1)) {
                    e_[i].frequency += e_[j].frequency;
                    e_[i].keyValue += e_[j].keyValue;
                    e_[j] = WordEntry{};
                    e_[i].word = Lower(e_[i].word);
                    Compact();
                    Promote();
                }
            }
        }
    }

    void Normalise() {
        float max = 0.0f;
        for (int i = 1; i <= count_; ++i) max = e_[i].keyValue > max ? e_[i].keyValue : max;
        for (int i = 1; max > 0.0f && i <= count_; ++i) {
            e_[i].keyValue = static_cast<float>(double(e_[i].keyValue) * 100 / double(max));
        }
    }

    std::vector<WordEntry> Ranked() const { return {e_.begin() + 1, e_.begin() + 1 + count_}; }

  private:
    static bool IsPlural(const Text& a, const Text& b) {  // a == b + "s"
        return a.size() == b.size() + 1 && a.back() == 's' && a.compare(0, b.size(), b) == 0;
    }

    void Promote() {
        int i = 2;
        while (i <= count_ && !(e_[i].keyValue > e_[i - 1].keyValue)) ++i;
        if (i > count_)
            return;
        const WordEntry kept = e_[i];
        int j = 1;
        while (!(e_[j].keyValue < kept.keyValue)) ++j;
        for (int k = i - 1; k >= j; --k) e_[k + 1] = e_[k];
        e_[j] = kept;
    }

    void Compact() {
        int empty = 0;
        for (int i = 1; i <= count_; ++i) empty += e_[i].word.empty() ? 1 : 0;
        for (int i = 1; empty > 0 && i <= count_; ++i) {
            if (!e_[i].word.empty())
                continue;
            int j = i + 1;
            while (j <= count_ && e_[j].word.empty()) ++j;
            if (j > count_)
                break;
            e_[i] = e_[j];
            e_[j] = WordEntry{};
        }
        count_ -= empty;
    }

    std::vector<WordEntry> e_{1};
    int count_ = 0;
};

// Runs one stream through both tables and compares them after every stage.
void CompareWithPlainTable(const std::vector<Occurrence>& stream, int minimum) {
    WordTable table;
    PlainTable plain;
    for (std::size_t k = 0; k < stream.size(); ++k) {
        Text a = stream[k].word;
        Text b = stream[k].word;
        const bool isNew = table.AddWordOccurrence(a, stream[k].weight, stream[k].title);
        ASSERT_EQ(plain.Add(b, stream[k].weight, stream[k].title), isNew) << "occurrence " << k;
        ASSERT_EQ(b, a) << "occurrence " << k;
    }
    ASSERT_EQ(Show(plain.Ranked()), Show(table.Ranked())) << "after the pass";
    table.ApplyMinimumFrequency(minimum);
    plain.MinimumFrequency(minimum);
    ASSERT_EQ(Show(plain.Ranked()), Show(table.Ranked())) << "minimum " << minimum;
    table.MergeCaseVariants();
    plain.MergeCaseVariants();
    ASSERT_EQ(Show(plain.Ranked()), Show(table.Ranked())) << "after merging";
    table.NormaliseKeyValues();
    plain.Normalise();
    ASSERT_EQ(Show(plain.Ranked()), Show(table.Ranked())) << "after normalising";
    ASSERT_EQ(static_cast<std::int32_t>(plain.Ranked().size()), table.WordCount());
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
    for (int run = 0; run < 1500; ++run) {
        const auto& [firsts, others] = alphabets[run % 3];
        const int length = 1 + static_cast<int>(rng() % 120);
        CompareWithPlainTable(RandomStream(rng, length, firsts, others, 4),
                              1 + static_cast<int>(rng() % 4));
        if (HasFatalFailure())
            return;
    }
    for (int run = 0; run < 3; ++run) {  // deeper trees
        CompareWithPlainTable(RandomStream(rng, 2000, "abcABC", "abcsS", 5), 1 + run);
        if (HasFatalFailure())
            return;
    }
}

TEST(WordTableTest, CaseVariantsOfEveryFirstCharacter) {
    std::vector<Occurrence> stream;
    for (int code = 1; code < 256; ++code) {
        stream.push_back({Text(1, static_cast<Char>(code)) + "bc", float(code % 7), false});
    }
    CompareWithPlainTable(stream, 1);
}

TEST(WordTableTest, PassAndFinishingSteps) {
    struct Case {
        std::vector<Occurrence> words;
        int minimum;
        std::string expected;  // after the minimum frequency and the merging of case variants
    };
    const Case cases[] = {
        {{{"cat"}, {"cats"}, {"cat"}}, 1, "cat/3/3 "},
        {{{"cats"}, {"cat"}}, 1, "cat/2/2 "},
        // "pass" folds to "pas" and then to "pa" while "pa" exists; later "pa" counts for
        // the entry ranked first
        {{{"pass"}, {"pa"}, {"pas"}, {"pa"}, {"pa"}}, 1, "pa/4/4 pa/1/1 "},
        {{{"apple", 1}, {"pear", 5}, {"plum", 1}, {"fig", 1}},
         1,
         "pear/1/5 apple/1/1 plum/1/1 fig/1/1 "},
        // a known word is not moved until a new word triggers a step that reaches it
        {{{"apple", 1}, {"pear", 5}, {"fig", 1}, {"fig", 9}}, 1, "pear/1/5 apple/1/1 fig/2/10 "},
        {{{"apple", 1}, {"pear", 5}, {"fig", 1}, {"fig", 9}, {"kiwi", 0}},
         1,
         "fig/2/10 pear/1/5 apple/1/1 kiwi/1/0 "},
        {{{"body"}, {"title", 1, true}, {"twice"}, {"twice"}}, 2, "title/1/1/T twice/2/2 "},
        {{{"first", 1, true}, {"first"}, {"later"}, {"later", 1, true}}, 3, "first/2/2/T "},
        {{{"Apple", 2}, {"apple"}, {"apple"}}, 1, "apple/3/4 "},
        {{{"apple", 2, true}, {"Apple"}}, 1, "apple/2/3/T "},
        {{{"APPLE", 2}, {"apple"}, {"Ox", 2}, {"ox"}}, 1, "APPLE/1/2 Ox/1/2 apple/1/1 ox/1/1 "},
        {{{"Apple"}, {"apple"}, {"pear"}, {"pear"}}, 2, "pear/2/2 "},
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

TEST(WordTableTest, CallerSeesTheCountedWord) {
    WordTable table;
    Text cat = "cat";
    Text cats = "cats";
    EXPECT_TRUE(table.AddWordOccurrence(cat, 1, false));
    EXPECT_FALSE(table.AddWordOccurrence(cats, 1, false));
    EXPECT_EQ("cat", cats);
    table.Clear();
    EXPECT_EQ(0, table.WordCount());
}

TEST(WordTableTest, NormaliseKeyValues) {
    WordTable table;
    Feed(table, {{"zero", 0}, {"none", 0}});
    table.NormaliseKeyValues();
    EXPECT_EQ("zero/1/0 none/1/0 ", Show(table.Ranked()));

    table.Clear();
    Feed(table, {{"top", 3}, {"third", 1}, {"none", 0}});
    table.NormaliseKeyValues();
    const auto ranked = table.Ranked();
    EXPECT_EQ(100.0f, ranked[0].keyValue);
    EXPECT_EQ(static_cast<float>(100.0 / 3.0), ranked[1].keyValue);
    EXPECT_EQ(0.0f, ranked[2].keyValue);
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
