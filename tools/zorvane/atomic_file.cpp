#include "atomic_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace zorvane_cli {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    std::vector<char> name(path_.begin(), path_.end());
    for (char c : std::string(".tmp-XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    temporary_ = name.data();
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        std::remove(temporary_.c_str());
        throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
    }
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        stream_.close();
        std::remove(temporary_.c_str());
    }
}

void AtomicFile::commit() {
    stream_.close();
    if (stream_.fail()) throw std::runtime_error("cannot write " + path_ + ": write failed");
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
    committed_ = true;
}

}  // namespace zorvane_cli
