// The "Large window" switch and where the focus goes next: pure rules of the window.
#include "app/window_layout.h"

#include <gtest/gtest.h>

#include "app/focus.h"

namespace lumora::app {
namespace {

TEST(WindowLayout, LargeUsesNineTenthsOfTheScreenAndBackCentres) {
    struct Case {
        const char* name;
        bool large;
        ScreenMetrics metrics;
        int top, height;
    };
    const Case cases[] = {
        {"large on 12000", true, {8100, 12000}, 300, 10800},
        {"back to designed", false, {8100, 12000}, 1950, 8100},
        {"half twips round to even", true, {8100, 11115}, 300, 10004},  // 10003.5
        {"screen smaller than window", false, {8100, 7000}, -550, 8100},
    };
    WindowLayout current;
    current.windowTop = 2000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WindowLayout layout = LayoutFor(c.large, c.metrics, current);
        EXPECT_EQ(layout.windowTop, c.top);
        EXPECT_EQ(layout.windowHeight, c.height);
        // The output box takes the room left; the bottom row sits 100 twips below it.
        EXPECT_EQ(layout.outputTop, 5145);
        EXPECT_EQ(layout.outputHeight, c.height - 5145 - 645 - 550);
        EXPECT_EQ(layout.frameTop, 5145 + layout.outputHeight + 100);
        EXPECT_EQ(layout.frameHeight, 645);
    }
    // Whatever the top was, unchecking centres the window again.
    current.windowTop = 12345;
    EXPECT_EQ(LayoutFor(false, {8100, 12000}, current).windowTop, 1950);
}

TEST(Focus, GoesToTheNextSensibleButton) {
    struct Case {
        FocusState state;
        std::optional<Control> expected;
    };
    const Case cases[] = {
        {{false, false, true}, std::nullopt},  // a hidden window keeps its focus
        {{false, true, false}, std::nullopt},
        {{true, true, true}, Control::kInputFileButton},
        {{true, true, false}, Control::kInputFileButton},
        {{true, false, true}, Control::kGenerate},
        {{true, false, false}, Control::kListWords},  // during a pass: Stop
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextActionFocus(c.state), c.expected)
            << c.state.windowVisible << c.state.inputFileEmpty << c.state.generateEnabled;
    }
}

}  // namespace
}  // namespace lumora::app
