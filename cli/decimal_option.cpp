#include "decimal_option.h"

#include "engine/engine.h"

namespace lumora::cli {

CLI::Validator DecimalIn(int lowest, int highest, int step, const char* emptyMeans) {
    Text range =
        step == 1
            ? "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest)
            : "one of " + std::to_string(lowest) + ", " + std::to_string(lowest + step) +
                  ", ..., " + std::to_string(highest);
    if (emptyMeans != nullptr)
        range += Text(" (empty: ") + emptyMeans + ")";
    return CLI::Validator(
        [=](std::string& value) -> std::string {
            const Text wanted = "expected " + range + ", not \"" + value + "\"";
            if (value.empty())
                return emptyMeans != nullptr ? "" : wanted;
            if (value.size() > 9 || value.find_first_not_of("0123456789") != Text::npos)
                return wanted;
            const int number = std::stoi(value);
            if (number < lowest || number > highest || (number - lowest) % step != 0)
                return wanted;
            return "";
        },
        "");
}

}  // namespace lumora::cli
