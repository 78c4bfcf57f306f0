// The desktop services as the command-line tool offers them: message boxes go to
// standard error as "Title: prompt", questions are answered as the command's options say,
// Ctrl-C is the Stop button, and a progress indicator may be drawn on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <ostream>

#include "app/platform.h"

namespace lumora::app {
class Session;
}

namespace lumora::cli {

class ConsolePlatform : public app::Platform {
  public:
    explicit ConsolePlatform(std::ostream& err) : err_(err) {}

    void SetSession(app::Session* session) { session_ = session; }
    // The answer to Yes/No/Cancel questions (the backup question).
    void SetThreeWayAnswer(app::Answer answer) { threeWayAnswer_ = answer; }
    // Draws the share of the page read on standard error, for pages of `minBytes` or more.
    void EnableProgress(std::int64_t minBytes) {
        progress_ = true;
        progressMinBytes_ = minBytes;
    }
    void ClearProgress();
    // While holding, the latest message box is kept back instead of written, so that a
    // command can print its final message on standard output; earlier ones still go to
    // standard error.
    void HoldLastMessage(bool hold);
    // The prompt of the message kept back, or empty; clears it.
    Text TakeHeldMessage();
    int MessageCount() const { return messages_; }

    // Set from the SIGINT handler; the pass stops after the current word.
    static std::atomic<bool> interrupted;

    app::Answer ShowMessage(const Text& prompt, const Text& title, app::Icon icon,
                            app::Buttons buttons) override;
    std::optional<Text> ChooseFileToOpen(const app::OpenFileRequest&) override {
        return std::nullopt;
    }
    void SetClipboardText(const Text&) override {}
    bool OpenWebAddress(const Text&) override { return false; }
    void SetFocus(app::Control) override {}
    void Repaint(app::Control) override {}
    void HandlePendingInput() override;
    void ShowPassProgress(std::int64_t done, std::int64_t total) override;

  private:
    std::ostream& err_;
    app::Session* session_ = nullptr;
    app::Answer threeWayAnswer_ = app::Answer::kYes;
    bool progress_ = false;
    bool progressShown_ = false;
    std::int64_t progressMinBytes_ = 0;
    int lastPercent_ = -1;
    int messages_ = 0;
    bool hold_ = false;
    std::optional<Text> held_;
    Text heldPrompt_;
    void Write(const Text& prompt, const Text& title);
    std::chrono::steady_clock::time_point lastDraw_{};
};

// A text of the program as the console gets it: UTF-8, each CR LF as one LF.
Text ToConsoleText(TextView text);

}  // namespace lumora::cli
