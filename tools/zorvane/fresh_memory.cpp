#include "fresh_memory.hpp"

#include <algorithm>

#include "large_pages.hpp"
#include "thread_wait.hpp"

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
#define ZORVANE_MAPS_AHEAD 1
#endif

namespace zorvane_cli {
namespace {

// How far ahead of the filling a block is kept mapped (a 1 MiB block of
// text fills a few hundred kilobytes of any column; what is mapped ahead
// counts as used), and how much is mapped in one call, so that the filling
// is looked at again soon.
constexpr std::size_t kAhead = std::size_t{2} << 20, kStep = std::size_t{2} << 20;

// Maps the next step of `block` below `until`; false when there is none.
bool mapStep(const FreshMemoryAhead::Block& block, std::size_t& mapped, std::size_t until) {
    until = std::min(until, block.bytes);
    if (mapped >= until) return false;
    const std::size_t end = std::min(mapped + kStep, until);
    prefault(static_cast<const char*>(block.data) + mapped, end - mapped);
    mapped = end;
    return true;
}

}  // namespace

bool FreshMemoryAhead::available() {
#if ZORVANE_MAPS_AHEAD
    return true;
#else
    return false;
#endif
}

void FreshMemoryAhead::reserved(const Block* blocks, std::size_t count, std::size_t expectedBars) {
    if (reserved_.load(std::memory_order_relaxed)) return;
    count_ = std::min(count, kMostBlocks);
    std::copy(blocks, blocks + count_, blocks_);
    expectedBars_ = expectedBars;
    reserved_.store(true, std::memory_order_release);
}

std::size_t FreshMemoryAhead::waitForReserved() {
    for (unsigned round = 0; !reserved_.load(std::memory_order_acquire); ++round) {
        if (ended_.load(std::memory_order_acquire)) return reserved_.load(std::memory_order_acquire) ? expectedBars_ : 0;
        waitAWhile(round);
    }
    return expectedBars_;
}

void FreshMemoryAhead::keepAhead(const Block* later, std::size_t count) {
    std::size_t mapped[kMostBlocks] = {};
    std::size_t laterBlock = 0, laterMapped = 0;
    unsigned idleRounds = 0;
    for (bool reading = true; reading || laterBlock < count;) {
        reading = !ended_.load(std::memory_order_acquire);
        bool busy = false;
        for (std::size_t i = 0; reading && i < count_; ++i) {
            const std::size_t filled = filled_[i].load(std::memory_order_relaxed);
            mapped[i] = std::max(mapped[i], filled);  // behind the filling, the pages are mapped
            busy = mapStep(blocks_[i], mapped[i], filled + kAhead) || busy;
        }
        if (busy) {
            idleRounds = 0;
            continue;
        }
        if (laterBlock < count) {
            if (!mapStep(later[laterBlock], laterMapped, later[laterBlock].bytes)) ++laterBlock, laterMapped = 0;
            continue;
        }
        if (reading) waitAWhile(idleRounds++);
    }
}

}  // namespace zorvane_cli
