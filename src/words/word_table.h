// The table of distinct words with their frequency and key value, kept ranked by key
// value while it fills.
//
// Observable behaviour (what the meta tag and the word list show) follows these rules:
// - a plural folds into its singular against the first matching entry in rank order
//   ("cats" is counted for "cat", and "cats" in the table becomes "cat" when "cat" comes);
// - a known word only adds to its counts; a new word is appended and then one ordering
//   step runs (the first entry that stands above a smaller one is moved up behind every
//   entry with a greater or equal key value), so equal values keep their order of arrival;
// - no full sort is ever run.
// A hash index beside the ranked sequence and a balanced tree over it keep every
// operation logarithmic, so a page with hundreds of thousands of distinct words stays fast.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "text/chars.h"

namespace lumora::words {

struct WordEntry {
    Text word;
    std::int32_t frequency = 0;  // wider than the page format needs: counts never wrap
    float keyValue = 0.0f;       // sum of context weights; 0..100 after NormaliseKeyValues
    bool titleFlag = false;      // entered while in the title, description or existing keywords
};

class WordTable {
  public:
    WordTable();
    ~WordTable();
    WordTable(WordTable&&) noexcept;
    WordTable& operator=(WordTable&&) noexcept;

    // Words are counted in two steps, for a caller that meets the same words again and
    // again: a word's key stays the same for the table's life, so it is looked up once and
    // then counted by its key. A key may stand for a word that is never counted; it holds no
    // entry then.
    using WordKey = std::uint32_t;
    WordKey KeyOf(TextView word);
    // Counts one occurrence of the word of `key` with `weight`; a plural is counted with
    // its singular. `titleContext` is recorded only when the word makes a new entry.
    // Returns true when the word made a new entry.
    bool AddOccurrence(WordKey key, float weight, bool titleContext);
    // The word a key stands for, as it was given to KeyOf; valid until the table changes.
    TextView WordOf(WordKey key) const;

    // For a caller that hands over a stream of words: the memory that looking up and
    // counting a word will read can be asked for a few words ahead, so that it is on its
    // way while the words before are counted. A table too large for the cache spends most
    // of its time waiting for memory otherwise. Hints only: results are the same without.
    enum class Ahead { kSlot, kRecord, kEntry };  // the order in which to ask, a word apart
    static std::uint32_t HashOf(TextView word);
    WordKey KeyOf(TextView word, std::uint32_t hash);  // as KeyOf(word), hash = HashOf(word)
    void Prefetch(std::uint32_t hash, Ahead what) const;
    // Whether the table has grown beyond what stays in the cache, so that asking ahead pays.
    bool Large() const;

    // Finishing steps after a complete pass, in this order.
    void ApplyMinimumFrequency(int minimum);  // 1..9; words met in the title etc. are exempt
    void MergeCaseVariants();                 // Apple + apple -> apple
    void NormaliseKeyValues();                // largest key value becomes 100

    // Today's rules finish differently: words that turned out not to count leave first,
    // then every case variant merges (APT, apt, Apt: one word, in the spelling used most
    // often, the first seen on a tie) unless `keepApart` says its lower-case form must stay
    // a word of its own; the minimum frequency comes after.
    void RemoveWords(const std::function<bool(TextView word)>& drop);
    void MergeAllCaseVariants(const std::function<bool(TextView lower)>& keepApart);

    std::int32_t WordCount() const;
    // The entries in rank order (entry 1 first).
    std::vector<WordEntry> Ranked() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lumora::words
