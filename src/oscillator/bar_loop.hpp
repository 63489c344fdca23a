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

// Writes the mode's values for `count` bars into output. Returns false, with
// output untouched, when the working series cannot be obtained. The tests
// and benchmarks may name the kernels (by default the widest the processor
// runs) and, in a build that counts them, collect the fallbacks.
bool runOscillator(const float* priceA, const float* priceB, std::int32_t mode, Bar count,
                   float* output, const SeriesAllocator& allocator, const Kernels* kernels = nullptr,
                   FallbackCounts* fallbacks = nullptr);

}  // namespace zorvane::detail
