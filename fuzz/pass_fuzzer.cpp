// Feeds arbitrary pages and options through the engine: the whole pass, the meta tag
// composed again with other limits, the word list, and the report of the page's existing
// tags. The first bytes choose the options; the rest is the page, as it is (control
// characters, NUL bytes and stray line ends included).
#include <cstdint>
#include <string>

#include "engine/engine.h"

namespace {

// The shipped lists, each read the first time an input's options need it.
lumora::engine::CommonWordsCache& Lists() {
    static lumora::engine::CommonWordsCache cache(LUMORA_BIN_DIR, lumora::engine::RealFileSystem());
    return cache;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kOptionBytes = 8;
    if (size < kOptionBytes)
        return 0;
    const std::uint8_t* o = data;
    const std::string page(reinterpret_cast<const char*>(data + kOptionBytes), size - kOptionBytes);

    lumora::engine::Options options;
    lumora::engine::CountOptions& count = options.count;
    count.lowerCase = (o[0] & 2) == 0;
    count.ignoreShortWords = (o[0] & 4) != 0;
    count.ignoreCommonWords = (o[0] & 8) != 0;
    count.language = static_cast<lumora::engine::Language>(o[1] % 7);
    count.weights.title = 10 * (o[2] % 10);
    count.weights.description = 10 * ((o[2] / 10) % 10);
    count.weights.existingKeywords = 10 * (o[3] % 10);
    count.weights.bold = (o[3] / 10) % 10;
    count.weights.table = o[4] % 10;
    count.weights.div = (o[4] / 10) % 10;
    count.weights.span = o[5] % 10;
    count.weights.italic = (o[5] / 10) % 10;
    count.shortWordSize = 1 + o[6] % 9;
    count.minFrequency = 1 + (o[6] / 9) % 9;
    count.wordsToIgnore = (o[0] & 32) ? "Seeds, the RAKE" : "";
    count.encoding = (o[0] & 64) ? "Shift_JIS" : "";  // read as the user chose, or detected
    options.tag.lowerCase = count.lowerCase;
    options.tag.spaceAfterComma = (o[0] & 16) != 0;
    options.tag.maxKeywords = 5 + o[7] % 96;
    options.tag.maxBytes = 1 + (o[7] * 5) % 1000;
    options.tag.beginWith = (o[7] & 1) ? "first phrase, second" : "";

    const lumora::engine::CommonWordsLoad lists = Lists().Load(count);
    const lumora::engine::AnalysisResult result =
        lumora::engine::Analyse(page, options, lists.resources());
    if (result.ok()) {
        lumora::engine::TagOptions unlimited = options.tag;
        unlimited.maxKeywords.reset();
        unlimited.maxBytes.reset();
        (void)lumora::engine::ComposeTag(result.analysis.ranked, unlimited, count);
        (void)lumora::engine::WordList(result.analysis.ranked, count);
    }
    (void)lumora::engine::Show(page, count.encoding);
    return 0;
}
