// The services of the desktop that the session needs: message boxes, the open-file
// dialog, the clipboard, web addresses, focus, repainting and the handling of pending
// input during a pass. The window implements them with Qt, the command-line tool on the
// console, and the tests with a scripted fake.
#pragma once

#include <cstdint>
#include <optional>

#include "app/controls.h"
#include "text/chars.h"

namespace lumora::app {

enum class Icon { kNone, kExclamation, kCritical };
enum class Buttons { kOk, kYesNo, kYesNoCancel };
// The values are those a message box has always returned to the program.
enum class Answer { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };

struct OpenFileRequest {
    Text title;
    Text filterDescription;  // "HTML files (*.htm, *.html, *.shtml)"
    Text patterns;           // "*.htm;*.html;*.shtml"
};

class Platform {
  public:
    virtual ~Platform() = default;

    // A modal message box. An empty title means the program's own name.
    virtual Answer ShowMessage(const Text& prompt, const Text& title, Icon icon,
                               Buttons buttons) = 0;

    // The open-file dialog: the chosen path, "" when cancelled, nullopt when the dialog
    // could not be shown.
    virtual std::optional<Text> ChooseFileToOpen(const OpenFileRequest& request) = 0;

    // Clears the clipboard, then puts the text on it unless it is empty.
    virtual void SetClipboardText(const Text& text) = 0;

    // Opens a web address in the default browser; false when that failed.
    virtual bool OpenWebAddress(const Text& address) = 0;

    virtual void SetFocus(Control control) = 0;
    virtual void Repaint(Control control) = 0;

    // Lets the user act during a pass (Stop, option changes, painting). Called after every
    // word, so an implementation decides how often it really looks at its input.
    virtual void HandlePendingInput() = 0;

    // Share of the page handed to the scanner so far, during a pass.
    virtual void ShowPassProgress(std::int64_t /*done*/, std::int64_t /*total*/) {}

    // Shows the help window, or restores it when it is minimised.
    virtual void ShowHelpWindow() {}

    // The program ends (after the session has saved its state).
    virtual void EndProgram() {}
};

// Answers every question with Yes and does nothing else: for unattended runs of the
// session (benchmarks, fuzzing).
class UnattendedPlatform : public Platform {
  public:
    Answer ShowMessage(const Text&, const Text&, Icon, Buttons) override { return Answer::kYes; }
    std::optional<Text> ChooseFileToOpen(const OpenFileRequest&) override { return std::nullopt; }
    void SetClipboardText(const Text&) override {}
    bool OpenWebAddress(const Text&) override { return false; }
    void SetFocus(Control) override {}
    void Repaint(Control) override {}
    void HandlePendingInput() override {}
};

}  // namespace lumora::app
