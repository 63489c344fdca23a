#include "module_loader.hpp"

namespace zorvane_cli {

LoadedModule::LoadedModule(const std::string& path) : path_(path) {
    std::string reason;
    handle_ = loadLibrary(path, reason);
    if (!handle_) throw ModuleError("cannot load module " + path + ": " + reason);
    entry_ = reinterpret_cast<OscillatorEntry>(findSymbol(handle_, "ZorvaneOscillator", reason));
    if (!entry_) {
        freeLibrary(handle_);
        throw ModuleError("module " + path + " has no ZorvaneOscillator: " + reason);
    }
}

LoadedModule::~LoadedModule() {
    if (handle_) freeLibrary(handle_);
}

}  // namespace zorvane_cli
