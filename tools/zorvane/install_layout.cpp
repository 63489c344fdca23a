#include "install_layout.hpp"

#include <cstdlib>

#include "platform.hpp"

namespace zorvane_cli {

namespace {

// Set by the build from the install layout: the data folder relative to the
// program's folder.
constexpr const char* kDataFolderFromProgram = ZORVANE_DATA_FOLDER_FROM_PROGRAM;

// A file in a folder given relative to the program's ("" for the program's own).
std::string fromProgram(const std::string& folder, const std::string& file) {
    return executableFolder() + (folder.empty() ? "" : folder + "/") + file;
}

}  // namespace

std::string chosenModule(const std::string& option) {
    if (!option.empty()) return option;
    const char* named = std::getenv(kModuleVariable);
    return named ? named : "";
}

std::string sampleBarsPath() { return fromProgram(kDataFolderFromProgram, "sample_bars.csv"); }

}  // namespace zorvane_cli
