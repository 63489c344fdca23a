// A mask's lane bits and an opaque mask written over the vector extensions
// alone, for the targets whose compilers need no more (lanes_neon.hpp,
// lanes_portable.hpp).
#pragma once

#include <cstdint>

#include "lane_types.hpp"

namespace zorvane::detail {
namespace {

// Bit k set where lane k of the mask is.
template <class V>
inline std::uint32_t laneBits(MaskOf<V> mask) {
    std::uint32_t bits = 0;
    for (int k = 0; k < kLanes<V>; ++k) bits |= static_cast<std::uint32_t>(mask[k] & 1) << k;
    return bits;
}

// The same for a mask of 32-bit lanes.
template <class V>
inline std::uint32_t unitLaneBits(UnitWordsOf<V> mask) {
    std::uint32_t bits = 0;
    for (int k = 0; k < static_cast<int>(sizeof(V) / 4); ++k) bits |= static_cast<std::uint32_t>(mask[k] & 1) << k;
    return bits;
}

// These targets select bitwise (NEON's BSL and its kin) however the
// compiler sees the mask.
template <class V>
inline MaskOf<V> opaqueMask(MaskOf<V> mask) {
    return mask;
}

}  // namespace
}  // namespace zorvane::detail
