#include "console_platform.h"

#include "app/session.h"

namespace lumora::cli {

std::atomic<bool> ConsolePlatform::interrupted{false};

Text ToConsoleText(TextView text) {
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        const Decoded d = CharAt(text, i);
        if (d.cp == kReplacementCharacter && d.length == 1) {
            // Bytes that are not UTF-8 (a file name, say) are shown as U+FFFD.
            AppendUtf8(out, kReplacementCharacter);
        } else {
            out.append(text.substr(i, d.length));
        }
        i += d.length;
    }
    return out;
}

app::Answer ConsolePlatform::ShowMessage(const Text& prompt, const Text& title, app::Icon,
                                         app::Buttons buttons) {
    ClearProgress();
    ++messages_;
    if (hold_) {
        if (held_)
            err_ << *held_;
        held_ = (title.empty() ? Text("Lumora") : title) + ": " + ToConsoleText(prompt) + "\n";
        heldPrompt_ = ToConsoleText(prompt);
    } else {
        Write(prompt, title);
    }
    switch (buttons) {
        case app::Buttons::kOk:
            return app::Answer::kOk;
        case app::Buttons::kYesNo:
            return app::Answer::kYes;
        case app::Buttons::kYesNoCancel:
            return threeWayAnswer_;
    }
    return app::Answer::kOk;
}

void ConsolePlatform::Write(const Text& prompt, const Text& title) {
    err_ << (title.empty() ? Text("Lumora") : title) << ": " << ToConsoleText(prompt) << '\n';
}

void ConsolePlatform::HoldLastMessage(bool hold) {
    hold_ = hold;
    if (!hold && held_) {
        err_ << *held_;
        held_.reset();
    }
}

Text ConsolePlatform::TakeHeldMessage() {
    if (!held_)
        return {};
    held_.reset();
    return heldPrompt_;
}

void ConsolePlatform::HandlePendingInput() {
    if (interrupted.load(std::memory_order_relaxed) && session_ != nullptr) {
        interrupted = false;
        session_->ClickListWords();  // the button reads "Stop" during a pass
    }
}

void ConsolePlatform::ShowPassProgress(std::int64_t done, std::int64_t total) {
    if (!progress_ || total < progressMinBytes_ || total <= 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    const int percent = static_cast<int>(100 * done / total);
    if (percent == lastPercent_ || now - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastPercent_ = percent;
    lastDraw_ = now;
    err_ << "\rReading page: " << percent << "%" << std::flush;
    progressShown_ = true;
}

void ConsolePlatform::ClearProgress() {
    if (!progressShown_)
        return;
    err_ << "\r\033[K" << std::flush;
    progressShown_ = false;
}

}  // namespace lumora::cli
