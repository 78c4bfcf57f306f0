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

// The same in UTF-8: a third of the words each in accented Latin, Cyrillic and Greek.
std::string Utf8WordNumber(std::size_t n) {
    static const char* const kLatin[] = {
        "k\u00E1",  "l\u00F6",  "m\u00ED", "n\u011B",  "r\u016F",  "t\u00E0",  "vo",
        "s\u00EE",  "d\u00E9",  "p\u00F8", "gr\u00E2", "b\u00E9n", "t\u00F3r", "l\u00EFs",
        "m\u00E1r", "v\u00EAn", "\u010Do", "d\u00FCl", "f\u00E8s", "\u0161in"};
    static const char* const kCyrillic[] = {
        "\u043A\u0430",       "\u043B\u043E",       "\u043C\u0438",       "\u043D\u0435",
        "\u0440\u0443",       "\u0442\u0430",       "\u0432\u043E",       "\u0441\u0438",
        "\u0434\u0435",       "\u043F\u043E",       "\u0433\u0440\u0430", "\u0431\u0435\u043D",
        "\u0442\u043E\u0440", "\u043B\u0438\u0441", "\u043C\u0430\u0440", "\u0432\u0435\u043D",
        "\u0447\u043E",       "\u0434\u0443\u043B", "\u0444\u0435\u0441", "\u0436\u0438\u043D"};
    static const char* const kGreek[] = {
        "\u03BA\u03B1",       "\u03BB\u03BF",       "\u03BC\u03B9",       "\u03BD\u03B5",
        "\u03C1\u03C5",       "\u03C4\u03B1",       "\u03B2\u03BF",       "\u03C3\u03B9",
        "\u03B4\u03B5",       "\u03C0\u03BF",       "\u03B3\u03C1\u03B1", "\u03BC\u03B5\u03BD",
        "\u03C4\u03BF\u03C1", "\u03BB\u03B9\u03C2", "\u03BC\u03B1\u03C1", "\u03B2\u03B5\u03BD",
        "\u03C7\u03BF",       "\u03B4\u03C5\u03BB", "\u03C6\u03B5\u03C2", "\u03B8\u03B9\u03BD"};
    const char* const* syllables = n % 3 == 0 ? kLatin : n % 3 == 1 ? kCyrillic : kGreek;
    std::string word;
    do {
        word += syllables[n % 20];
        n /= 20;
    } while (n > 0);
    return word;
}

}  // namespace

std::string MakePage(const PageShape& shape) {
    std::mt19937 random(shape.seed);
    std::vector<std::string> words;
    words.reserve(shape.vocabulary);
    for (std::size_t i = 0; i < shape.vocabulary; ++i)
        words.push_back(shape.utf8Words ? Utf8WordNumber(i) : WordNumber(i));
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
