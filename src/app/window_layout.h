// The main window's size and the places of the output box and the bottom row, in twips
// (15 twips make one pixel at 96 dpi). "Large window" gives the window nine tenths of the
// screen's height; the output box takes all the extra room and the bottom row follows it.
#pragma once

namespace lumora::app {

struct WindowLayout {
    int windowTop = 0;
    int windowHeight = 0;  // outer height; 0 until the window has reported its metrics
    int outputTop = 5145;
    int outputHeight = 2115;
    int frameTop = 7350;  // the bottom row
    int frameHeight = 645;

    bool operator==(const WindowLayout&) const = default;
};

// What the window reports once it is shown: its outer height as designed and the
// screen's height.
struct ScreenMetrics {
    int designHeight = 0;
    int screenHeight = 0;
};

// The layout for the "Large window" box: at the top of a screen with nine tenths of its
// height when `large`, else at the designed height centred vertically. The window's left
// edge and width never change.
WindowLayout LayoutFor(bool large, const ScreenMetrics& metrics, const WindowLayout& current);

}  // namespace lumora::app
