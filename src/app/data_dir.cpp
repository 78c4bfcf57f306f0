#include "app/data_dir.h"

#include <filesystem>
#include <system_error>

#include "files/file_checks.h"

namespace lumora::app {

Text ExecutableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return exe.parent_path().string();
}

Text FindDataDir(const Text& executableFolder) {
    if (!executableFolder.empty() && files::FileExists(executableFolder + "/lmr_text.dat")) {
        return executableFolder;
    }
    return LUMORA_INSTALLED_DATA_DIR;
}

}  // namespace lumora::app
