// Loading and saving the options between runs.
#include "app/session.h"
#include "app/state_file.h"

namespace lumora::app {

void Session::UseDefaultStateFile() {
    stateFilePath_ =
        FolderPath("lmr.usr", GetProgramText(text::tx::kDataFolderName), platform_.Files());
}

bool Session::LoadState() {
    // A missing or unreadable file changes nothing here; the caller then restores the
    // defaults. An unreadable one is told once the window is up, and is left as it is
    // unless the user changes a setting.
    LoadedState loaded = LoadStateFile(stateFilePath_, platform_.Files());
    stateProblem_ = std::move(loaded.error);
    if (!loaded.options)
        return false;
    RestoreOptions(*loaded.options);
    return true;
}

void Session::SaveState() {
    if (stateProblem_ && stateProblem_->path == stateFilePath_ && options_ == optionsAtStart_)
        return;
    // Replaced in one step and made durable, so a failure never leaves half a file.
    if (const auto error = SaveStateFile(stateFilePath_, options_, platform_.Files()))
        Message(error->Message(), error->Title(), Icon::kExclamation);
}

}  // namespace lumora::app
