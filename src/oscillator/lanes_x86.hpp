// What x86 does its own way with lanes: two in SSE2 (every x86 build), four
// in AVX2 and eight in AVX-512, whose kernels are compiled separately and
// chosen at run time. Included by lanes.hpp only.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "lane_types.hpp"

namespace zorvane::detail {
namespace {

// Bit k set where lane k of the mask is.
template <class V>
inline std::uint32_t laneBits(MaskOf<V> mask) {
#if defined(__AVX512DQ__)
    if constexpr (sizeof(V) == 64) return _mm512_movepi64_mask(__m512i(mask));
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return static_cast<std::uint32_t>(_mm256_movemask_pd(__m256d(mask)));
#endif
    if constexpr (sizeof(V) == 16) return static_cast<std::uint32_t>(_mm_movemask_pd(__m128d(mask)));
    std::uint32_t bits = 0;
    for (int k = 0; k < kLanes<V>; ++k) bits |= (mask[k] ? 1u : 0u) << k;
    return bits;
}

// The same for a mask of 32-bit lanes.
template <class V>
inline std::uint32_t unitLaneBits(UnitWordsOf<V> mask) {
#if defined(__AVX512DQ__)
    if constexpr (sizeof(V) == 64) return _mm512_movepi32_mask(__m512i(mask));
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return static_cast<std::uint32_t>(_mm256_movemask_ps(__m256(mask)));
#endif
    if constexpr (sizeof(V) == 16) return static_cast<std::uint32_t>(_mm_movemask_ps(__m128(mask)));
    std::uint32_t bits = 0;
    for (int k = 0; k < static_cast<int>(sizeof(V) / 4); ++k) bits |= (mask[k] ? 1u : 0u) << k;
    return bits;
}

// A mask whose origin the compiler no longer sees, for a bitwise select:
// without a blend instruction GCC turns a recognised select into lane by
// lane scalar moves.
template <class V>
inline MaskOf<V> opaqueMask(MaskOf<V> mask) {
#if !defined(__SSE4_1__)
    if constexpr (sizeof(V) == 16) __asm__("" : "+x"(mask));
#endif
    return mask;
}

// a * b + c, fused where the kernel's instruction set has it: allowed inside
// an approximation, whose bound covers either way of evaluating.
template <class V>
inline V multiplyAdd(V a, V b, V c) {
#if defined(__FMA__)
    if constexpr (sizeof(V) == 16) return reinterpret_cast<V>(_mm_fmadd_pd(__m128d(a), __m128d(b), __m128d(c)));
    if constexpr (sizeof(V) == 32) return reinterpret_cast<V>(_mm256_fmadd_pd(__m256d(a), __m256d(b), __m256d(c)));
#endif
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64) return reinterpret_cast<V>(_mm512_fmadd_pd(__m512d(a), __m512d(b), __m512d(c)));
#endif
    return a * b + c;
}

}  // namespace
}  // namespace zorvane::detail
