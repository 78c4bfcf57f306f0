// Builds large, realistic-looking pages for the benchmarks: paragraphs, headings, bold
// and italic runs, tables, links, entities and comments over a chosen vocabulary.
#pragma once

#include <cstddef>
#include <string>

namespace lumora::bench {

struct PageShape {
    std::size_t bytes = 1 << 20;
    std::size_t vocabulary = 5000;  // distinct words to draw from
    bool unixLineEnds = false;      // LF only: the page arrives as one line
    bool utf8Words = false;         // words in accented Latin, Cyrillic and Greek letters
    unsigned seed = 1;
};

std::string MakePage(const PageShape& shape);

}  // namespace lumora::bench
