// The check every numeric flag of the tool goes through.
#pragma once

#include <CLI/CLI.hpp>

namespace lumora::cli {

// A whole number written in decimal digits only (no sign, no blanks, no exponent, no hex)
// from `lowest` to `highest` in steps of `step`; `emptyMeans` lets an empty value through.
CLI::Validator DecimalIn(int lowest, int highest, int step, const char* emptyMeans = nullptr);

}  // namespace lumora::cli
