// One JSON object per page for `--json` (JSON Lines): what a script needs to know of the
// page and its result, in the same terms as the text output. The command-line tool and the
// Python module write their lines here, so that both give the same line for a page.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <vector>

#include "engine/engine.h"
#include "site/site_run.h"

namespace lumora::site {

struct PageReport {
    Text path;
    PageStatus status = PageStatus::kOk;
    Text error;                                  // the message, for kFailed and kSkipped
    const engine::Analysis* analysis = nullptr;  // for kOk
    bool withWords = false;                      // the ranked words (list)
    bool insert = false;                         // the fields of insert follow
    bool inserted = false;                       // insert wrote the page
    bool unchanged = false;                      // the page already held the tag
    std::optional<Text> keptBackup;              // an earlier backup, left as it was
    std::vector<Text> siteCommon;                // words left out as common to the site
    bool withTag = true;                         // the composed tag (not for show)
    std::optional<Text> diff;                    // insert --dry-run: what would change
    const char* check = nullptr;                 // insert --check: what it found
    const char* rules = "classic";               // the word rules the words were read by
};

// A text of the page for JSON, which holds UTF-8 only: UTF-8 as it is, anything else read
// as windows-1252, the encoding the page was decoded from when it is not UTF-8.
Text JsonText(TextView text);

// The error field of a page that failed: "Title: message", the names in it as they are.
Text ErrorField(const Error& error);

// The object on one line, without the line end.
Text JsonLine(const PageReport& report);
// The same object, for a front that hands it on as its own values.
nlohmann::json JsonObject(const PageReport& report);

// The names used in the JSON and by --verbose.
const char* LineEndsName(engine::LineEnds ends);
// The same for people (--verbose): "CR LF" rather than "CRLF".
const char* LineEndsText(engine::LineEnds ends);
const char* StatusName(PageStatus status);

}  // namespace lumora::site
