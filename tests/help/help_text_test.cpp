#include "help/help_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

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
    // Without a manual, the first sentence says it was not found; the rest is unchanged.
    const Text missing = BuildHelpText("");
    const auto rest = expected.find(address) + address.size() + 3;
    EXPECT_EQ(missing.substr(0, missing.find(".  ") + 3),
              "The fuller documentation, README.md, was not found beside the program's data "
              "files.  ");
    EXPECT_EQ(missing.substr(missing.find(".  ") + 3), expected.substr(rest));
}

// The text box fills the window above the Close button and follows its edges; the button
// stays centred, inside the window; a window smaller than the margins gets no negative size.
TEST(HelpLayout, TextAboveACentredCloseButtonBothInsideTheWindow) {
    for (int w = 300; w < 30000; w += 777) {
        for (const int h : {500, kDesignClientHeight + kFrameHeight, 15000}) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            const HelpWindowLayout l = HelpLayout(w, h);
            EXPECT_LE(std::abs(2 * l.closeLeft + kCloseWidth - w), 1);
            EXPECT_GE(std::min(l.textWidth, l.textHeight), 0);
            if (std::min(w, h) < 2000)
                continue;
            EXPECT_EQ(HelpLayout(w + 10, h + 20).textWidth, l.textWidth + 10);
            EXPECT_EQ(HelpLayout(w + 10, h + 20).textHeight, l.textHeight + 20);
            EXPECT_LE(kTextLeft + l.textWidth, w - kFrameWidth);
            EXPECT_LE(kTextTop + l.textHeight, l.closeTop);
            EXPECT_LE(l.closeTop + kCloseHeight, h - kFrameHeight);
        }
    }
}

}  // namespace
}  // namespace lumora::help
