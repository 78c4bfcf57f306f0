#include "help/help_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
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
    struct Case {
        int width, height;
        HelpWindowLayout expected;
    };
    const std::vector<Case> cases = {
        {kDesignClientWidth + kFrameWidth,
         kDesignClientHeight + kFrameHeight,
         {8230, 6335, 3682, 6615}},
        {20000, 15000, {19650, 13920, 9392, 14200}},
        // Smaller than the margins: no negative sizes, the button still follows the edges.
        {300, 500, {0, 0, -457, -300}},
    };
    auto fields = [](const HelpWindowLayout& l) {
        return std::tuple(l.textWidth, l.textHeight, l.closeLeft, l.closeTop);
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fields(HelpLayout(c.width, c.height)), fields(c.expected))
            << c.width << "x" << c.height;
    }
    // Centred under the text box whatever the width.
    for (int w = 2000; w < 30000; w += 777) {
        const auto got = HelpLayout(w, 9000);
        EXPECT_LE(std::abs(2 * got.closeLeft + kCloseWidth - w), 1) << w;
    }
}

}  // namespace
}  // namespace lumora::help
