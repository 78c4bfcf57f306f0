#include "site/site_common.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "text/text_hash.h"

namespace lumora::site {

void WordSpread::AddPage(const std::vector<Text>& distinctWords) {
    ++pages_;
    for (const Text& word : distinctWords) Add(word, true, false);
}

void WordSpread::AddPage(const engine::PageReading& reading) {
    ++pages_;
    const engine::PackedWords& forms = reading.Forms();
    for (std::size_t i = 0; i < forms.size(); ++i) {
        if (reading.Visible(i) || reading.InTitle(i))
            Add(forms[i], reading.Visible(i), reading.InTitle(i));
    }
}

void WordSpread::Add(TextView word, bool shown, bool inTitle) {
    if (2 * (words_.size() + 1) > slots_.size()) {
        slots_.assign(slots_.empty() ? 1024 : 2 * slots_.size(), 0);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t i = 0; i < words_.size(); ++i) {
            std::size_t k = hashes_[i] & mask;
            while (slots_[k] != 0) k = (k + 1) & mask;
            slots_[k] = i + 1;
        }
    }
    const auto hash = static_cast<std::uint32_t>(HashText(word));
    const std::size_t mask = slots_.size() - 1;
    std::size_t k = hash & mask;
    for (; slots_[k] != 0; k = (k + 1) & mask) {
        const std::uint32_t i = slots_[k] - 1;
        if (hashes_[i] == hash && words_[i] == word) {
            pagesWith_[i] += shown ? 1 : 0;
            titlesWith_[i] += inTitle ? 1 : 0;
            return;
        }
    }
    slots_[k] = static_cast<std::uint32_t>(words_.size()) + 1;
    words_.emplace_back(word);
    pagesWith_.push_back(shown ? 1 : 0);
    titlesWith_.push_back(inTitle ? 1 : 0);
    hashes_.push_back(hash);
}

std::shared_ptr<const std::unordered_set<Text>> WordSpread::MoreThan(double percent) const {
    return Over(pagesWith_, percent);
}

std::shared_ptr<const std::unordered_set<Text>> WordSpread::InTitlesOfMoreThan(
    double percent) const {
    return Over(titlesWith_, percent);
}

std::shared_ptr<const std::unordered_set<Text>> WordSpread::Over(
    const std::vector<std::size_t>& pagesWith, double percent) const {
    auto common = std::make_shared<std::unordered_set<Text>>();
    if (pages_ == 0)
        return common;
    // Multiplied out rather than divided, so that "more than 50" of 4 pages is exactly 3 or 4.
    for (std::size_t i = 0; i < words_.size(); ++i) {
        if (static_cast<double>(pagesWith[i]) * 100.0 > percent * static_cast<double>(pages_))
            common->insert(words_[i]);
    }
    return common;
}

FirstReadings::FirstReadings(std::size_t pages, std::size_t budgetBytes)
    : readings_(pages), budget_(budgetBytes) {}

void FirstReadings::Read(std::size_t i, TextView bytes, const engine::CountOptions& count,
                         const engine::Resources& resources, std::stop_token stop) {
    try {
        engine::PageReadingResult r = engine::ReadPage(bytes, count, resources, std::move(stop));
        if (r.ok())
            readings_[i] = std::move(r.reading);
    } catch (const std::bad_alloc&) {
        readings_[i].reset();
    }
}

void FirstReadings::Deliver(std::size_t i) {
    std::optional<engine::PageReading>& reading = readings_[i];
    if (!reading)
        return;
    spread_.AddPage(*reading);
    const std::size_t bytes = reading->Bytes();
    if (bytes <= budget_ - used_) {
        used_ += bytes;
        ++kept_;
    } else {
        reading.reset();
    }
}

FirstReadings::SiteCommonWords FirstReadings::FindCommonWords(double percent) {
    SiteCommonWords words{spread_.MoreThan(percent), spread_.InTitlesOfMoreThan(percent)};
    common_ = std::make_unique<const engine::SiteWords>(*words.shown, *words.inTitles);
    return words;
}

std::optional<engine::PageReading> FirstReadings::Take(std::size_t i) {
    std::optional<engine::PageReading> taken;
    taken.swap(readings_[i]);
    return taken;
}

std::size_t DefaultReadingBudget() {
    std::size_t budget = std::size_t{256} << 20;
    // A quarter of the machine's memory, and of the address space a `ulimit -v` allows:
    // the pages themselves and their second step need the rest.
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        budget = std::min(budget,
                          static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize) / 4);
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        budget = std::min(budget, static_cast<std::size_t>(limit.rlim_cur) / 4);
    return budget;
}

}  // namespace lumora::site
