// The platform layer on Linux and other POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
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

void setAsideFileSpace([[maybe_unused]] const std::string& path, [[maybe_unused]] std::uint64_t bytes) {
#if defined(__linux__)
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
    close(fd);
#endif
}

void releaseFileSpacePastEnd([[maybe_unused]] const std::string& path) {
#if defined(__linux__)
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    // The same size, less room; a failure leaves only the room.
    struct stat status;
    [[maybe_unused]] const bool trimmed = fstat(fd, &status) == 0 && ftruncate(fd, status.st_size) == 0;
    close(fd);
#endif
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
