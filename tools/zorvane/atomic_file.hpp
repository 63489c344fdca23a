// An output file that appears complete or not at all: written to a
// temporary file beside the target, renamed over it on commit, removed if
// the run ends without committing.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace zorvane_cli {

class AtomicFile {
public:
    explicit AtomicFile(std::string path);  // throws std::runtime_error
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return stream_; }
    // A hint: about how many bytes will be written (setAsideFileSpace).
    void expect(std::uint64_t bytes);
    void commit();  // throws std::runtime_error

private:
    std::string path_, temporary_;
    std::ofstream stream_;
    bool setAside_ = false, committed_ = false;
};

}  // namespace zorvane_cli
