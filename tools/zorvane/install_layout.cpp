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

bool exists(const std::string& path) { return static_cast<bool>(std::ifstream(nativePath(path))); }

// A file in a folder given relative to the program's ("" for the program's own).
std::string fromProgram(const std::string& folder, const std::string& file) {
    return executableFolder() + (folder.empty() ? "" : folder + "/") + file;
}

}  // namespace

std::string modulePath(const std::string& option) {
    if (!option.empty()) return option;
    if (const char* named = std::getenv(kModuleVariable); named && *named) return named;
    const std::string beside = fromProgram("", kModuleFileName);
    if (exists(beside)) return beside;
    return fromProgram(kModuleFolderFromProgram, kModuleFileName);
}

std::string sampleBarsPath() { return fromProgram(kDataFolderFromProgram, "sample_bars.csv"); }

}  // namespace zorvane_cli
