// Colours, fonts and the twips-to-pixels rule shared by the windows.
#pragma once

#include <QColor>
#include <QFont>

namespace lumora::gui {

// Positions and sizes are designed in twips; 15 of them make one pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

inline int Px(int twips) {
    const int half = kTwipsPerPixel / 2;
    return (twips >= 0 ? twips + half : twips - half) / kTwipsPerPixel;
}

inline QColor MainBackground() {
    return QColor(192, 255, 192);
}
inline QColor HelpBackground() {
    return QColor(224, 224, 224);
}
inline QColor LinkColour() {
    return QColor(0, 0, 255);
}

// "MS Sans Serif" where it is installed, else the system's proportional font at the size
// the layout was designed for.
QFont SansFont();
// "Courier New" where it is installed, else the system's fixed-width font.
QFont MonoFont();

}  // namespace lumora::gui
