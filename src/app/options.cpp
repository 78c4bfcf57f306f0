#include "app/options.h"

#include <algorithm>

#include "output/meta_tag.h"
#include "text/encoding.h"

namespace lumora::app {

namespace {

std::optional<int> LimitOf(TextView text, int low, int high) {
    const std::int64_t value = output::RoundHalfEven(output::LeadingNumber(text));
    if (value <= 0)
        return std::nullopt;
    return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

}  // namespace

Text EncodingOverrideOf(int encodingIndex) {
    if (encodingIndex <= 0 || encodingIndex >= kEncodingChoiceCount)
        return {};
    return kEncodingChoices[encodingIndex];
}

int EncodingIndexOf(TextView name) {
    const std::optional<Text> encoding = text::EncodingForLabel(name);
    if (!encoding)
        return 0;
    for (int i = 1; i < kEncodingChoiceCount; ++i) {
        if (*encoding == kEncodingChoices[i])
            return i;
    }
    return 0;
}

engine::CountOptions CountOptionsOf(const Options& o, const Text& wordsToIgnore) {
    engine::CountOptions c;
    c.language = static_cast<engine::Language>(o.languageIndex);
    c.rules = o.wordRulesIndex == 1 ? engine::WordRules::kToday : engine::WordRules::kClassic;
    c.weights.title = 10 * o.titleWeightIndex;
    c.weights.description = 10 * o.descriptionWeightIndex;
    c.weights.existingKeywords = 10 * o.existingKeywordsWeightIndex;
    c.weights.bold = o.boldWeightIndex;
    c.weights.italic = o.italicWeightIndex;
    c.weights.table = o.tableWeightIndex;
    c.weights.div = o.divWeightIndex;
    c.weights.span = o.spanWeightIndex;
    c.ignoreShortWords = o.ignoreShortWords;
    c.shortWordSize = o.shortWordSizeIndex + 1;
    c.ignoreCommonWords = o.ignoreCommonWords;
    c.minFrequency = o.minFrequencyIndex + 1;
    c.lowerCase = !o.preserveCase;
    c.wordsToIgnore = wordsToIgnore;
    c.encoding = EncodingOverrideOf(o.encodingIndex);
    return c;
}

engine::TagOptions TagOptionsOf(const Options& o) {
    engine::TagOptions t;
    t.maxKeywords = LimitOf(o.maxKeywords, output::kMinKeywords, output::kMaxKeywords);
    t.maxBytes = LimitOf(o.maxBytes, 1, output::kMaxBytes);
    t.beginWith = o.beginMetaTagWith;
    t.lowerCase = !o.preserveCase;
    t.spaceAfterComma = o.spaceAfterComma;
    return t;
}

}  // namespace lumora::app
