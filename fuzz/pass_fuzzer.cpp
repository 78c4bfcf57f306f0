// Feeds arbitrary pages and options through the whole pass, the meta tag and the word
// list. The first bytes choose the options; the rest is the page. Control characters
// that would make the page be refused are turned into spaces so the scanner sees the
// input, except when the first option byte asks for the raw bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/session.h"

namespace {

std::string PagePath() {
    static const std::string path = "/tmp/lumora_fuzz_" + std::to_string(getpid()) + ".htm";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kOptionBytes = 8;
    if (size < kOptionBytes)
        return 0;
    const std::uint8_t* o = data;
    std::string page(reinterpret_cast<const char*>(data + kOptionBytes), size - kOptionBytes);
    if ((o[0] & 1) == 0) {
        for (char& c : page) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 32 && b != 9 && b != 10 && b != 13)
                c = ' ';
        }
    }
    if (std::FILE* f = std::fopen(PagePath().c_str(), "wb")) {
        std::fwrite(page.data(), 1, page.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }

    // One session for the whole run, as in the window: state left by one page must not
    // disturb the next.
    static lumora::app::UnattendedPlatform platform;
    static lumora::app::Session* session = [] {
        auto* s = new lumora::app::Session(platform, LUMORA_BIN_DIR);
        if (!s->LoadProgramTexts())
            std::abort();
        s->InitialiseSession();
        s->CompleteStartup();
        return s;
    }();
    lumora::app::Options options;
    options.preserveCase = (o[0] & 2) != 0;
    options.ignoreShortWords = (o[0] & 4) != 0;
    options.ignoreCommonWords = (o[0] & 8) != 0;
    options.spaceAfterComma = (o[0] & 16) != 0;
    options.languageIndex = o[1] % 7;
    options.titleWeightIndex = o[2] % 10;
    options.descriptionWeightIndex = (o[2] / 10) % 10;
    options.existingKeywordsWeightIndex = o[3] % 10;
    options.boldWeightIndex = (o[3] / 10) % 10;
    options.tableWeightIndex = o[4] % 10;
    options.divWeightIndex = (o[4] / 10) % 10;
    options.spanWeightIndex = o[5] % 10;
    options.italicWeightIndex = (o[5] / 10) % 10;
    options.shortWordSizeIndex = o[6] % 9;
    options.thresholdIndex = (o[6] / 9) % 9;
    options.maxKeywords = std::to_string(o[7] % 120);
    options.maxBytes = std::to_string(o[7] * 5);
    options.beginMetaTagWith = (o[7] & 1) ? "first phrase, second" : "";
    options.inputFile = PagePath();
    session->RestoreOptions(options);
    session->ClickGenerate();
    session->ClickListWords();
    session->SetInputFileText(PagePath());
    session->ClickShowExisting();
    (void)session->GetMetaTag();
    return 0;
}
