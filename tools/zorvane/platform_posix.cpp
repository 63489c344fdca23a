// The platform layer on Linux and other POSIX systems.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "platform.hpp"

namespace zorvane_cli {

const char* const kPathSeparators = "/";

void prepareStandardStreams() {}

Arguments::Arguments(int argc, char** argv) : texts_(argv, argv + argc) {
    for (auto& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    const std::string exe(path, static_cast<std::size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

bool standardErrorIsConsole() { return isatty(STDERR_FILENO); }

void* loadLibrary(const std::string& path, std::string& reason) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    reason = library ? "" : dlerror();
    return library;
}

void* findSymbol(void* library, const char* name, std::string& reason) {
    dlerror();
    void* symbol = dlsym(library, name);
    const char* error = symbol ? nullptr : dlerror();
    reason = error ? error : symbol ? "" : "null symbol";
    return symbol;
}

void freeLibrary(void* library) { dlclose(library); }

std::string createFileBeside(const std::string& path) {
    std::string name = path + ".tmp-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return name;
}

void replaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw std::runtime_error("cannot write " + to + ": " + std::strerror(errno));
}

bool runOnTwoThreads(const std::function<void()>& here, const std::function<void()>& there) {
    std::thread other;
    try {
        other = std::thread(there);
    } catch (const std::system_error&) {
        return false;
    }
    here();
    other.join();
    return true;
}

}  // namespace zorvane_cli
