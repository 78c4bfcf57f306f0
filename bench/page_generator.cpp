#include "page_generator.h"

#include <random>
#include <vector>

namespace lumora::bench {

namespace {

// Pronounceable, distinct words: syllables numbered in base 20.
std::string WordNumber(std::size_t n) {
    static const char* const kSyllables[] = {"ka",  "lo",  "mi",  "ne",  "ru",  "ta",  "vo",
                                             "si",  "de",  "po",  "gra", "ben", "tor", "lis",
                                             "mar", "ven", "cho", "dul", "fes", "quin"};
    std::string word;
    do {
        word += kSyllables[n % 20];
        n /= 20;
    } while (n > 0);
    return word + "en";
}

}  // namespace

std::string MakePage(const PageShape& shape) {
    std::mt19937 random(shape.seed);
    std::vector<std::string> words;
    words.reserve(shape.vocabulary);
    for (std::size_t i = 0; i < shape.vocabulary; ++i) words.push_back(WordNumber(i));
    // Frequent words are drawn more often, as in real text.
    std::geometric_distribution<std::size_t> rank(8.0 / static_cast<double>(shape.vocabulary));
    std::uniform_int_distribution<int> kind(0, 99);
    auto word = [&] { return words[rank(random) % words.size()]; };

    const std::string eol = shape.unixLineEnds ? "\n" : "\r\n";
    std::string page = "<html>" + eol + "<head>" + eol + "<title>" + word() + " " + word() +
                       "</title>" + eol + "<meta name=\"description\" content=\"" + word() + " " +
                       word() + " " + word() + "\">" + eol + "</head>" + eol + "<body>" + eol;
    std::size_t distinctIntroduced = 0;
    while (page.size() < shape.bytes) {
        const int k = kind(random);
        std::string line;
        if (k < 5) {
            line = "<h2>" + word() + " " + word() + "</h2>";
        } else if (k < 10) {
            line = "<table><tr><td>" + word() + "</td><td>" + word() + " 12.50</td></tr></table>";
        } else if (k < 12) {
            line = "<!-- " + word() + " -->";
        } else {
            line = "<p>";
            for (int i = 0; i < 10; ++i) {
                // Walk through the whole vocabulary once, so every word occurs.
                const std::string w =
                    distinctIntroduced < words.size() ? words[distinctIntroduced++] : word();
                const int style = kind(random);
                if (style < 5) {
                    line += "<b>" + w + "</b> ";
                } else if (style < 8) {
                    line += "<i>" + w + "</i> ";
                } else if (style < 10) {
                    line += "<a href=\"" + w + ".html\">" + w + "</a> ";
                } else if (style < 11) {
                    line += w + "&eacute; ";
                } else {
                    line += w + " ";
                }
            }
            line += "</p>";
        }
        page += line + eol;
    }
    page += "</body>" + eol + "</html>" + eol;
    return page;
}

}  // namespace lumora::bench
