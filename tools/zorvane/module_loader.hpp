// Loads the indicator module the way a charting host does: at run time, by
// its file name, resolving the one exported function.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zorvane_cli {

using OscillatorEntry = void (*)(const float*, const float*, std::int32_t, std::int32_t, float*);

// A module that could not be loaded or lacks the entry; the message names
// the path and the loader's reason.
class ModuleError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    OscillatorEntry entry() const { return entry_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    OscillatorEntry entry_ = nullptr;
};

// The folder this program's executable lives in, with a trailing slash.
std::string executableFolder();

}  // namespace zorvane_cli
