// What aarch64 does its own way with lanes: two in NEON registers, which
// every aarch64 processor has, so its one set of kernels needs no run-time
// choice. Included by lanes.hpp only.
#pragma once

#include <arm_neon.h>

#include "lanes_generic.hpp"

namespace zorvane::detail {
namespace {

// a * b + c, fused (FMLA, part of every aarch64): allowed inside an
// approximation, whose bound covers either way of evaluating. The
// exactness-critical arithmetic elsewhere is never contracted into fused
// operations (-ffp-contract=off).
template <class V>
inline V multiplyAdd(V a, V b, V c) {
    if constexpr (sizeof(V) == 16)
        return reinterpret_cast<V>(vfmaq_f64(float64x2_t(c), float64x2_t(a), float64x2_t(b)));
    return a * b + c;
}

}  // namespace
}  // namespace zorvane::detail
