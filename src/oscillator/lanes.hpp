// Helpers over the lane types (lane_types.hpp), for running the same
// per-bar formula on neighbouring bars at once. Each lane is plain IEEE
// double arithmetic, so a lane gives the bits the scalar formula gives. What
// an instruction set does its own way (a mask's lane bits, a fused
// multiply-add inside the approximations) lives in lanes_x86.hpp,
// lanes_neon.hpp or, on any other target, lanes_portable.hpp.
//
// The helpers have internal linkage: the kernels of every instruction set
// instantiate them, and one translation unit's AVX copy must never stand in
// for another's SSE2 one.
#pragma once

#include <cstdint>
#include <cstring>

#include "lane_types.hpp"
#if defined(ZORVANE_PORTABLE_KERNELS)
#include "lanes_portable.hpp"
#elif defined(__x86_64__) || defined(__i386__)
#include "lanes_x86.hpp"
#elif defined(__aarch64__)
#include "lanes_neon.hpp"
#else
#include "lanes_portable.hpp"
#endif

namespace zorvane::detail {
namespace {

template <class V>
inline V loadLanes(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
inline void storeLanes(double* p, V v) {
    std::memcpy(p, &v, sizeof v);
}
// The first `count` lanes from memory, the rest `fill`: for the last bars of
// a range, without reading past its end.
template <class V>
inline V loadFirstLanes(const double* p, int count, double fill) {
    V v = V{} + fill;
    for (int k = 0; k < count; ++k) v[k] = p[k];
    return v;
}

template <class V>
inline bool anyLane(MaskOf<V> mask) {
    return laneBits<V>(mask) != 0;
}

inline Pair loadPair(const double* p) { return loadLanes<Pair>(p); }
inline Pair pairOf(double a, double b) { return Pair{a, b}; }
inline Pair broadcast(double a) { return Pair{a, a}; }

template <class V>
inline V asDoubles(MaskOf<V> bits) {
    V v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
template <class V>
inline MaskOf<V> asBits(V v) {
    MaskOf<V> bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// SSE2 has no 64-bit integer comparisons (the compiler would emulate them
// lane by lane), so masks are made by comparing doubles.

// All ones in the first `count` lanes.
template <class V>
inline MaskOf<V> firstLanes(int count) {
    V index;
    for (int k = 0; k < kLanes<V>; ++k) index[k] = k;
    return index < static_cast<double>(count);
}

// All ones in the lanes whose word has bit `bit` set: the bit is moved to
// the sign of 1.0, and the sign compared.
template <class V>
inline MaskOf<V> bitIsSet(MaskOf<V> words, int bit) {
    const MaskOf<V> signBit = MaskOf<V>{} + INT64_MIN;
    const MaskOf<V> one = MaskOf<V>{} + 0x3FF0000000000000;
    return asDoubles<V>(((words << (63 - bit)) & signBit) | one) < 0.0;
}

// Lanes of `a` where mask is set, of `b` elsewhere.
template <class V>
inline V select(MaskOf<V> mask, V a, V b) {
    mask = opaqueMask<V>(mask);
    return asDoubles<V>((mask & asBits(a)) | (~mask & asBits(b)));
}

// Keeps lanes where mask is set and makes the others +0, which leaves a
// running sum that started at +0 unchanged.
template <class V>
inline V keepWhere(MaskOf<V> mask, V v) {
    return asDoubles<V>(mask & asBits(v));
}

template <class V>
inline V absolute(V v) {
    return asDoubles<V>(asBits(v) & (MaskOf<V>{} + INT64_MAX));
}
// The magnitude of `magnitude` with the sign of `sign`, per lane.
template <class V>
inline V withSignOf(V magnitude, V sign) {
    const MaskOf<V> signBit = MaskOf<V>{} + INT64_MIN;
    return asDoubles<V>((asBits(magnitude) & ~signBit) | (asBits(sign) & signBit));
}

// The test builds that show what the error bounds are worth move every fast
// result by ZORVANE_APPROXIMATION_PERTURBATION times its bound, up or down
// by a bit of the argument: results must not change at 1, and must at far
// more.
template <class V>
inline V perturbedInTests(V result, [[maybe_unused]] V argument, [[maybe_unused]] double bound) {
#if defined(ZORVANE_APPROXIMATION_PERTURBATION)
    const MaskOf<V> bits = asBits(argument);
    const MaskOf<V> up = bitIsSet<V>(bits ^ (bits >> 7) ^ (bits >> 29), 3);
    const double amount = bound * ZORVANE_APPROXIMATION_PERTURBATION;
    return result + select(up, V{} + amount, V{} - amount);
#else
    return result;
#endif
}

// p(z) with coefficients from the highest degree down, by Estrin's scheme:
// neighbouring coefficients paired by z, the pairs by z^2, those by z^4, and
// so on. It rounds each term at most 2 * ceil(log2 N) + ceil(log2 N) - 1
// times (the combining steps and the powers of z) instead of Horner's 2N,
// and its chain of dependent steps is log2 N long instead of N, which is
// what a single bar at a time waits for.
template <class V, int N>
inline V estrin(V z, const double (&highestFirst)[N]) {
    V level[N];
    for (int i = 0; i < N; ++i) level[i] = V{} + highestFirst[N - 1 - i];  // lowest degree first
    // A step count the compiler can see, so that it unrolls the steps (a
    // loop left in place costs a single bar more than the evaluation).
    constexpr int kSteps = N > 1 ? 32 - __builtin_clz(N - 1) : 0;
    int terms = N;
    V power = z;
#pragma GCC unroll 8
    for (int step = 0; step < kSteps; ++step, power = power * power) {
#pragma GCC unroll 8
        for (int j = 0; 2 * j < terms; ++j)
            level[j] = 2 * j + 1 < terms ? multiplyAdd(level[2 * j + 1], power, level[2 * j]) : level[2 * j];
        terms = (terms + 1) / 2;
    }
    return level[0];
}

}  // namespace
}  // namespace zorvane::detail
