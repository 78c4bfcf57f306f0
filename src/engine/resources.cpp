#include <cstddef>
#include <mutex>

#include "engine/engine.h"
#include "text/encoding.h"
#include "text/program_texts.h"
#include "words/common_words.h"

namespace lumora::engine {

const char* LanguageCode(Language language) {
    return words::kLanguageCodes[static_cast<std::size_t>(language)];
}

std::optional<Language> LanguageOfCode(TextView code) {
    const std::size_t end = code.find_first_of("-_");
    const TextView primary = code.substr(0, end);
    if (primary.size() != 2)
        return std::nullopt;
    Text lower(primary);
    for (Char& c : lower) c = ToLower(c);
    for (int i = 0; i < kLanguageCount; ++i) {
        if (lower == words::kLanguageCodes[static_cast<std::size_t>(i)])
            return static_cast<Language>(i);
    }
    return std::nullopt;
}

const char* WordRulesCode(WordRules rules) {
    return rules == WordRules::kToday ? "today" : "classic";
}

std::optional<WordRules> WordRulesOfCode(TextView code) {
    if (code == "classic")
        return WordRules::kClassic;
    if (code == "today")
        return WordRules::kToday;
    return std::nullopt;
}

Text VersionText() {
    return text::VersionText(LUMORA_VERSION_MAJOR, LUMORA_VERSION_MINOR);
}

Text TextAsUtf8(TextView text) {
    return text::ReadStoredText(text);
}

FileSystem& RealFileSystem() {
    return files::RealFileSystem();
}

CommonWordsCache::CommonWordsCache(Text dataDir, FileSystem& fs)
    : dataDir_(std::move(dataDir)),
      fs_(fs),
      lists_(std::make_shared<const words::CommonWordLists>()) {}

CommonWordsLoad CommonWordsCache::Load(CountOptions& options) {
    CommonWordsLoad load;
    const bool today = options.rules == WordRules::kToday;
    // Today's rules read the lists even when common words are kept: a spelling whose lower
    // case is a common word (IT beside it) stays a word of its own.
    if (!options.ignoreCommonWords && !today)
        return load;
    const std::lock_guard lock(mutex_);
    const int chosen = static_cast<int>(options.language);
    std::shared_ptr<words::CommonWordLists> grown;
    for (int language = 0; language < kLanguageCount; ++language) {
        // A page's own language is known only once it is read; English words are left out of
        // pages in other languages too.
        const bool needed =
            language == chosen || (today && (options.languageFromPage || language == 0));
        if (!needed || tried_[static_cast<std::size_t>(language)])
            continue;
        // Passes under way keep the lists they were given; later ones get a copy with the
        // new list in it.
        if (!grown)
            grown = std::make_shared<words::CommonWordLists>(*lists_);
        grown->Load(language, words::CommonWordFilePath(dataDir_, language), fs_);
        tried_[static_cast<std::size_t>(language)] = true;
    }
    if (grown)
        lists_ = std::move(grown);
    if (!lists_->Available(chosen) && options.ignoreCommonWords) {
        // Told without the reason: the console keeps the warning short.
        load.warning =
            words::CommonWordsUnavailable(chosen, words::CommonWordFilePath(dataDir_, chosen));
        options.ignoreCommonWords = false;
    }
    load.lists = lists_;
    return load;
}

CommonWordsLoad LoadCommonWords(const Text& dataDir, CountOptions& options, FileSystem& fs) {
    return CommonWordsCache(dataDir, fs).Load(options);
}

}  // namespace lumora::engine
