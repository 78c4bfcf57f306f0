// Starting the window: the session over the platform, its state loaded, the window shown.
#pragma once

#include <functional>

#include "app/pass_runner.h"
#include "main_window.h"

namespace lumora::gui {

// Runs the window until it is closed; `started` is called once it is on the screen. A
// `page` given is chosen, as if typed into the page box. The QApplication must exist.
// Returns the program's exit status.
int RunWindow(app::PassRunner& runner, const std::function<void(MainWindow&)>& started = {},
              const Text& page = {});

}  // namespace lumora::gui
