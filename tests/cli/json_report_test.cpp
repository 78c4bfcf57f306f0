#include "json_report.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "progress_line.h"

namespace lumora::cli {
namespace {

TEST(JsonLineTest, APageResultParsesBackWithEveryField) {
    engine::Analysis a;
    a.page.encoding = "UTF-8";
    a.page.lineEnds = engine::LineEnds::kCrLf;
    a.existing.title = "Caf\xC3\xA9 \"Bleu\"";
    a.existing.keywords = {"<meta name=keywords content=old>"};
    a.tag.tag = "<META NAME=\"keywords\" CONTENT=\"bread, flour\">";
    a.tag.keywords = 2;
    a.tag.characters = 44;
    a.ranked = {{"bread", 3, 100.0f, true}, {"flour", 2, 42.5f, false}};
    PageReport report;
    report.path = "site/a b.htm";
    report.analysis = &a;
    report.withWords = true;
    report.siteCommon = {"home"};

    const Text line = JsonLine(report);
    EXPECT_EQ(line.find('\n'), Text::npos);  // one object, one line
    const auto j = nlohmann::json::parse(line);
    EXPECT_EQ(j["path"], "site/a b.htm");
    EXPECT_EQ(j["status"], "ok");
    EXPECT_EQ(j["encoding"], "UTF-8");
    EXPECT_EQ(j["line_ends"], "CRLF");
    EXPECT_EQ(j["title"], "Caf\xC3\xA9 \"Bleu\"");
    EXPECT_TRUE(j["description"].empty());
    EXPECT_EQ(j["keywords"][0], "<meta name=keywords content=old>");
    EXPECT_EQ(j["tag"], a.tag.tag);
    EXPECT_EQ(j["tag_keywords"], 2);
    ASSERT_EQ(j["words"].size(), 2u);
    EXPECT_EQ(j["words"][1]["word"], "flour");
    EXPECT_DOUBLE_EQ(j["words"][1]["value"].get<double>(), 42.5);
    EXPECT_EQ(j["words"][1]["frequency"], 2);
    EXPECT_EQ(j["site_common"][0], "home");
}

TEST(JsonLineTest, AFailedPageCarriesItsMessageAndSurvivesABadPath) {
    PageReport report;
    report.path = "bad\xFFname.htm";
    report.status = PageStatus::kFailed;
    report.error = "bad\xFFname.htm is read-only";
    const auto j = nlohmann::json::parse(JsonLine(report));
    EXPECT_EQ(j["status"], "failed");
    EXPECT_NE(j["error"].get<std::string>().find("is read-only"), std::string::npos);
    EXPECT_FALSE(j.contains("tag"));
}

TEST(ProgressLineTest, SaysPagesTimeAndWhatIsLeft) {
    using std::chrono::seconds;
    EXPECT_EQ(ProgressLine::Format(0, 10, "a.htm", seconds(0)),
              "0/10 pages, now a.htm, 0:00 elapsed");
    EXPECT_EQ(ProgressLine::Format(5, 20, "", seconds(75)),
              "5/20 pages, 1:15 elapsed, about 3:45 left");
    const Text longPath(100, 'x');
    EXPECT_LT(ProgressLine::Format(1, 2, longPath, seconds(1)).size(), 90u);
}

}  // namespace
}  // namespace lumora::cli
