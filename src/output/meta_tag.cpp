#include "output/meta_tag.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_set>

#include "html/head_scan.h"

namespace lumora::output {

namespace {

constexpr TextView kLineEnd = "\r\n";
constexpr TextView kTagOpening = "<META NAME=\"keywords\" CONTENT=\"";
constexpr TextView kTagClosing = "\">";
constexpr TextView kCountCaption = "Number of keywords in meta tag";
constexpr TextView kZeroValueNote = "Words with key value 0 not shown.";

// A non-negative number with one blank before it, a negative one with just its sign.
Text NumberWithBlank(std::int64_t value) {
    Text text = value >= 0 ? " " : "";
    text += std::to_string(value);
    return text;
}

// Right-aligns `text` in a field of `width` characters; a longer text is shown whole
// rather than losing its leading digits.
void AppendPadded(Text& out, TextView text, std::size_t width) {
    if (text.size() < width)
        out.append(width - text.size(), ' ');
    out.append(text);
}

// The phrases typed by the user, as they stand at the front of the tag: ", " becomes a
// bare comma, a final comma and leading blanks go, and the case follows the option.
Text NormalisePhrases(TextView trimmed, bool preserveCase) {
    Text phrases;
    phrases.reserve(trimmed.size());
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        phrases.push_back(trimmed[i]);
        if (trimmed[i] == ',' && i + 1 < trimmed.size() && trimmed[i + 1] == ' ')
            ++i;
    }
    if (!phrases.empty() && phrases.back() == ',')
        phrases.pop_back();
    phrases.erase(0, std::min(phrases.find_first_not_of(' '), phrases.size()));
    if (!preserveCase)
        LowerLettersInPlace(phrases);
    return phrases;
}

// The word stands in the phrases as a whole word (not as part of a longer one), in the
// same case: "design" is covered by "web design", "art" is not covered by "party".
bool CoveredByPhrases(TextView phrases, TextView word) {
    for (std::size_t at = phrases.find(word); at != TextView::npos;
         at = phrases.find(word, at + 1)) {
        const std::size_t end = at + word.size();
        const bool startsWord =
            at == 0 || !IsLetter(CharAt(phrases, StartOfCharBefore(phrases, at)).cp);
        const bool endsWord = end == phrases.size() || !IsLetter(CharAt(phrases, end).cp);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

// Text put into the tag's CONTENT="..." so that it reads back as itself and cannot end
// the value, the tag, or start any mark-up.
Text AsAttributeValue(TextView text) {
    Text value;
    value.reserve(text.size());
    for (const Char c : text) {
        if (c == '&')
            value += "&amp;";
        else if (c == '"')
            value += "&quot;";
        else if (c == '<')
            value += "&lt;";
        else
            value += c;
    }
    return value;
}

bool IsBlank(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

MetaTagResult BuildMetaTag(std::span<const words::WordEntry> ranked,
                           const MetaTagOptions& options) {
    MetaTagResult result;
    if (ranked.empty()) {
        result.output = NoWordsMessage(options.shortWordSize, options.minFrequency);
        result.beginWith = options.beginWith;
        return result;
    }
    const std::int64_t maxKeywords = options.maxKeywords.value_or(0);
    const std::int64_t maxBytes = options.maxBytes.value_or(0);

    Text& out = result.output;
    out.assign(kTagOpening);
    result.beginWith = Text(TrimBlanks(options.beginWith));

    Text phrases;
    std::int64_t keywordCount = 0;
    if (!result.beginWith.empty()) {
        phrases = NormalisePhrases(result.beginWith, options.preserveCase);
        out.append(AsAttributeValue(phrases));
        keywordCount = 1;
        for (Char c : phrases) keywordCount += c == ',' ? 1 : 0;
    }

    // Counts and lengths are 64-bit: without limits, a page with many words makes a very
    // long tag. Lengths count characters, not bytes.
    std::int64_t tagLength = static_cast<std::int64_t>(CharCount(out));
    const TextView separator = options.spaceAfterComma ? ", " : ",";
    std::unordered_set<TextView> taken;
    for (const words::WordEntry& entry : ranked) {
        const Text& word = entry.word;
        if (maxKeywords > 0 && keywordCount + 1 > maxKeywords)
            break;
        // The limit counts the tag as written, escapes included, in characters. One
        // separator character is counted whatever the separator is.
        const Text written = AsAttributeValue(word);
        const auto wordLength = static_cast<std::int64_t>(CharCount(written));
        if (maxBytes > 0 && wordLength + tagLength + 1 > maxBytes)
            break;
        // A word the phrases already hold is not repeated, nor is a word already taken (the
        // plural folding can, rarely, leave two entries with the same word).
        if (!phrases.empty() && CoveredByPhrases(phrases, word))
            continue;
        if (!taken.insert(word).second)
            continue;
        if (keywordCount > 0) {
            out.append(separator);
            tagLength += static_cast<std::int64_t>(separator.size());
        }
        out.append(written);
        tagLength += wordLength;
        ++keywordCount;
    }

    out.append(kTagClosing);
    result.tag = out;
    result.keywords = keywordCount;
    result.characters = tagLength;
    out.append(kLineEnd);
    out.append(kLineEnd);
    out.append(kCountCaption);
    out.append(":");
    out.append(NumberWithBlank(keywordCount));
    out.append(kLineEnd);
    out.append("Number of bytes in meta tag:");
    out.append(NumberWithBlank(tagLength));
    return result;
}

std::optional<Error> RefuseTagWithoutKeyword(TextView tag, std::optional<int> maxBytes,
                                             const Text& page) {
    const std::optional<html::MetaTagParts> parts = html::ReadMetaTag(tag);
    if (!parts)
        return std::nullopt;
    const TextView content = parts->content.value_or(TextView());
    if (content.find_first_not_of(" \t\r\n\f") != TextView::npos)
        return std::nullopt;
    const std::int64_t limit = maxBytes.value_or(0);
    if (limit <= 0)
        return Error{Error::Code::kTagWithoutKeyword, page};
    Error error{Error::Code::kNoKeywordFits, page};
    error.count = *maxBytes;
    return error;
}

Text ListWords(std::span<const words::WordEntry> ranked, int shortWordSize, int minFrequency) {
    if (ranked.empty())
        return NoWordsMessage(shortWordSize, minFrequency);
    const std::size_t rankWidth = std::max<std::size_t>(4, std::to_string(ranked.size()).size());

    Text out = "Rank Value Frequency";
    out.append(kLineEnd);
    bool zeroNoteWritten = false;
    std::size_t rank = 0;
    for (const words::WordEntry& entry : ranked) {
        ++rank;
        const Text value = std::to_string(RoundHalfEven(entry.keyValue));
        if (value == "0") {
            if (!zeroNoteWritten) {
                out.append(kLineEnd);
                out.append(kZeroValueNote);
                out.append(kLineEnd);
                zeroNoteWritten = true;
            }
            continue;
        }
        AppendPadded(out, std::to_string(rank), rankWidth);
        out.push_back(' ');
        AppendPadded(out, value, 5);
        out.push_back(' ');
        AppendPadded(out, std::to_string(entry.frequency), 4);
        out.push_back(' ');
        out.append(entry.word);
        out.append(kLineEnd);
    }
    return out;
}

Text NoWordsMessage(int shortWordSize, int minFrequency) {
    const std::int64_t letters = shortWordSize;
    Text out = "No words with more than" + NumberWithBlank(letters) + " letter";
    if (letters > 1)
        out.push_back('s');
    out.append(" occur at least ");
    if (minFrequency <= 1) {
        out.append("once.");
    } else if (minFrequency == 2) {
        out.append("twice.");
    } else {
        out.append(std::to_string(minFrequency) + " times.");
    }
    return out;
}

Text GetMetaTag(TextView box) {
    TextView tag = TrimBlanks(box);
    const std::size_t summary = tag.find(kCountCaption);
    if (summary != TextView::npos)
        tag = TrimBlanks(tag.substr(0, summary));
    Text result(tag);
    TrimControlChars(result);
    return result;
}

void TrimControlChars(Text& text) {
    std::size_t first = 0;
    while (first < text.size() && Code(text[first]) <= 32) ++first;
    std::size_t end = text.size();
    while (end > first && Code(text[end - 1]) <= 32) --end;
    text.erase(end);
    text.erase(0, first);
}

void CleanNumericInput(Text& text, bool allowMinus) {
    bool digitSeen = false;
    bool plusSeen = false;
    bool minusSeen = false;
    std::size_t kept = 0;
    for (const Char c : text) {
        bool keep = false;
        if (c == '+') {
            keep = !digitSeen && !plusSeen;
            plusSeen = plusSeen || keep;
        } else if (c == '-') {
            keep = allowMinus && !digitSeen && !minusSeen;
            minusSeen = minusSeen || keep;
        } else if (IsDigit(c)) {
            keep = true;
            digitSeen = true;
        }
        if (keep)
            text[kept++] = c;
    }
    text.resize(kept);
}

double LeadingNumber(TextView text) {
    // Gather sign, digits and point, passing over blanks, then convert once.
    Text number;
    bool negative = false;
    bool pointSeen = false;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    for (; i < text.size(); ++i) {
        const Char c = text[i];
        if (IsDigit(c) || (c == '.' && !pointSeen)) {
            pointSeen = pointSeen || c == '.';
            number.push_back(c);
        } else if (!IsBlank(c)) {
            break;
        }
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Hundreds of digits: huge unless every whole digit is 0 (then a tiny fraction).
        const bool huge = number.find_first_of("123456789") < number.find('.');
        value = huge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

std::int64_t RoundHalfEven(double value) {
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value))
        return 0;
    if (value <= kLowest)
        return static_cast<std::int64_t>(kLowest);
    if (value >= kHighest)
        return static_cast<std::int64_t>(kHighest);
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1;
    return static_cast<std::int64_t>(rounded);
}

namespace {

// The box falls back to its default and the user is told the accepted bound.
LimitCheck Refuse(const char* what, int limit, int fallback) {
    LimitCheck check;
    check.text = std::to_string(fallback);
    check.refused = true;
    check.message = Text(what) + " in the meta tag is" + NumberWithBlank(limit) + ".";
    return check;
}

// A limit box's text with everything that does not belong in a number removed; accepted
// unless a bound says otherwise.
LimitCheck Cleaned(TextView text) {
    LimitCheck check;
    check.text = Text(text);
    CleanNumericInput(check.text, false);
    return check;
}

}  // namespace

LimitCheck CheckMaxKeywords(TextView text) {
    LimitCheck check = Cleaned(text);
    if (check.text.empty())
        return check;
    const double value = LeadingNumber(check.text);
    if (value > kMaxKeywords) {
        return Refuse("Maximum number of keywords", kMaxKeywords, kDefaultMaxKeywords);
    }
    if (value < kMinKeywords) {
        return Refuse("Minimum number of keywords", kMinKeywords, kDefaultMaxKeywords);
    }
    return check;
}

LimitCheck CheckMaxBytes(TextView text) {
    LimitCheck check = Cleaned(text);
    if (!check.text.empty() && LeadingNumber(check.text) > kMaxBytes) {
        return Refuse("Maximum number of bytes", kMaxBytes, kDefaultMaxBytes);
    }
    return check;
}

}  // namespace lumora::output
