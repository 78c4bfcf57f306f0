// The words common to a whole site: those that stand on more than a given share of its
// pages, such as the words of a navigation bar that every page carries.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text/chars.h"

namespace lumora::site {

class WordSpread {
  public:
    // One page's distinct words (each once). A page that could not be read is not added:
    // it says nothing about which words the site repeats.
    void AddPage(const std::vector<Text>& distinctWords);

    std::size_t Pages() const { return pages_; }

    // The words on more than `percent` (0..100) of the pages added; none when no page was.
    std::shared_ptr<const std::unordered_set<Text>> MoreThan(double percent) const;

  private:
    std::size_t pages_ = 0;
    std::unordered_map<Text, std::size_t> pagesWith_;
};

}  // namespace lumora::site
