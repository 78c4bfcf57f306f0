#include "site/site_common.h"

namespace lumora::site {

void WordSpread::AddPage(const std::vector<Text>& distinctWords) {
    ++pages_;
    for (const Text& word : distinctWords) ++pagesWith_[word];
}

std::shared_ptr<const std::unordered_set<Text>> WordSpread::MoreThan(double percent) const {
    auto common = std::make_shared<std::unordered_set<Text>>();
    if (pages_ == 0)
        return common;
    // Multiplied out rather than divided, so that "more than 50" of 4 pages is exactly 3 or 4.
    for (const auto& [word, count] : pagesWith_) {
        if (static_cast<double>(count) * 100.0 > percent * static_cast<double>(pages_))
            common->insert(word);
    }
    return common;
}

}  // namespace lumora::site
