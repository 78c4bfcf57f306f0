#include "json_report.h"

#include <gtest/gtest.h>

#include "progress_line.h"

namespace lumora::cli {
namespace {

// JSON holds UTF-8 only: a diff or a message of a single-byte page is read as windows-1252,
// by the rule of the stored texts (encoding_test.cpp).
TEST(JsonTextTest, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
    EXPECT_EQ(JsonText("Cr\xC3\xA8me"), "Cr\xC3\xA8me");
    EXPECT_EQ(JsonText("\x80 5 \x93quoted\x94"), "\xE2\x82\xAC 5 \xE2\x80\x9Cquoted\xE2\x80\x9D");
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
