#include <filesystem>

#include "engine/engine.h"
#include "files/file_checks.h"

namespace lumora::engine {

Text ExecutableFolder(FileSystem& fs) {
    Text exe;
    if (!fs.RealPath("/proc/self/exe", exe).empty())
        return {};
    return std::filesystem::path(exe).parent_path().string();
}

Text FindDataDir(const Text& executableFolder, FileSystem& fs) {
    if (!executableFolder.empty()) {
        // The build tree keeps the data beside the program; an installed tree keeps it in
        // <prefix>/share/lumora beside <prefix>/bin, wherever the prefix was moved.
        for (const Text& folder : {executableFolder, executableFolder + "/../share/lumora"}) {
            if (files::FileExists(folder + "/lmr_text.dat", fs))
                return folder;
        }
    }
    return LUMORA_INSTALLED_DATA_DIR;
}

}  // namespace lumora::engine
