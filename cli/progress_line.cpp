#include "progress_line.h"

#include <cstdio>

#include "console_text.h"

namespace lumora::cli {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
constexpr std::size_t kMaxPathShown = 40;

Text MinutesSeconds(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace

SiteProgressLine::SiteProgressLine(std::ostream& err, bool enabled, int total, TextView label)
    : err_(err), enabled_(enabled), total_(total), label_(label) {}

Text SiteProgressLine::Format(int done, int total, TextView current, Clock::duration elapsed) {
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    Text line = std::to_string(done) + "/" + std::to_string(total) + " pages";
    if (!current.empty()) {
        // The end of a long path says most about where the run stands.
        line += ", now ";
        line += ConsoleNameEnd(current, kMaxPathShown);
    }
    line += ", " + MinutesSeconds(seconds) + " elapsed";
    if (done > 0 && done < total) {
        const long long left = seconds * (total - done) / done;
        line += ", about " + MinutesSeconds(left) + " left";
    }
    return line;
}

void SiteProgressLine::Update(int done, TextView current, bool force) {
    if (!enabled_)
        return;
    const Clock::time_point now = Clock::now();
    // Wiped for a page's output or not, the line is drawn a few times a second at most.
    if (!force && drawn_ && now - lastDrawn_ < kRedrawEvery)
        return;
    lastDrawn_ = now;
    drawn_ = true;
    shown_ = true;
    err_ << '\r' << label_ << Format(done, total_, current, now - start_) << "\x1b[K" << std::flush;
}

void SiteProgressLine::Clear() {
    if (!enabled_ || !shown_)
        return;
    err_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

namespace {

// Pages at least this large show how much of them was read.
constexpr std::int64_t kPageProgressMinBytes = 1 << 20;

}  // namespace

void PageProgressLine::Show(const engine::PassProgress& p) {
    if (!enabled_ || p.bytesTotal < kPageProgressMinBytes)
        return;
    const int percent = static_cast<int>(100 * p.bytesDone / p.bytesTotal);
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    err_ << "\rReading page: " << percent << "%" << std::flush;
    shown_ = true;
}

void PageProgressLine::Clear() {
    if (!shown_)
        return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
}

}  // namespace lumora::cli
