#include "site/json_report.h"

#include <nlohmann/json.hpp>

#include "site/console_text.h"

namespace lumora::site {

Text JsonText(TextView text) {
    // Text that is not UTF-8 is the page's own single-byte bytes (a diff, a message naming a
    // file): read as windows-1252, as pages without a declaration are.
    return engine::TextAsUtf8(text);
}

const char* LineEndsName(engine::LineEnds ends) {
    switch (ends) {
        case engine::LineEnds::kNone:
            return "none";
        case engine::LineEnds::kCrLf:
            return "CRLF";
        case engine::LineEnds::kLf:
            return "LF";
        case engine::LineEnds::kCr:
            return "CR";
        case engine::LineEnds::kMixed:
            return "mixed";
    }
    return "none";
}

const char* LineEndsText(engine::LineEnds ends) {
    return ends == engine::LineEnds::kCrLf ? "CR LF" : LineEndsName(ends);
}

const char* StatusName(PageStatus status) {
    switch (status) {
        case PageStatus::kOk:
            return "ok";
        case PageStatus::kFailed:
            return "failed";
        case PageStatus::kSkipped:
            return "skipped";
    }
    return "failed";
}

Text ErrorField(const Error& error) {
    return error.Title() + ": " + PlainMessage(error);
}

namespace {

nlohmann::json JsonTexts(const std::vector<Text>& texts) {
    nlohmann::json list = nlohmann::json::array();
    for (const Text& t : texts) list.push_back(JsonText(t));
    return list;
}

}  // namespace

nlohmann::json JsonObject(const PageReport& report) {
    using nlohmann::json;
    json page;
    page["path"] = report.path;  // a name the system gave: invalid bytes are replaced below
    // ... so a name that is not UTF-8 comes with its bytes too, to be found again.
    if (!IsValidUtf8(report.path)) {
        json bytes = json::array();
        for (const Char c : report.path) bytes.push_back(Code(c));
        page["path_bytes"] = std::move(bytes);
    }
    page["status"] = StatusName(report.status);
    if (report.status != PageStatus::kOk || report.analysis == nullptr) {
        page["error"] = JsonText(report.error);
        return page;
    }
    const engine::Analysis& a = *report.analysis;
    page["encoding"] = a.page.encoding;
    page["line_ends"] = LineEndsName(a.page.lineEnds);
    page["rules"] = report.rules;
    if (report.withTag)
        page["language"] = engine::LanguageCode(a.language);
    page["title"] = a.existing.title ? json(JsonText(*a.existing.title)) : json(nullptr);
    page["description"] = JsonTexts(a.existing.descriptions);
    page["keywords"] = JsonTexts(a.existing.keywords);
    if (report.withTag) {
        page["tag"] = JsonText(a.tag.tag);
        page["tag_keywords"] = a.tag.keywords;
        page["tag_characters"] = a.tag.characters;
    }
    if (report.insert) {
        page["inserted"] = report.inserted;
        page["unchanged"] = report.unchanged;
        if (report.keptBackup)
            page["backup_kept"] = *report.keptBackup;
    }
    if (report.check != nullptr)
        page["check"] = report.check;
    if (report.diff)
        page["diff"] = JsonText(*report.diff);
    if (report.withWords) {
        json words = json::array();
        for (const engine::RankedWord& w : a.ranked) {
            words.push_back(
                {{"word", JsonText(w.word)}, {"value", w.keyValue}, {"frequency", w.frequency}});
        }
        page["words"] = std::move(words);
        page["site_common"] = JsonTexts(report.siteCommon);
    }
    return page;
}

Text JsonLine(const PageReport& report) {
    // Invalid UTF-8 in a path is shown with replacement characters rather than failing.
    return JsonObject(report).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace lumora::site
