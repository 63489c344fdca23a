// A fast arctangent over vector lanes, with a proven error bound.
//
// Its results are never stored as they are: the callers use them only where
// an error of kFastAtanBound cannot change a decision or a stored bit, and
// otherwise make the library call (certification.hpp decides which).
//
//   |fastAtan(x) - atan(x)| <= kFastAtanBound = 2^-50 (8.9e-16)
//   for every double x >= 0, +inf included; NaN gives NaN.
//
// Method. Three ranges, each reduced to |u| <= tan(pi/8) = 0.41421...:
//   x <  tan(pi/8)            atan x = atan u,          u = x
//   x <= tan(3pi/8) = 2.414   atan x = pi/4 + atan u,   u = (x - 1) / (x + 1)
//   x >  tan(3pi/8)           atan x = pi/2 + atan u,   u = -1 / x
// and atan u = u + u z P(z), z = u^2, with P of degree 10: a Chebyshev fit of
// (atan(u)/u - 1)/z on z in [0, 0.4143^2] (tools/approximations/fit.py). The
// thresholds are doubles near tan(pi/8) and tan(3pi/8); the reduced u can
// overshoot 0.41421356 by a few ulps, inside the fit's 0.4143.
//
// Error, in absolute terms (u = 2^-53 is the unit roundoff below; the
// results are at most pi/2, so one ulp of a result is at most 2^-52):
//  1. Reduction. u = x: exact. u = (x - 1)/(x + 1): x - 1 is exact for x in
//     [0.5, 2.414] (Sterbenz, and x > 2 has no bits below 2^-51) and off by at
//     most 2^-54 for x in [0.414, 0.5); x + 1 and the quotient are each
//     rounded once, relative error u each. So |du| <= 0.4143 * 2.0000001u +
//     2^-54 / 1.41 < 1.3e-16. u = -1/x: one rounding, |du| <= 0.4143u < 4.6e-17.
//  2. Fit. |u + u z P(z) - atan u| <= 2.8e-18 for the double coefficients,
//     evaluated exactly, over |u| <= 0.4143 (checked at 2,001 points in
//     50-digit arithmetic by fit.py; the error curve is a smooth
//     equioscillation, so the sampled maximum is the maximum to within a
//     small fraction).
//  3. Evaluation. Horner's rule for P (10 steps, each a rounded multiply and
//     add, or one fused multiply-add) errs by at most gamma_20 * sum |p_i| z^i
//     <= 20.0001u * 0.345 < 7.7e-16 in P; that term is scaled by u z <= 0.0711
//     (5.5e-17). u z and (u z) P add two roundings of a term below 0.0237
//     (5.3e-18), and the final u + (...) one rounding of a result below 0.3927
//     (half an ulp: 2.8e-17). Since d/du (u + u z P) < 1.0001 on the range,
//     the reduction error of step 1 passes through at most unamplified.
//  4. Offset. pi/4 and pi/2 as doubles are off by at most 3.1e-17 and 6.2e-17;
//     adding the offset rounds once more (at most 1.1e-16 for results below 2).
// Total: 1.3e-16 (1.0001) + 2.8e-18 + 5.5e-17 + 5.3e-18 + 2.8e-17 + 6.2e-17
// + 1.1e-16 < 4.0e-16 < 2^-51. The claimed 2^-50 leaves a factor of two.
// tests/approximation_test.cpp checks the bound against long double
// arctangents over millions of arguments, the range edges included.
#pragma once

#include "lanes.hpp"

namespace zorvane::detail {

constexpr double kFastAtanBound = 0x1p-50;

namespace {

// Arctangent of lanes that are >= 0, +inf or NaN (callers pass magnitudes).
template <class V>
inline V fastAtan(V x) {
    constexpr double kTanEighthPi = 0.41421356237309503;
    constexpr double kTanThreeEighthsPi = 2.4142135623730949;
    constexpr double kQuarterPi = 0.78539816339744828;
    constexpr double kHalfPi = 1.5707963267948966;
    // Highest degree first.
    static constexpr double kP[] = {
        -0x1.3a17becee1f16p-6, 0x1.41582779ac536p-5,  -0x1.a095f1348d5e3p-5, 0x1.dfe595fbcecdep-5,
        -0x1.10fa6d5c134a0p-4, 0x1.3b12624a748ddp-4,  -0x1.745d0b2091602p-4, 0x1.c71c71850a87cp-4,
        -0x1.2492492435cefp-3, 0x1.9999999999346p-3,  -0x1.5555555555555p-2};
    const V one = V{} + 1.0;
    const MaskOf<V> middle = x >= kTanEighthPi;  // false for NaN: u = NaN below
    const MaskOf<V> high = x > kTanThreeEighthsPi;
    const V numerator = select(high, -one, select(middle, x - 1.0, x));
    const V denominator = select(high, x, select(middle, x + 1.0, one));
    const V offset = select(high, V{} + kHalfPi, keepWhere(middle, V{} + kQuarterPi));
    const V u = numerator / denominator;
    const V z = u * u;
    return perturbedInTests(offset + multiplyAdd(u * z, horner(z, kP), u), x, kFastAtanBound);
}

}  // namespace
}  // namespace zorvane::detail
