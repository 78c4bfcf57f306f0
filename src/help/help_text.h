// The text of the help window and the rule that lays the window out when it is resized.
// Both are plain data so that the window itself only has to show them.
#pragma once

#include "text/chars.h"

namespace lumora::help {

inline constexpr const char* kHelpCaption = "Help screen for Lumora";
inline constexpr const char* kCloseCaption = "Close";

// Sizes in twips (15 twips make one pixel at 96 dpi).
inline constexpr int kDesignClientWidth = 8460;
inline constexpr int kDesignClientHeight = 7080;
inline constexpr int kTextLeft = 120;
inline constexpr int kTextTop = 120;
inline constexpr int kCloseWidth = 1215;
inline constexpr int kCloseHeight = 315;
// The border and caption bar around the client area of the window as it was designed. The
// resize rule is stated for the outer size; a view that only knows its client area adds
// these so that the layout does not depend on the window manager's decorations.
inline constexpr int kFrameWidth = 120;
inline constexpr int kFrameHeight = 335;

// The whole help text, lines ending in CR LF. `manualAddress` is the address of the user
// manual; empty, the text says that the manual was not found.
Text BuildHelpText(const Text& manualAddress);

struct HelpWindowLayout {
    int textWidth = 0;
    int textHeight = 0;
    int closeLeft = 0;
    int closeTop = 0;
};

// The text box takes all the room but a margin and the Close button stays centred under it,
// 800 twips above the bottom edge. Arguments are the window's outer size in twips; a window
// smaller than the margins gives an empty text box rather than a negative size.
HelpWindowLayout HelpLayout(int windowWidthTwips, int windowHeightTwips);

}  // namespace lumora::help
