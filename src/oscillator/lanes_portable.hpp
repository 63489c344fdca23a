// Lanes on a target without kernels of its own: the compiler lowers the
// vector types to whatever the target has (plain doubles at worst), and
// nothing is fused. Included by lanes.hpp only.
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

template <class V>
inline MaskOf<V> opaqueMask(MaskOf<V> mask) {
    return mask;
}

template <class V>
inline V multiplyAdd(V a, V b, V c) {
    return a * b + c;
}

}  // namespace
}  // namespace zorvane::detail
