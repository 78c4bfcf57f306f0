// The core's texts for a terminal (site/console_text.h), by their names in the tool.
#pragma once

#include "site/console_text.h"

namespace lumora::cli {

using site::ConsoleMessage;
using site::ConsoleName;
using site::ConsoleNameEnd;
using site::InsertText;
using site::PlainMessage;
using site::ToConsoleText;

}  // namespace lumora::cli
