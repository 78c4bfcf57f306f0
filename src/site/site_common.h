// The words common to a whole site: those that stand on more than a given share of its
// pages, such as the words of a navigation bar that every page carries.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stop_token>
#include <unordered_set>
#include <vector>

#include "engine/engine.h"
#include "text/chars.h"

namespace lumora::site {

class WordSpread {
  public:
    // One page's distinct words (each once). A page that could not be read is not added:
    // it says nothing about which words the site repeats.
    void AddPage(const std::vector<Text>& distinctWords);
    // The words a page's first reading found it shows, and those of its title.
    void AddPage(const engine::PageReading& reading);

    std::size_t Pages() const { return pages_; }

    // The words on more than `percent` (0..100) of the pages added; none when no page was.
    std::shared_ptr<const std::unordered_set<Text>> MoreThan(double percent) const;
    // The same for the words of the pages' titles.
    std::shared_ptr<const std::unordered_set<Text>> InTitlesOfMoreThan(double percent) const;

  private:
    void Add(TextView word, bool shown, bool inTitle);
    std::shared_ptr<const std::unordered_set<Text>> Over(const std::vector<std::size_t>& pagesWith,
                                                         double percent) const;

    std::size_t pages_ = 0;
    // Every word met and on how many pages, found by an open-addressing index: a site has
    // many distinct words, and each page looks up each of its own.
    std::vector<Text> words_;
    std::vector<std::size_t> pagesWith_;
    std::vector<std::size_t> titlesWith_;
    std::vector<std::uint32_t> hashes_;  // of each word, to pass others without comparing
    std::vector<std::uint32_t> slots_;   // a word's index + 1; 0 for an empty slot
};

// The first reading of a site's pages for its common words. Each page is read once: its
// words go into the spread in page order, and its reading is kept for the second step as
// long as the readings kept take no more than a budget of memory together; the pages
// beyond it are read again in the second step.
class FirstReadings {
  public:
    FirstReadings(std::size_t pages, std::size_t budgetBytes);

    // Reads page `i` from its bytes. Runs on several threads at once, for different pages.
    // A page that cannot be read, or runs out of memory, is left out here and told when it
    // is read again.
    void Read(std::size_t i, TextView bytes, const engine::CountOptions& count,
              const engine::Resources& resources, std::stop_token stop);

    // On one thread, in page order once page `i` is read: adds its words to the spread,
    // and keeps its reading when it fits in what is left of the budget.
    void Deliver(std::size_t i);

    const WordSpread& Spread() const { return spread_; }
    std::size_t Kept() const { return kept_; }

    // Once every page is delivered: the words on more than `percent` of the pages read, and
    // those in more than `percent` of their titles, also kept ready for finishing the
    // readings.
    struct SiteCommonWords {
        std::shared_ptr<const std::unordered_set<Text>> shown;
        std::shared_ptr<const std::unordered_set<Text>> inTitles;
    };
    SiteCommonWords FindCommonWords(double percent);
    // The common words found, for FinishReading; null before FindCommonWords.
    const engine::SiteWords* CommonWords() const { return common_.get(); }

    // The kept reading of page `i`, handed over once; none when it was not kept. May be
    // called on several threads at once, for different pages.
    std::optional<engine::PageReading> Take(std::size_t i);

  private:
    std::vector<std::optional<engine::PageReading>> readings_;
    const std::size_t budget_;
    std::size_t used_ = 0;
    std::size_t kept_ = 0;
    WordSpread spread_;
    std::unique_ptr<const engine::SiteWords> common_;
};

// The memory the readings of one run may keep: 256 MiB, less on a machine or under a
// `ulimit -v` that leaves little.
std::size_t DefaultReadingBudget();

}  // namespace lumora::site
