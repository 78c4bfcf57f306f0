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
bool IsAdverbOrPastForm(TextView lower, std::size_t characters) {
    if (characters < 5)
        return false;
    if (!EndsWith(lower, "ly") && !EndsWith(lower, "ed"))
        return false;
    for (TextView exception : kAdverbExceptions) {
        if (lower == exception)
            return false;
    }
    return !EndsWith(lower, "poly");
}

// Vowels beyond Latin-1: the accented forms of a e i o u (ő, ū, ę, ...) and the
// ligatures Œ œ, which stand beside Æ æ.
bool IsVowelBeyondLatin1(CodePoint cp, bool countY) {
    if (cp == 0x152 || cp == 0x153)
        return true;
    const CodePoint base = BaseLetter(cp);
    if (base == cp || base >= 0x100)
        return false;
    const auto b = static_cast<unsigned char>(base);
    return (countY ? kVowelsWithY : kVowels)[b];
}

}  // namespace

bool HasNoVowel(TextView word, bool countY) {
    const CharSet& vowels = countY ? kVowelsWithY : kVowels;
    for (std::size_t i = 0; i < word.size();) {
        if (IsAscii(word[i])) {
            if (vowels[Code(word[i])])
                return false;
            ++i;
            continue;
        }
        const Decoded d = CharAt(word, i);
        i += d.length;
        if (d.cp < 0x100 ? vowels[d.cp] : IsVowelBeyondLatin1(d.cp, countY))
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

namespace {

// Tests made for Latin letters (no vowel) apply to words written in Latin letters only.
bool IsLatinWord(TextView word) {
    for (std::size_t i = 0; i < word.size();) {
        const Decoded d = CharAt(word, i);
        i += d.length;
        if (IsLetter(d.cp) && !IsLatinLetter(d.cp))
            return false;
    }
    return true;
}

// The word is one character, repeated (aa, mmm, ЖЖЖ).
bool OneCharacterRepeated(TextView lower) {
    const std::size_t first = CharAt(lower, 0).length;
    if (first >= lower.size())
        return false;  // a single character is not a repetition
    for (std::size_t i = first; i < lower.size(); i += first) {
        if (lower.substr(i, first) != lower.substr(0, first))
            return false;
    }
    return lower.size() % first == 0;
}

// A numeral as Roman numerals are written, in lower case: xiv, mcmxc; not civil or mill.
bool IsRomanNumeral(TextView lower) {
    std::size_t i = 0;
    const auto at = [&](char c, std::size_t ahead = 0) {
        return i + ahead < lower.size() && lower[i + ahead] == c;
    };
    // One decimal place: four or nine (one before five or ten), or an optional five and up
    // to three ones.
    const auto place = [&](char one, char five, char ten) {
        if (at(one) && (at(five, 1) || at(ten, 1))) {
            i += 2;
            return;
        }
        if (at(five))
            ++i;
        for (int k = 0; k < 3 && at(one); ++k) ++i;
    };
    for (int k = 0; k < 3 && at('m'); ++k) ++i;
    place('c', 'd', 'm');
    place('x', 'l', 'c');
    place('i', 'v', 'x');
    return !lower.empty() && i == lower.size();
}

bool IsUpperLetter(CodePoint cp) {
    return IsLetter(cp) && LowerChar(cp) != cp;
}

}  // namespace

bool IsCommonWordOfPage(TextView word, const FilterOptions& options,
                        const CommonWordLists& commonWords) {
    // Under today's rules pages in other languages quote English: its common words carry
    // no meaning there either.
    return commonWords.IsCommonWord(word, options.language) ||
           (options.today && options.language != 0 && commonWords.IsCommonWord(word, 0));
}

bool WrittenAsAcronym(TextView word) {
    std::size_t letters = 0;
    for (std::size_t i = 0; i < word.size();) {
        const Decoded d = CharAt(word, i);
        i += d.length;
        if (IsDigit(d.cp))
            continue;
        if (!IsUpperLetter(d.cp) || ++letters > 6)
            return false;
    }
    return letters >= 2;
}

bool FailsLetterTests(TextView word) {
    const Text lower = LowerLetters(word);
    bool onlyRomanLetters = !lower.empty();
    for (Char c : lower) onlyRomanLetters = onlyRomanLetters && kRomanLetters[Code(c)];
    if (onlyRomanLetters && IsRomanNumeral(lower))
        return true;
    return IsLatinWord(word) && HasNoVowel(word, true);
}

Verdict ConsiderWord(TextView word, const FilterOptions& options, TextView ignoreList,
                     const CommonWordLists& commonWords) {
    constexpr Verdict kDropped = Verdict::kDropped;
    if (word.empty())
        return kDropped;
    bool ascii = word.size() <= static_cast<std::size_t>(kMaxWordLength);
    for (std::size_t i = 0; ascii && i < word.size(); ++i) ascii = IsAscii(word[i]);
    // Lengths count characters; a word of ASCII letters has as many as it has bytes, and a
    // word of more than four bytes per allowed character is too long in any case.
    const std::size_t length = ascii || word.size() > static_cast<std::size_t>(kMaxWordLength) * 4
                                   ? word.size()
                                   : CharCount(word);
    if (options.ignoreShortWords &&
        static_cast<long long>(length) <= static_cast<long long>(options.shortWordSize)) {
        return kDropped;
    }
    if (length > static_cast<std::size_t>(kMaxWordLength))
        return kDropped;

    // Most words are ASCII: those are lower-cased on the stack.
    std::array<Char, kMaxWordLength> buffer{};
    Text unicodeLower;
    TextView lower;
    if (ascii) {
        for (std::size_t i = 0; i < length; ++i) buffer[i] = ToLower(word[i]);
        lower = TextView(buffer.data(), length);
    } else {
        unicodeLower = LowerLetters(word);
        lower = unicodeLower;
    }

    if (OneCharacterRepeated(lower))
        return kDropped;
    if (InIgnoreList(lower, ignoreList))
        return kDropped;

    bool onlyRomanLetters = true;
    for (Char c : lower) {
        if (!kRomanLetters[Code(c)]) {
            onlyRomanLetters = false;
            break;
        }
    }
    const bool romanNumeral = onlyRomanLetters && (!options.today || IsRomanNumeral(lower));
    const bool noVowel = !romanNumeral && (ascii || IsLatinWord(word)) && HasNoVowel(word, true);
    Verdict counted = Verdict::kCounted;
    if (romanNumeral || noVowel) {
        if (!options.today)
            return kDropped;
        if (!WrittenAsAcronym(word))
            counted = Verdict::kCountedIfAcronym;
    }

    const bool english = options.language == 0;
    if (english && IsContractionStem(word))
        return kDropped;
    if (options.ignoreCommonWords) {
        if (IsCommonWordOfPage(word, options, commonWords))
            return kDropped;
    }
    if (options.today) {
        // Names (Italy, Embedded) and other languages' words (pared, breed) are not
        // English adverbs or past forms.
        if (!english || IsUpperLetter(CharAt(word, 0).cp))
            return counted;
    }
    return IsAdverbOrPastForm(lower, length) ? kDropped : counted;
}

void AcronymWatch::Settle(WordTable& table) const {
    if (!pending_)
        return;
    table.RemoveWords([&](TextView word) {
        return FailsLetterTests(word) && shown_.count(LowerLetters(word)) == 0;
    });
}

std::size_t AcronymWatch::Bytes() const {
    std::size_t bytes = sizeof *this + shown_.bucket_count() * sizeof(void*);
    for (const Text& word : shown_) bytes += sizeof(Text) + 2 * sizeof(void*) + word.capacity();
    return bytes;
}

}  // namespace lumora::words
