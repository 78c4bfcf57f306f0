#include "words/consider.h"

#include <array>

namespace lumora::words {

namespace {

using CharSet = std::array<bool, 256>;

constexpr CharSet MakeSet(TextView chars) {
    CharSet set{};
    for (Char c : chars) set[Code(c)] = true;
    return set;
}

// A E I O U, a e i o u and the accented Latin-1 vowels, both cases; y is added by the
// callers that count it.
constexpr CharSet MakeVowels(bool countY) {
    CharSet set = MakeSet("AEIOUaeiou");
    constexpr std::array<std::array<unsigned, 2>, 8> kRanges = {{{192, 198},
                                                                 {200, 207},
                                                                 {210, 214},
                                                                 {216, 220},
                                                                 {224, 230},
                                                                 {232, 239},
                                                                 {242, 246},
                                                                 {248, 252}}};
    for (const auto& range : kRanges) {
        for (unsigned b = range[0]; b <= range[1]; ++b) set[b] = true;
    }
    if (countY) {
        set['Y'] = true;
        set['y'] = true;
    }
    return set;
}

constexpr CharSet kVowels = MakeVowels(false);
constexpr CharSet kVowelsWithY = MakeVowels(true);
constexpr CharSet kRomanLetters = MakeSet("ivxlcm");  // without d: "did" and "mid" are words

constexpr TextView kContractionStems =
    "aren couldn didn doesn hadn hasn isn shouldn wasn weren wouldn ";

constexpr std::array<TextView, 6> kAdverbExceptions = {"alfred", "limited", "screed",
                                                       "tweed",  "filly",   "folly"};

bool EndsWith(TextView text, TextView tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The user's words are each followed by a comma; a word is ignored only when it is one of
// them as a whole, so "bar" is not dropped because "foobar" is listed.
bool InIgnoreList(TextView word, TextView ignoreList) {
    std::size_t at = ignoreList.find(word);
    while (at != TextView::npos) {
        const std::size_t end = at + word.size();
        const bool startsEntry = at == 0 || ignoreList[at - 1] == ',';
        if (startsEntry && end < ignoreList.size() && ignoreList[end] == ',')
            return true;
        at = ignoreList.find(word, at + 1);
    }
    return false;
}

// Adverbs in -ly and past forms in -ed of five letters or more.
bool IsAdverbOrPastForm(TextView lower) {
    if (lower.size() < 5)
        return false;
    if (!EndsWith(lower, "ly") && !EndsWith(lower, "ed"))
        return false;
    for (TextView exception : kAdverbExceptions) {
        if (lower == exception)
            return false;
    }
    return !EndsWith(lower, "poly");
}

}  // namespace

void StripCharSet(Text& text, TextView set) {
    if (set.empty())
        return;
    CharSet remove{};
    for (Char c : set) remove[Code(c)] = true;
    std::size_t out = 0;
    for (Char c : text) {
        if (!remove[Code(c)])
            text[out++] = c;
    }
    text.resize(out);
}

bool HasNoVowel(TextView word, bool countY) {
    const CharSet& vowels = countY ? kVowelsWithY : kVowels;
    for (Char c : word) {
        if (vowels[Code(c)])
            return false;
    }
    return true;
}

bool IsContractionStem(TextView word) {
    constexpr std::size_t kLongestStem = 7;  // "shouldn"
    if (word.empty() || word.size() > kLongestStem)
        return false;
    std::array<Char, kLongestStem + 1> lower{};
    for (std::size_t i = 0; i < word.size(); ++i) lower[i] = ToLower(word[i]);
    lower[word.size()] = ' ';
    // Any tail of a stem matches as well ("uldn"); none of them is an English word.
    return kContractionStems.find(TextView(lower.data(), word.size() + 1)) != TextView::npos;
}

bool ConsiderWord(TextView word, const FilterOptions& options, TextView ignoreList,
                  const CommonWordLists& commonWords) {
    const std::size_t length = word.size();
    if (options.ignoreShortWords &&
        static_cast<long long>(length) <= static_cast<long long>(options.shortWordSize)) {
        return false;
    }
    if (length > static_cast<std::size_t>(kMaxWordLength))
        return false;
    if (length == 0)
        return false;

    // The word is at most 60 characters here, so its lower-case copy lives on the stack.
    std::array<Char, kMaxWordLength> buffer{};
    for (std::size_t i = 0; i < length; ++i) buffer[i] = ToLower(word[i]);
    const TextView lower(buffer.data(), length);

    if (length > 1 && lower.find_first_not_of(lower[0]) == TextView::npos)
        return false;
    if (InIgnoreList(lower, ignoreList))
        return false;

    bool onlyRomanLetters = true;
    for (Char c : lower) {
        if (!kRomanLetters[Code(c)]) {
            onlyRomanLetters = false;
            break;
        }
    }
    if (onlyRomanLetters)
        return false;

    if (HasNoVowel(word, true))
        return false;
    if (options.language == 0 && IsContractionStem(word))
        return false;
    if (options.ignoreCommonWords && commonWords.IsCommonWord(word, options.language)) {
        return false;
    }
    return !IsAdverbOrPastForm(lower);
}

}  // namespace lumora::words
