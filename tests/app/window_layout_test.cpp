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
        {"back to designed, centred", false, {8100, 12000}, 1950, 8100},
        {"half twips round to even", true, {8100, 11115}, 300, 10004},  // 10003.5
    };
    WindowLayout current;
    current.windowTop = 2000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WindowLayout layout = LayoutFor(c.large, c.metrics, current);
        EXPECT_EQ(layout.windowTop, c.top);
        EXPECT_EQ(layout.windowHeight, c.height);
        // The output box takes the room left; the bottom row sits below it.
        EXPECT_EQ(layout.frameTop, layout.outputTop + layout.outputHeight + 100);
        EXPECT_EQ(layout.frameTop + layout.frameHeight, c.height - 450);
    }
}

TEST(Focus, GoesToTheNextSensibleButton) {
    struct Case {
        FocusState state;
        std::optional<Control> expected;
    };
    const Case cases[] = {
        {{false, false, true}, std::nullopt},  // a hidden window keeps its focus
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
