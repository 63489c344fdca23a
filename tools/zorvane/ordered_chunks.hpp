// Chunks of text made by either of two threads and written in their order.
//
// Each thread takes the next chunk not yet taken, makes its text in one of a
// few slots, and then writes every chunk that is next in order and made,
// unless the other thread is writing (which then writes it). Chunks are
// taken only once allowed (their rows computed) and while a slot is free, so
// the text in flight stays a few chunks. A thread that starts late, or gets
// no processor for a while, simply makes fewer chunks.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "thread_wait.hpp"

namespace zorvane_cli {

template <class Text>
class OrderedChunks {
public:
    static constexpr std::size_t kSlots = 4;

    OrderedChunks(std::size_t chunks, std::function<void(std::size_t chunk, Text& text)> make,
                  std::function<void(const Text& text)> write)
        : chunks_(chunks), make_(std::move(make)), write_(std::move(write)) {}

    // Chunks [0, chunks) may be made from now on (release: what was computed
    // for them before is seen by the thread that makes them).
    void allow(std::size_t chunks) { allowed_.store(chunks < chunks_ ? chunks : chunks_, std::memory_order_release); }
    // No more chunks are made or written (an error on either thread).
    void abandon() { abandoned_.store(true); }
    bool abandoned() const { return abandoned_.load(); }

    // Each thread: makes and writes chunks until every chunk is taken; what
    // it leaves made but unwritten, the thread writing at the time writes.
    void work() {
        try {
            for (std::size_t chunk; (chunk = next_.fetch_add(1)) < chunks_;) {
                for (unsigned round = 0;
                     allowed_.load(std::memory_order_acquire) <= chunk || written_.load() + kSlots <= chunk; ++round) {
                    if (abandoned()) return;
                    writeMade();  // the slot may wait for a chunk nobody else is writing
                    waitAWhile(round);
                }
                if (abandoned()) return;
                make_(chunk, slots_[chunk % kSlots]);
                made_[chunk % kSlots].store(chunk + 1);
                writeMade();
            }
        } catch (...) {
            abandon();
            throw;
        }
    }

private:
    // Writes the made chunks next in order, unless the other thread is;
    // then that thread writes them (it looks again after it stops). The
    // orderings are sequentially consistent: a chunk made while the other
    // thread writes is seen by it after it lets go of writing, or this
    // thread finds writing free.
    void writeMade() {
        for (;;) {
            if (writing_.exchange(true)) return;
            std::size_t next = written_.load();
            while (next < chunks_ && made_[next % kSlots].load() == next + 1 && !abandoned()) {
                write_(slots_[next % kSlots]);
                written_.store(++next);
            }
            writing_.store(false);
            if (next >= chunks_ || made_[next % kSlots].load() != next + 1 || abandoned()) return;
        }
    }

    const std::size_t chunks_;
    const std::function<void(std::size_t, Text&)> make_;
    const std::function<void(const Text&)> write_;
    Text slots_[kSlots];
    std::atomic<std::size_t> next_{0}, allowed_{0}, written_{0};
    std::atomic<std::size_t> made_[kSlots] = {};
    std::atomic<bool> writing_{false}, abandoned_{false};
};

}  // namespace zorvane_cli
