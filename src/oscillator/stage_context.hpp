// What the stages of one call (or one streaming object) share besides the
// series: the kernels for this processor, the correlation angles, and in a
// test build the count of bars that needed a library call after all.
#pragma once

#include <cstdint>

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

struct StageContext {
    explicit StageContext(const Kernels& chosen) : kernels(chosen) {}

    const Kernels& kernels;
    AngleTable angles;
    CompensationTable compensation;
#if defined(ZORVANE_COUNT_FALLBACKS)
    FallbackCounts fallbacks;
    void count(std::int64_t FallbackCounts::*which) { ++(fallbacks.*which); }
#else
    void count(std::int64_t FallbackCounts::*) {}
#endif
};

}  // namespace zorvane::detail
