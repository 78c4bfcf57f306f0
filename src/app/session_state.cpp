// Loading and saving the options between runs.
#include <cerrno>
#include <cstdio>
#include <cstring>
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
    // Written beside the old file and renamed over it, so a failure never leaves half a file.
    const Text temp = stateFilePath_ + ".new";
    const Text content = FormatState(options_);
    Text error;
    if (std::FILE* f = std::fopen(temp.c_str(), "wb")) {
        const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
        const int savedErrno = errno;
        if (std::fclose(f) != 0 || !written) {
            error = std::strerror(written ? errno : savedErrno);
        } else if (std::rename(temp.c_str(), stateFilePath_.c_str()) != 0) {
            error = std::strerror(errno);
        }
        if (!error.empty())
            std::remove(temp.c_str());
    } else {
        error = std::strerror(errno);
    }
    if (!error.empty()) {
        Message("Error when attempting to save the state: " + error, "Save state",
                Icon::kExclamation);
    }
}

}  // namespace lumora::app
