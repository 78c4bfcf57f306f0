#include "json_report.h"

#include <nlohmann/json.hpp>

namespace lumora::cli {

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

Text JsonLine(const PageReport& report) {
    using nlohmann::json;
    json page;
    page["path"] = report.path;
    page["status"] = StatusName(report.status);
    if (report.status != PageStatus::kOk || report.analysis == nullptr) {
        page["error"] = report.error;
        // Invalid UTF-8 in a path is shown with replacement characters rather than failing.
        return page.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    const engine::Analysis& a = *report.analysis;
    page["encoding"] = a.page.encoding;
    page["line_ends"] = LineEndsName(a.page.lineEnds);
    page["title"] = a.existing.title ? json(*a.existing.title) : json(nullptr);
    page["description"] = a.existing.descriptions;
    page["keywords"] = a.existing.keywords;
    if (report.withTag) {
        page["tag"] = a.tag.tag;
        page["tag_keywords"] = a.tag.keywords;
        page["tag_characters"] = a.tag.characters;
    }
    if (report.inserted)
        page["inserted"] = true;
    if (report.diff)
        page["diff"] = *report.diff;
    if (report.withWords) {
        json words = json::array();
        for (const words::WordEntry& w : a.ranked) {
            words.push_back({{"word", w.word}, {"value", w.keyValue}, {"frequency", w.frequency}});
        }
        page["words"] = std::move(words);
        page["site_common"] = report.siteCommon;
    }
    return page.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace lumora::cli
