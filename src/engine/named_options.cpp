#include <array>
#include <string>

#include "engine/engine.h"

namespace lumora::engine {

namespace {

// A number option: where its value goes, and the values it takes.
struct NumberOption {
    const char* name;
    int lowest, highest, step;
    const char* emptyMeans;  // an empty value is taken and means this; null: refused
    int* (*field)(Options&);
};

constexpr std::array<NumberOption, 12> kNumbers = {{
    {"title-weight", 0, 90, 10, nullptr, [](Options& o) { return &o.count.weights.title; }},
    {"description-weight", 0, 90, 10, nullptr,
     [](Options& o) { return &o.count.weights.description; }},
    {"keywords-weight", 0, 90, 10, nullptr,
     [](Options& o) { return &o.count.weights.existingKeywords; }},
    {"bold-weight", 0, 9, 1, nullptr, [](Options& o) { return &o.count.weights.bold; }},
    {"italic-weight", 0, 9, 1, nullptr, [](Options& o) { return &o.count.weights.italic; }},
    {"table-weight", 0, 9, 1, nullptr, [](Options& o) { return &o.count.weights.table; }},
    {"div-weight", 0, 9, 1, nullptr, [](Options& o) { return &o.count.weights.div; }},
    {"span-weight", 0, 9, 1, nullptr, [](Options& o) { return &o.count.weights.span; }},
    {"short-word-size", 1, 9, 1, nullptr, [](Options& o) { return &o.count.shortWordSize; }},
    {"min-frequency", 1, 9, 1, nullptr, [](Options& o) { return &o.count.minFrequency; }},
    // The tag's limits are optional; they are set apart below.
    {"max-keywords", kFewestKeywords, kMostKeywords, 1, "no limit", nullptr},
    {"max-bytes", 0, kLongestTag, 1, "no limit; 0 also means no limit", nullptr},
}};

constexpr std::array<const char*, 4> kFlags = {"keep-short-words", "keep-common-words",
                                               "lower-case", "no-space-after-comma"};
constexpr std::array<const char*, 5> kTexts = {"rules", "language", "ignore", "begin-with",
                                               "encoding"};

const NumberOption* NumberNamed(TextView name) {
    for (const NumberOption& n : kNumbers) {
        if (name == n.name)
            return &n;
    }
    return nullptr;
}

template <std::size_t N>
bool Among(const std::array<const char*, N>& names, TextView name) {
    for (const char* n : names) {
        if (name == n)
            return true;
    }
    return false;
}

}  // namespace

std::optional<Text> DecimalProblem(TextView value, int lowest, int highest, int step,
                                   const char* emptyMeans) {
    Text range =
        step == 1
            ? "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest)
            : "one of " + std::to_string(lowest) + ", " + std::to_string(lowest + step) +
                  ", ..., " + std::to_string(highest);
    if (emptyMeans != nullptr)
        range += Text(" (empty: ") + emptyMeans + ")";
    const Text wanted = "expected " + range + ", not \"" + Text(value) + "\"";
    if (value.empty())
        return emptyMeans != nullptr ? std::nullopt : std::optional<Text>(wanted);
    if (value.size() > 9 || value.find_first_not_of("0123456789") != TextView::npos)
        return wanted;
    const int number = std::stoi(Text(value));
    if (number < lowest || number > highest || (number - lowest) % step != 0)
        return wanted;
    return std::nullopt;
}

bool IsOptionName(TextView name) {
    return NumberNamed(name) != nullptr || Among(kFlags, name) || Among(kTexts, name);
}

bool IsFlagOption(TextView name) {
    return Among(kFlags, name);
}

std::optional<Text> OptionValueProblem(TextView name, TextView value) {
    if (const NumberOption* n = NumberNamed(name))
        return DecimalProblem(value, n->lowest, n->highest, n->step, n->emptyMeans);
    if (name == "rules" && !WordRulesOfCode(value))
        return Text(value) + " not in {classic,today}";
    if (name == "language" && !LanguageOfCode(value))
        return "not a page language: " + Text(value) +
               " (en fr de it pt es xx, or en-US and the like)";
    return std::nullopt;
}

std::optional<Text> OptionsOfNamed(const std::vector<NamedOption>& named, Options& options) {
    options = Options();
    bool languageGiven = false;
    for (const NamedOption& option : named) {
        const TextView name = option.name;
        const TextView value = option.value;
        if (!IsOptionName(name))
            return "--" + option.name + ": not an option of the pass";
        if (auto problem = OptionValueProblem(name, value))
            return "--" + option.name + ": " + *problem;
        if (const NumberOption* n = NumberNamed(name)) {
            // Empty means no limit, and so does a maximum length of 0.
            const std::optional<int> number =
                value.empty() ? std::nullopt : std::optional<int>(std::stoi(option.value));
            if (n->field != nullptr)
                *n->field(options) = *number;
            else if (name == "max-keywords")
                options.tag.maxKeywords = number;
            else
                options.tag.maxBytes = number.value_or(0) > 0 ? number : std::nullopt;
        } else if (name == "keep-short-words") {
            options.count.ignoreShortWords = false;
        } else if (name == "keep-common-words") {
            options.count.ignoreCommonWords = false;
        } else if (name == "lower-case") {
            options.count.lowerCase = options.tag.lowerCase = true;
        } else if (name == "no-space-after-comma") {
            options.tag.spaceAfterComma = false;
        } else if (name == "rules") {
            options.count.rules = *WordRulesOfCode(value);
        } else if (name == "language") {
            options.count.language = *LanguageOfCode(value);
            languageGiven = true;
        } else if (name == "ignore") {
            options.count.wordsToIgnore = option.value;
        } else if (name == "begin-with") {
            options.tag.beginWith = option.value;
        } else if (name == "encoding") {
            options.count.encoding = option.value;
        }
    }
    options.count.languageFromPage = !languageGiven && options.count.rules == WordRules::kToday;
    return std::nullopt;
}

}  // namespace lumora::engine
