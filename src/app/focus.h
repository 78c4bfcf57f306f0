// Where the keyboard focus goes after an action: to the next thing the user is likely to
// do. Without a page named that is choosing one; with a page, generating the tag, or
// listing the words while Generate is disabled (during a pass, where List words is Stop).
#pragma once

#include <optional>

#include "app/controls.h"

namespace lumora::app {

struct FocusState {
    bool windowVisible = false;  // the focus moves only in a shown window
    bool inputFileEmpty = true;
    bool generateEnabled = true;
};

// The control to focus, or nothing when the focus stays where it is.
std::optional<Control> NextActionFocus(const FocusState& state);

}  // namespace lumora::app
