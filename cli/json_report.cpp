#include "json_report.h"

#include <nlohmann/json.hpp>

namespace lumora::cli {

namespace {

// The code points of windows-1252's bytes 0x80..0x9F; the five it leaves undefined keep
// their Latin-1 (C1) values.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUtf8(TextView text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        std::size_t more = b < 0x80           ? 0
                           : (b >> 5) == 0x6  ? 1
                           : (b >> 4) == 0xE  ? 2
                           : (b >> 3) == 0x1E ? 3
                                              : 4;
        if (more == 4 || (more == 1 && b < 0xC2) || i + more >= text.size())
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

void AppendUtf8(Text& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

Text JsonText(TextView text) {
    if (IsUtf8(text))
        return Text(text);
    // Text that is not UTF-8 is the page's own windows-1252 bytes: each is one character.
    Text out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const unsigned char b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t{b});
    }
    return out;
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

namespace {

nlohmann::json JsonTexts(const std::vector<Text>& texts) {
    nlohmann::json list = nlohmann::json::array();
    for (const Text& t : texts) list.push_back(JsonText(t));
    return list;
}

}  // namespace

Text JsonLine(const PageReport& report) {
    using nlohmann::json;
    json page;
    page["path"] = report.path;  // a name the system gave: invalid bytes are replaced below
    page["status"] = StatusName(report.status);
    if (report.status != PageStatus::kOk || report.analysis == nullptr) {
        page["error"] = JsonText(report.error);
        // Invalid UTF-8 in a path is shown with replacement characters rather than failing.
        return page.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    const engine::Analysis& a = *report.analysis;
    page["encoding"] = a.page.encoding;
    page["line_ends"] = LineEndsName(a.page.lineEnds);
    page["title"] = a.existing.title ? json(JsonText(*a.existing.title)) : json(nullptr);
    page["description"] = JsonTexts(a.existing.descriptions);
    page["keywords"] = JsonTexts(a.existing.keywords);
    if (report.withTag) {
        page["tag"] = JsonText(a.tag.tag);
        page["tag_keywords"] = a.tag.keywords;
        page["tag_characters"] = a.tag.characters;
    }
    if (report.inserted)
        page["inserted"] = true;
    if (report.diff)
        page["diff"] = JsonText(*report.diff);
    if (report.withWords) {
        json words = json::array();
        for (const words::WordEntry& w : a.ranked) {
            words.push_back(
                {{"word", JsonText(w.word)}, {"value", w.keyValue}, {"frequency", w.frequency}});
        }
        page["words"] = std::move(words);
        page["site_common"] = JsonTexts(report.siteCommon);
    }
    return page.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace lumora::cli
