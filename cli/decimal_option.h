// The checks the tool's flags go through; the core says what each value may be.
#pragma once

#include <CLI/CLI.hpp>

namespace lumora::cli {

// A whole number written in decimal digits only (no sign, no blanks, no exponent, no hex)
// from `lowest` to `highest` in steps of `step`; `emptyMeans` lets an empty value through.
CLI::Validator DecimalIn(int lowest, int highest, int step, const char* emptyMeans = nullptr);

// The core's check of a pass option, by its name without the dashes ("min-frequency");
// `description` is what the help shows of it.
CLI::Validator PassOptionCheck(const char* name, const std::string& description = "");

}  // namespace lumora::cli
