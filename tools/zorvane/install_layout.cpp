#include "install_layout.hpp"

#include <cstdlib>
#include <fstream>

#include "module_loader.hpp"

namespace zorvane_cli {

namespace {

// Set by the build from the install layout: the module's folder and the
// data folder, each relative to the program's folder.
constexpr const char* kModuleFolderFromProgram = ZORVANE_MODULE_FOLDER_FROM_PROGRAM;
constexpr const char* kDataFolderFromProgram = ZORVANE_DATA_FOLDER_FROM_PROGRAM;
constexpr const char* kModuleFile = "Zorvane Oscillator.so";

bool exists(const std::string& path) { return static_cast<bool>(std::ifstream(path)); }

}  // namespace

std::string modulePath(const std::string& option) {
    if (!option.empty()) return option;
    if (const char* named = std::getenv(kModuleVariable); named && *named) return named;
    const std::string folder = executableFolder();
    const std::string beside = folder + kModuleFile;
    if (exists(beside)) return beside;
    return folder + kModuleFolderFromProgram + "/" + kModuleFile;
}

std::string sampleBarsPath() {
    return executableFolder() + kDataFolderFromProgram + "/sample_bars.csv";
}

}  // namespace zorvane_cli
