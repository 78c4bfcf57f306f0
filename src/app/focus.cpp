#include "app/focus.h"

namespace lumora::app {

std::optional<Control> NextActionFocus(const FocusState& state) {
    if (!state.windowVisible)
        return std::nullopt;
    if (state.inputFileEmpty)
        return Control::kInputFileButton;
    return state.generateEnabled ? Control::kGenerate : Control::kListWords;
}

}  // namespace lumora::app
