#include "app/window_layout.h"

#include "output/meta_tag.h"

namespace lumora::app {

namespace {

constexpr int kLargeWindowTop = 300;
// Room below the bottom row for the window's lower border.
constexpr int kBottomMargin = 550;
constexpr int kGapAboveBottomRow = 100;

// Rounds a non-negative twips value, halves to the even neighbour.
int RoundTwips(double value) {
    return static_cast<int>(output::RoundHalfEven(value));
}

}  // namespace

WindowLayout LayoutFor(bool large, const ScreenMetrics& metrics, const WindowLayout& current) {
    WindowLayout layout = current;
    if (large) {
        layout.windowTop = kLargeWindowTop;
        layout.windowHeight = RoundTwips(0.9 * metrics.screenHeight);
    } else {
        layout.windowHeight = metrics.designHeight;
        layout.windowTop = RoundTwips((metrics.screenHeight - layout.windowHeight) / 2.0);
    }
    layout.outputHeight =
        layout.windowHeight - layout.outputTop - layout.frameHeight - kBottomMargin;
    layout.frameTop = layout.outputTop + layout.outputHeight + kGapAboveBottomRow;
    return layout;
}

}  // namespace lumora::app
