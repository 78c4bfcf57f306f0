// A scripted stand-in for the desktop: records every message box, focus move and
// clipboard text and progress report, and answers questions from a queue.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/platform.h"

namespace lumora::testing {

struct ShownMessage {
    Text prompt;
    Text title;
    app::Icon icon;
    app::Buttons buttons;
};

class FakePlatform : public app::Platform {
  public:
    std::vector<ShownMessage> messages;
    std::deque<app::Answer> answers;  // taken in order; Yes/OK when empty
    std::vector<app::Control> focus;
    std::vector<Text> clipboard;
    std::vector<Text> webAddresses;
    bool webSucceeds = true;
    std::optional<Text> chosenFile;
    app::OpenFileRequest lastRequest;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;  // (done, total)
    int programEnded = 0;
    files::FileSystem* files = &files::RealFileSystem();

    app::Answer ShowMessage(const Text& prompt, const Text& title, app::Icon icon,
                            app::Buttons buttons) override {
        messages.push_back({prompt, title, icon, buttons});
        if (!answers.empty()) {
            const app::Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == app::Buttons::kOk ? app::Answer::kOk : app::Answer::kYes;
    }
    std::optional<Text> ChooseFileToOpen(const app::OpenFileRequest& request) override {
        lastRequest = request;
        return chosenFile;
    }
    void SetClipboardText(const Text& text) override { clipboard.push_back(text); }
    bool OpenWebAddress(const Text& address) override {
        webAddresses.push_back(address);
        return webSucceeds;
    }
    files::FileSystem& Files() override { return *files; }
    void SetFocus(app::Control control) override { focus.push_back(control); }
    void Repaint(app::Control) override {}
    void ShowHelpWindow() override {}
    void ShowPassProgress(std::int64_t done, std::int64_t total) override {
        progress.emplace_back(done, total);
    }
    void EndProgram() override { ++programEnded; }
};

}  // namespace lumora::testing
