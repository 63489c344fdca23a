// What the stages of one call (or one streaming object) share besides the
// series: the kernels for this processor, the correlation angles, and in a
// test build the count of bars that needed a library call after all.
#pragma once

#include <cstdint>
#include <cstring>

#include "angle_table.hpp"
#include "kernels.hpp"

namespace zorvane::detail {

// Where the fast path handed a bar back to the library.
struct FallbackCounts {
    std::int64_t phaseAngles = 0;   // angles recomputed with the library's arctangent
    std::int64_t wrapTests = 0;     // wrap tests decided on library angles
    std::int64_t searches = 0;      // raw period searches too close to 360 for the exact sums
    std::int64_t phaseOutputs = 0;  // stored sines computed through the library
    FallbackCounts& operator+=(const FallbackCounts& o) {
        phaseAngles += o.phaseAngles, wrapTests += o.wrapTests, searches += o.searches;
        phaseOutputs += o.phaseOutputs;
        return *this;
    }
};

// The words a streaming push changes in bars before its own (fallbacks make
// earlier phase values exact), with their old values, so that revising the
// bar can put them back. One push makes at most 42 angles and 41 changes
// exact, two words each. Offsets count bytes from the object's history.
struct UndoJournal {
    static constexpr int kCapacity = 2 * 42 + 2 * 41 + 8;
    int entries = 0;
    std::int64_t offsets[kCapacity];
    std::uint64_t oldValues[kCapacity];
};

struct StageContext {
    explicit StageContext(const Kernels& chosen) : kernels(chosen) {}

    const Kernels& kernels;
    AngleTable angles;
    CompensationTable compensation;
    // Where a streaming object keeps its journal and history; null in a batch call.
    UndoJournal* journal = nullptr;
    unsigned char* journalBase = nullptr;

    // Notes a word's value before a fallback changes it.
    template <class Word>
    void remember(Word& word) {
        static_assert(sizeof(Word) == 8, "journal entries are 64-bit words");
        if (!journal || journal->entries == UndoJournal::kCapacity) return;
        const int e = journal->entries++;
        journal->offsets[e] = reinterpret_cast<unsigned char*>(&word) - journalBase;
        std::memcpy(&journal->oldValues[e], &word, 8);
    }
#if defined(ZORVANE_COUNT_FALLBACKS)
    FallbackCounts fallbacks;
    void count(std::int64_t FallbackCounts::*which) { ++(fallbacks.*which); }
#else
    void count(std::int64_t FallbackCounts::*) {}
#endif
};

}  // namespace zorvane::detail
