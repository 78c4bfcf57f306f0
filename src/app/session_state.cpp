// Loading and saving the options between runs.
#include "app/session.h"
#include "app/state_file.h"

namespace lumora::app {

void Session::UseDefaultStateFile() {
    stateFilePath_ = FolderPath("lmr.usr", GetProgramText(text::tx::kDataFolderName));
}

bool Session::LoadState() {
    // A missing or too short file changes nothing here; the caller then restores the
    // defaults.
    const std::optional<Options> options = LoadStateFile(stateFilePath_);
    if (!options)
        return false;
    RestoreOptions(*options);
    return true;
}

void Session::SaveState() {
    // Replaced in one step and made durable, so a failure never leaves half a file.
    if (const auto error = SaveStateFile(stateFilePath_, options_))
        Message(error->Message(), error->Title(), Icon::kExclamation);
}

}  // namespace lumora::app
