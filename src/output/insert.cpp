#include "output/insert.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "files/page_file.h"
#include "html/splice.h"
#include "text/encoding.h"

namespace lumora::output {

namespace {

constexpr std::size_t kNone = TextView::npos;

// A page reached through a symbolic link is replaced where it really lives, so that the
// link stays a link.
Text RealPageOf(const Text& path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path real = std::filesystem::canonical(path, ec);
        if (!ec)
            return real.string();
    }
    return path;
}

}  // namespace

std::optional<Text> BackupPathFor(TextView path) {
    const std::size_t dot = path.rfind('.');
    if (dot == kNone)
        return std::nullopt;
    Text backup(path.substr(0, dot + 1));
    backup += "bak";
    backup += path.substr(dot);
    return backup;
}

InsertPlan PlanInsert(TextView oldBytes, const Text& tag, TextView encoding, const Text& pagePath) {
    using Kind = InsertOutcome::Kind;
    const text::DecodeResult decoded = text::DecodePage(oldBytes, encoding);
    if (!decoded.ok())
        return {InsertOutcome{Kind::kFailed, decoded.error->Message()}, {}};
    const Text& pageEncoding = decoded.page.encoding;
    if (pageEncoding.starts_with("UTF-16"))
        return {InsertOutcome{Kind::kWideEncoding, pagePath}, {}};
    text::EncodeResult encodedTag = text::EncodeForPage(tag, pageEncoding);
    if (!encodedTag.ok())
        return {InsertOutcome{Kind::kFailed, encodedTag.error->Message()}, {}};

    html::SpliceResult spliced = html::SpliceKeywordsTag(oldBytes, encodedTag.bytes);
    if (spliced.refusal) {
        switch (*spliced.refusal) {
            case html::SpliceRefusal::kNotAKeywordsTag:
                return {InsertOutcome{Kind::kNotATag, {}}, {}};
            case html::SpliceRefusal::kNoKeyword:
                return {InsertOutcome{Kind::kNoKeyword, {}}, {}};
            case html::SpliceRefusal::kNowhereToInsert:
                return {InsertOutcome{Kind::kNowhereToInsert, pagePath}, {}};
        }
    }
    return {std::nullopt, std::move(spliced.page)};
}

InsertOutcome InsertMetaTag(const Text& pagePath, const Text& tag,
                            const std::optional<Text>& backupPath, files::FileSystem& fs,
                            TextView encoding) {
    using Kind = InsertOutcome::Kind;
    const Text page = RealPageOf(pagePath);
    files::FileInfo info;
    if (Text problem = files::CheckReplaceable(page, info, fs); !problem.empty()) {
        // The message names the page as the user gave it, not where a link led.
        if (page != pagePath && problem.starts_with(page))
            problem.replace(0, page.size(), pagePath);
        return {Kind::kRefused, std::move(problem)};
    }
    Text oldBytes;
    if (Text error = fs.ReadAll(page, oldBytes); !error.empty())
        return {Kind::kFailed, pagePath + " could not be read: " + error};

    InsertPlan plan = PlanInsert(oldBytes, tag, encoding, pagePath);
    if (plan.refusal)
        return *plan.refusal;
    const Text& newBytes = plan.page;
    // The backup is in place before the page changes, so a failure in between leaves the
    // old page and its copy, never a new page without the promised backup.
    if (backupPath) {
        if (Text error = files::ReplaceFile(fs, *backupPath, oldBytes, info, *backupPath);
            !error.empty())
            return {Kind::kFailed, std::move(error)};
    }
    if (Text error = files::ReplaceFile(fs, page, newBytes, info, pagePath); !error.empty())
        return {Kind::kFailed, std::move(error)};
    return {Kind::kInserted, {}};
}

InsertMessage MessageFor(const InsertOutcome& outcome) {
    switch (outcome.kind) {
        case InsertOutcome::Kind::kInserted:
            return {"Meta tag inserted successfully into document.", "Done"};
        case InsertOutcome::Kind::kNowhereToInsert:
            return {"Meta tag not inserted because " + outcome.error +
                        " has neither a keywords meta tag\r\n"
                        "nor an end of its head (</head>) or a <body> tag where it could go.",
                    "Not inserted"};
        case InsertOutcome::Kind::kNoKeyword:
            return {"Meta tag not inserted because it holds no keyword.", "Not inserted"};
        case InsertOutcome::Kind::kNotATag:
            return {"No meta tag to insert.", "Error"};
        case InsertOutcome::Kind::kRefused:
            return {outcome.error, "Not inserted"};
        case InsertOutcome::Kind::kWideEncoding:
            return {"Meta tag not inserted because " + outcome.error +
                        " is written in UTF-16; save it as UTF-8 to insert the tag.",
                    "Not inserted"};
        case InsertOutcome::Kind::kFailed:
            break;
    }
    return {outcome.error, "Error"};
}

}  // namespace lumora::output
