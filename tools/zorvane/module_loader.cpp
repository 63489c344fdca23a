#include "module_loader.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace zorvane_cli {

LoadedModule::LoadedModule(const std::string& path) : path_(path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw ModuleError("cannot load module " + path + ": " + dlerror());
    entry_ = reinterpret_cast<OscillatorEntry>(dlsym(handle_, "ZorvaneOscillator"));
    if (!entry_) {
        const std::string reason = dlerror();
        dlclose(handle_);
        throw ModuleError("module " + path + " has no ZorvaneOscillator: " + reason);
    }
}

LoadedModule::~LoadedModule() {
    if (handle_) dlclose(handle_);
}

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    const std::string exe(path, static_cast<std::size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace zorvane_cli
