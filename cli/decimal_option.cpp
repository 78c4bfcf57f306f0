#include "decimal_option.h"

#include "engine/engine.h"

namespace lumora::cli {

CLI::Validator DecimalIn(int lowest, int highest, int step, const char* emptyMeans) {
    return CLI::Validator(
        [=](std::string& value) -> std::string {
            return engine::DecimalProblem(value, lowest, highest, step, emptyMeans).value_or("");
        },
        "");
}

CLI::Validator PassOptionCheck(const char* name, const std::string& description) {
    return CLI::Validator(
        [name](std::string& value) -> std::string {
            return engine::OptionValueProblem(name, value).value_or("");
        },
        description);
}

}  // namespace lumora::cli
