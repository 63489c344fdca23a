// When a fast approximation may stand in for a library call: every decision
// between the fast path and the library lives here, with the error bounds
// that justify it.
//
// The library calls (atan, sin) are needed only where their last bits can
// reach something we store or decide. The fast functions (fast_atan.hpp,
// fast_sine.hpp) err by at most 2^-50; the library's results are within one
// ulp of the true value, at most 2^-52 for results up to 2 in magnitude.
// Each bound below follows one value through the written arithmetic, where
// the fast and the library inputs of every step are rounded on their own:
// a rounded step moves two inputs apart by at most their distance (rounding
// is monotone) plus one ulp of the result. Every test then keeps a band of
// 16 times the bound, so a slip in these sums cannot reach a result.
#pragma once

#include "fast_sine.hpp"
#include "lanes.hpp"

namespace zorvane::detail {

constexpr double kLibraryBound = 0x1p-52;
constexpr double kSafetyFactor = 16.0;

// Phase angle of the cycle measurement, in degrees. From the arctangent
// (2^-50 + 2^-52 apart), times 57.29577951471995 (a result below 128: one ulp
// 2^-46), then 180 - a, a + 180 or 360 - a (below 512: 2^-44):
// 57.3 * 1.12e-15 + 1.43e-14 + 5.69e-14 < 1.4e-13 <= 2^-40.
constexpr double kPhaseAngleBound = 0x1p-40;
// The wrap test (previous below 90, current above 270) is decided on the fast
// angles only when neither lies within the band of its bound.
constexpr double kWrapBand = kSafetyFactor * kPhaseAngleBound;

// Phase change before the clamps: previous - current, or (previous + 360) -
// current, each step below 512 (2^-44 each): 2 * 2^-40 + 2 * 2^-44 < 2^-38.
// The clamps to [1, 60] never widen a difference.
constexpr double kPhaseChangeBound = 0x1p-38;
// A change further than the band below 1 or above 60 is clamped to exactly
// 1 or 60 on either path: that bar's change is then exact.
constexpr double kClampBand = kSafetyFactor * kPhaseChangeBound;

// The raw period search adds up to 41 changes: the sums from fast and from
// library angles differ by at most 41 * 2^-38 < 1.5e-10, and a rounded sum
// differs from the exact one by less than 2e-11 (cycle_measurement.cpp).
// Exact sums further than this margin from 360 decide the search.
constexpr double kSearchMarginDegrees = 0x1p-28;  // 3.7e-9, over 16 x 1.7e-10
static_assert(41 * kPhaseChangeBound + 2e-11 < kSearchMarginDegrees / kSafetyFactor, "search margin");

// Cycle phase of the phase outputs, in degrees, where the raw phase comes
// from the arctangent of sineSum / cosineSum: times 57.29577951471995 (below
// 128: 2^-46), plus the compensation, plus 90, plus 180, minus 360 (each below
// 2048 in magnitude, which is checked: 2^-42 each):
// 57.3 * 1.12e-15 + 1.43e-14 + 4 * 2.28e-13 < 9.9e-13 <= 2^-39.
constexpr double kCyclePhaseBound = 0x1p-39;
constexpr double kCyclePhaseLimit = 2048.0;
// The fold test (above 315) is decided on the fast phase outside this band.
constexpr double kFoldBand = kSafetyFactor * kCyclePhaseBound;

// The sine's argument: the phase (plus 45 for the lead sine, below 2048:
// 2^-42 more), times 0.017453292519444445 (a result below 64: one ulp 2^-47):
// 0.01746 * (2^-39 + 2^-42) + 7.2e-15 < 4.3e-14 <= 2^-44.
constexpr double kSineArgumentBound = 0x1p-44;
static_assert(kCyclePhaseLimit * 0.017453292519444445 < 64.0, "arguments stay in the fast sine's range");

// The stored sine: argument error (the sine's slope is at most 1), the fast
// sine's error and the library's, with the safety factor. A fast result
// further than this from every float rounding boundary rounds to the float
// the library's result rounds to.
constexpr double kSineOutputBand = kSafetyFactor * (kSineArgumentBound + kFastSineBound + kLibraryBound);

namespace {

// Lanes where x lies within `band` of `target` (never for NaN).
template <class V>
inline MaskOf<V> within(V x, double target, double band) {
    return absolute(x - target) <= band;
}

// Lanes where every value within `band` of y rounds to the same float as y.
// Rounding to float is monotone, so the two ends decide. The ends are
// themselves rounded doubles: one ulp of |y| + band (at most 2^-52 for sines)
// more keeps them outside the interval. NaN lanes are never certified.
template <class V>
inline MaskOf<V> roundsLikeNeighbours(V y, double band) {
    const double reach = band + 0x1p-52;
    const FloatsOf<V> low = __builtin_convertvector(y - reach, FloatsOf<V>);
    const FloatsOf<V> high = __builtin_convertvector(y + reach, FloatsOf<V>);
    return __builtin_convertvector(low == high, MaskOf<V>);
}

}  // namespace
}  // namespace zorvane::detail
