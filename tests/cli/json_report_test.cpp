#include "json_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "progress_line.h"

namespace lumora::cli {
namespace {

// One line per page, every field readable back; the page's windows-1252 text becomes UTF-8.
TEST(JsonLineTest, APageResultParsesBackWithEveryField) {
    engine::Analysis a;
    a.page.encoding = "windows-1252";
    a.page.lineEnds = engine::LineEnds::kCrLf;
    a.existing.title = "Cr\xE8me \"Bleu\"";
    a.existing.keywords = {"<meta name=keywords content=old>"};
    a.tag.tag = "<META NAME=\"keywords\" CONTENT=\"cr\xE8me, flour\">";
    a.tag.keywords = 2;
    a.ranked = {{"cr\xE8me", 3, 100.0f, true}, {"flour", 2, 42.5f, false}};
    PageReport report;
    report.path = "site/a b.htm";
    report.analysis = &a;
    report.withWords = true;
    const Text line = JsonLine(report);
    EXPECT_EQ(line.find('\n'), Text::npos);
    const auto j = nlohmann::json::parse(line);
    EXPECT_EQ(j["line_ends"], "CRLF");
    EXPECT_EQ(j["title"], "Cr\xC3\xA8me \"Bleu\"");
    EXPECT_TRUE(j["description"].empty());
    EXPECT_EQ(j["keywords"][0], "<meta name=keywords content=old>");
    EXPECT_EQ(j["tag"], "<META NAME=\"keywords\" CONTENT=\"cr\xC3\xA8me, flour\">");
    EXPECT_EQ(j["tag_keywords"], 2);
    EXPECT_EQ(j["words"][0]["word"], "cr\xC3\xA8me");
    EXPECT_DOUBLE_EQ(j["words"][1]["value"].get<double>(), 42.5);

    PageReport failed;
    failed.path = "bad\xFFname.htm";
    failed.status = PageStatus::kFailed;
    failed.error = "bad\xFFname.htm is read-only";
    const auto f = nlohmann::json::parse(JsonLine(failed));
    EXPECT_EQ(f["status"], "failed");
    // A name that is not UTF-8 comes with its bytes; a UTF-8 one does not need them.
    EXPECT_EQ(f["path_bytes"].get<std::vector<int>>(),
              (std::vector<int>{98, 97, 100, 255, 110, 97, 109, 101, 46, 104, 116, 109}));
    EXPECT_FALSE(j.contains("path_bytes"));
    EXPECT_NE(f["error"].get<std::string>().find("is read-only"), std::string::npos);
    EXPECT_FALSE(f.contains("tag"));
}

// JSON holds UTF-8 only; a page's windows-1252 text is carried over character by character.
TEST(JsonTextTest, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
    const std::vector<std::pair<Text, Text>> cases = {
        {"Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65", "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65"},
        {"\x80 5 \x93quoted\x94", "\xE2\x82\xAC 5 \xE2\x80\x9Cquoted\xE2\x80\x9D"},
        {"Caf\xC3", "Caf\xC3\x83"},        // a UTF-8 sequence cut short
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},  // an overlong form
        {"\x81", "\xC2\x81"},              // undefined in windows-1252: kept as C1
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(JsonText(in), want) << in;
}

TEST(ProgressLineTest, SaysPagesTimeAndWhatIsLeft) {
    using std::chrono::seconds;
    EXPECT_EQ(SiteProgressLine::Format(0, 10, "a.htm", seconds(0)),
              "0/10 pages, now a.htm, 0:00 elapsed");
    EXPECT_EQ(SiteProgressLine::Format(5, 20, "", seconds(75)),
              "5/20 pages, 1:15 elapsed, about 3:45 left");
    const Text longPath(100, 'x');
    EXPECT_LT(SiteProgressLine::Format(1, 2, longPath, seconds(1)).size(), 90u);
    // Nothing of a name moves the cursor, and its escapes are never cut.
    EXPECT_EQ(SiteProgressLine::Format(0, 1, "a\r\x1b[2J" + Text(33, 'x'), seconds(0)),
              "0/1 pages, now \\x1b[2J" + Text(33, 'x') + ", 0:00 elapsed");
    // A long name is cut from the front, never inside a character.
    Text accented;
    for (int i = 0; i < 30; ++i) accented += "\xC3\xA9";
    for (int extra = 0; extra < 2; ++extra) {
        const Text line = SiteProgressLine::Format(1, 2, Text(extra, 'x') + accented, seconds(1));
        const std::size_t start = line.find("now ") + 4;
        EXPECT_EQ(line.compare(start, 2, "\xC3\xA9"), 0) << extra;
    }
}

}  // namespace
}  // namespace lumora::cli
