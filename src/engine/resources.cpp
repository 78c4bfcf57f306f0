#include <cstddef>

#include "engine/engine.h"
#include "text/encoding.h"
#include "text/program_texts.h"
#include "words/common_words.h"

namespace lumora::engine {

const char* LanguageCode(Language language) {
    return words::kLanguageCodes[static_cast<std::size_t>(language)];
}

std::optional<Language> LanguageOfCode(TextView code) {
    for (int i = 0; i < kLanguageCount; ++i) {
        if (code == words::kLanguageCodes[static_cast<std::size_t>(i)])
            return static_cast<Language>(i);
    }
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

CommonWordsLoad LoadCommonWords(const Text& dataDir, CountOptions& options, FileSystem& fs) {
    CommonWordsLoad load;
    if (!options.ignoreCommonWords)
        return load;
    auto lists = std::make_shared<words::CommonWordLists>();
    const int language = static_cast<int>(options.language);
    const Text path = words::CommonWordFilePath(dataDir, language);
    if (!lists->Load(language, path, fs).available) {
        // Told without the reason: the console keeps the warning short.
        load.warning = words::CommonWordsUnavailable(language, path);
        options.ignoreCommonWords = false;
    }
    load.lists = std::move(lists);
    return load;
}

}  // namespace lumora::engine
