// The whole computation of one call over caller-owned arrays, behind the
// exported entry. Shared with the C++ library and the tests, which supply
// their own source of working memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "working_series.hpp"

namespace zorvane::detail {

struct SeriesAllocator {
    void* (*obtain)(std::size_t bytes, void* context);
    void (*release)(void* block, void* context);
    void* context;
};

SeriesAllocator heapAllocator();

struct Kernels;
struct FallbackCounts;

// The smoothed period's range over the bars where a cycle was found; 0 and
// 0 when none was.
struct PeriodExtent {
    int lowest = 0, highest = 0;
};

// Writes the mode's values for `count` bars into output. Returns false, with
// output untouched, when the working series cannot be obtained. The tests
// and benchmarks may name the kernels (by default the widest the processor
// runs) and, in a build that counts them, collect the fallbacks.
bool runOscillator(const float* priceA, const float* priceB, std::int32_t mode, Bar count,
                   float* output, const SeriesAllocator& allocator, const Kernels* kernels = nullptr,
                   FallbackCounts* fallbacks = nullptr);

// Told, on the computing thread, how many bars from the first have their
// outputs final: after each window of bars, and at the end.
struct BarsDone {
    void (*tell)(Bar bars, void* context);
    void* context;
};

// Every mode whose output is not null (outputs[m - 1] for mode m) from one
// cycle measurement: each output gets the bits runOscillator gives for its
// mode. With `extent`, also the measured period's range; with `done`, the
// bars done as they are. Returns false, with every output untouched, when
// the working series cannot be obtained.
bool runModes(const float* priceA, const float* priceB, Bar count, float* const (&outputs)[4],
              const SeriesAllocator& allocator, const Kernels* kernels = nullptr,
              FallbackCounts* fallbacks = nullptr, PeriodExtent* extent = nullptr, const BarsDone* done = nullptr);

}  // namespace zorvane::detail
