// The services of the desktop that the session needs: message boxes, the open-file
// dialog, the clipboard, web addresses, focus and repainting, and the files. The window
// implements them with Qt, the command-line tool on the console, and the tests with a
// scripted fake.
#pragma once

#include <cstdint>
#include <optional>

#include "app/controls.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::app {

enum class Icon { kNone, kExclamation, kCritical };
enum class Buttons { kOk, kYesNo, kYesNoCancel };
// The button with which the user closed a message box.
enum class Answer { kOk, kCancel, kYes, kNo };

struct OpenFileRequest {
    Text title;
    Text filterDescription;  // "HTML files (*.htm, *.html, *.shtml)"
    Text patterns;           // "*.htm;*.html;*.shtml"
    Text initialFolder;      // where the dialog starts; empty: wherever it likes
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

    // Every file the session reads or writes: the page, the data files, the settings.
    virtual files::FileSystem& Files() = 0;

    virtual void SetFocus(Control control) = 0;
    virtual void Repaint(Control control) = 0;

    // Share of the page read so far, during a pass.
    virtual void ShowPassProgress(std::int64_t /*done*/, std::int64_t /*total*/) {}

    // Shows the help window, or restores it when it is minimised.
    virtual void ShowHelpWindow() {}

    // The program ends (after the session has saved its state).
    virtual void EndProgram() {}
};

}  // namespace lumora::app
