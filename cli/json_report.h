// The core's JSON lines (site/json_report.h), by their names in the tool.
#pragma once

#include "site/json_report.h"

namespace lumora::cli {

using site::ErrorField;
using site::JsonLine;
using site::JsonText;
using site::LineEndsName;
using site::LineEndsText;
using site::PageReport;
using site::PageStatus;
using site::StatusName;

}  // namespace lumora::cli
