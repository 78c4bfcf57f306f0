// Loading and saving the options between runs.
#include <fstream>
#include <iterator>

#include "app/session.h"
#include "app/state_file.h"

namespace lumora::app {

void Session::UseDefaultStateFile() {
    stateFilePath_ = FolderPath("lmr.usr", GetProgramText(text::tx::kDataFolderName));
}

bool Session::LoadState() {
    std::ifstream in(stateFilePath_, std::ios::binary);
    if (!in)
        return false;
    const Text content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    // A damaged file changes nothing here; the caller then restores the defaults.
    const std::optional<Options> options = ParseState(content);
    if (!options)
        return false;
    RestoreOptions(*options);
    return true;
}

void Session::SaveState() {
    // Replaced in one step and made durable, so a failure never leaves half a file.
    const Text error = SaveStateFile(stateFilePath_, options_);
    if (!error.empty()) {
        Message("Error when attempting to save the state: " + error, "Save state",
                Icon::kExclamation);
    }
}

}  // namespace lumora::app
