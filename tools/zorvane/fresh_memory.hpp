// Fresh memory mapped by a second thread while the first fills it.
//
// A million bars fill some fifty megabytes the process has never used, and
// the first use of a page costs more than filling it (in a virtual machine,
// a trip through the host: over a millisecond a megabyte), whoever makes it.
// Mapping the pages in one call (large pages, populated) pays that cost
// without touching the contents, so a second thread can pay it: the reading
// thread hands over the blocks it reserves and how far it has filled them,
// and the second thread keeps a few megabytes ahead of the filling, and in
// between maps blocks nothing touches until reading ends (the outputs).
// Where the system cannot map ahead, none of this runs.
#pragma once

#include <atomic>
#include <cstddef>

namespace zorvane_cli {

class FreshMemoryAhead {
public:
    static constexpr std::size_t kMostBlocks = 4;
    struct Block {
        const void* data = nullptr;
        std::size_t bytes = 0;
    };

    // Whether this system maps ahead (Linux); elsewhere a second thread would only wait.
    static bool available();

    // On the reading thread, once: the blocks just reserved (each filled
    // from its start, in step) and the bars they are expected to hold.
    void reserved(const Block* blocks, std::size_t count, std::size_t expectedBars);
    // On the reading thread: how many bytes of block `i` are filled.
    void filled(std::size_t i, std::size_t bytes) { filled_[i].store(bytes, std::memory_order_relaxed); }
    // On the reading thread when reading ends, by an error too.
    void readingEnded() { ended_.store(true, std::memory_order_release); }

    // On the second thread: waits for the reserved blocks; returns the bars
    // expected, or 0 when reading ended without reserving any.
    std::size_t waitForReserved();
    // On the second thread, after that: maps the reserved blocks ahead of
    // their filling until reading ends, and `later` (blocks filled after
    // reading) whenever the filling does not need it.
    void keepAhead(const Block* later, std::size_t count);

private:
    Block blocks_[kMostBlocks];
    std::size_t count_ = 0, expectedBars_ = 0;
    std::atomic<bool> reserved_{false}, ended_{false};
    std::atomic<std::size_t> filled_[kMostBlocks] = {};
};

// Ends the reading (for FreshMemoryAhead) when it leaves scope, by an error too.
class ReadingEnds {
public:
    explicit ReadingEnds(FreshMemoryAhead* ahead) : ahead_(ahead) {}
    ~ReadingEnds() {
        if (ahead_) ahead_->readingEnded();
    }
    ReadingEnds(const ReadingEnds&) = delete;
    ReadingEnds& operator=(const ReadingEnds&) = delete;

private:
    FreshMemoryAhead* ahead_;
};

}  // namespace zorvane_cli
