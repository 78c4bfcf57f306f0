#include "help/help_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "support/temp_dir.h"

namespace lumora::help {
namespace {

// The whole text, CR LF line breaks and double blanks included, is kept as data.
TEST(HelpText, MatchesTheExpectedTextWithTheManualAddressVerbatim) {
    const Text address = "https://www.quarvel.example/lumora/manual.html";
    const Text expected =
        lumora::testing::ReadFile(LUMORA_SOURCE_DIR "/tests/data/expected/help.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(BuildHelpText(address), expected);
    // Another address, bytes above 127 included, stands in the same place unchanged.
    const Text other = "http://h\xE9t\xE9.example/a b";
    Text withOther = expected;
    withOther.replace(withOther.find(address), address.size(), other);
    EXPECT_EQ(BuildHelpText(other), withOther);
}

TEST(HelpLayout, TextFillsTheWindowAndCloseStaysCentredAboveTheBottom) {
    auto fields = [](int width, int height) {
        const HelpWindowLayout l = HelpLayout(width, height);
        return std::vector<int>{l.textWidth, l.textHeight, l.closeLeft, l.closeTop};
    };
    EXPECT_EQ(fields(kDesignClientWidth + kFrameWidth, kDesignClientHeight + kFrameHeight),
              (std::vector<int>{8230, 6335, 3682, 6615}));
    EXPECT_EQ(fields(20000, 15000), (std::vector<int>{19650, 13920, 9392, 14200}));
    // Smaller than the margins: no negative sizes, the button still follows the edges.
    EXPECT_EQ(fields(300, 500), (std::vector<int>{0, 0, -457, -300}));
    for (int w = 2000; w < 30000; w += 777)
        EXPECT_LE(std::abs(2 * HelpLayout(w, 9000).closeLeft + kCloseWidth - w), 1) << w;
}

}  // namespace
}  // namespace lumora::help
