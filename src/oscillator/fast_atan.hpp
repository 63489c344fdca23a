// A fast arctangent of a quotient over vector lanes, with a proven bound.
//
// Its results are never stored as they are: the callers use them only where
// an error of kFastAtanBound cannot change a decision or a stored bit, and
// otherwise make the library call (certification.hpp decides which).
//
//   |fastAtanOfQuotient(a, b) - atan(a / b)| <= kFastAtanBound = 2^-50
//   (8.9e-16) for doubles a >= 0 and b > 0, +inf included, where a / b is
//   the rounded quotient the library would be given; NaN gives NaN.
//
// Method. One division, chosen by the range of a / b, reduces to |u| <=
// tan(pi/8) = 0.41421...:
//   a/b <  tan(pi/8)      atan(a/b) = atan u,          u = a / b
//   a/b <= tan(3pi/8)     atan(a/b) = pi/4 + atan u,   u = (a - b) / (a + b)
//   a/b >  tan(3pi/8)     atan(a/b) = pi/2 + atan u,   u = -b / a
// and atan u = u + u z P(z), z = u^2, with P of degree 10: a Chebyshev fit of
// (atan(u)/u - 1)/z on z in [0, 0.4143^2] (tools/approximations/fit.py). The
// range is told by comparing a with b times the thresholds, whose rounding
// can pick a neighbouring range by a hair: u then exceeds 0.41421356 by a
// few ulps at most, inside the fit's 0.4143.
//
// Error, in absolute terms (u = 2^-53 is the unit roundoff below; the
// results are at most pi/2, so one ulp of a result is at most 2^-52):
//  0. The library is given the rounded a / b, whose arctangent differs from
//     that of the true quotient by at most |a/b| u / (1 + (a/b)^2) <= u/2
//     (5.6e-17). Below, errors are against the true quotient.
//  1. Reduction. u = a / b and u = -b / a: one rounding, |du| <= 0.4143u <
//     4.6e-17. u = (a - b) / (a + b): three roundings, relative error below
//     3.0000001u, so |du| < 0.4143 * 3.0000001u < 1.38e-16.
//  2. Fit. |u + u z P(z) - atan u| <= 2.8e-18 for the double coefficients,
//     evaluated exactly, over |u| <= 0.4143 (checked at 20,001 points in
//     50-digit arithmetic by fit.py; the error curve is a smooth
//     equioscillation, so the sampled maximum is the maximum to within a
//     small fraction).
//  3. Evaluation. Estrin's scheme for P (lanes.hpp) takes each term through
//     at most 4 combining steps of a rounded multiply and add (or one fused
//     multiply-add) and through a power of z of at most 7 rounded factors
//     (z^8 = ((z^2)^2)^2), 15 roundings in all: it errs by at most gamma_15 *
//     sum |p_i| z^i <= 15.0001u * 0.345 < 5.8e-16 in P; that term is scaled
//     by u z <= 0.0711 (4.1e-17). u z and (u z) P add two roundings of a term
//     below 0.0237 (5.3e-18), and the final u + (...) one rounding of a result
//     below 0.3927 (half an ulp: 2.8e-17). Since d/du (u + u z P) < 1.0001 on
//     the range, the reduction error of step 1 passes through at most
//     unamplified.
//  4. Offset. pi/4 and pi/2 as doubles are off by at most 3.1e-17 and 6.2e-17;
//     adding the offset rounds once more (at most 1.1e-16 for results below 2).
// Total: 5.6e-17 + 1.38e-16 (1.0001) + 2.8e-18 + 4.1e-17 + 5.3e-18 + 2.8e-17
// + 6.2e-17 + 1.1e-16 < 4.5e-16 < 2^-50.9. The claimed 2^-50 leaves almost a
// factor of two. tests/certification_test.cpp checks the bound against long
// double arctangents over hundreds of thousands of arguments, the range edges
// included.
#pragma once

#include "lanes.hpp"

namespace zorvane::detail {

constexpr double kFastAtanBound = 0x1p-50;

namespace {

// Arctangent of a / b for lanes with a >= 0 (or NaN) and b > 0.
template <class V>
inline V fastAtanOfQuotient(V a, V b) {
    constexpr double kTanEighthPi = 0.41421356237309503;
    constexpr double kTanThreeEighthsPi = 2.4142135623730949;
    constexpr double kQuarterPi = 0.78539816339744828;
    constexpr double kHalfPi = 1.5707963267948966;
    // Highest degree first.
    static constexpr double kP[] = {
        -0x1.3a17becee1f16p-6, 0x1.41582779ac536p-5,  -0x1.a095f1348d5e3p-5, 0x1.dfe595fbcecdep-5,
        -0x1.10fa6d5c134a0p-4, 0x1.3b12624a748ddp-4,  -0x1.745d0b2091602p-4, 0x1.c71c71850a87cp-4,
        -0x1.2492492435cefp-3, 0x1.9999999999346p-3,  -0x1.5555555555555p-2};
    const MaskOf<V> middle = a >= b * kTanEighthPi;  // false for NaN: u = NaN below
    const MaskOf<V> high = a > b * kTanThreeEighthsPi;
    const V numerator = select(high, -b, select(middle, a - b, a));
    const V denominator = select(high, a, select(middle, a + b, b));
    const V offset = select(high, V{} + kHalfPi, keepWhere(middle, V{} + kQuarterPi));
    const V u = numerator / denominator;
    const V z = u * u;
    return perturbedInTests(offset + multiplyAdd(u * z, estrin(z, kP), u), a, kFastAtanBound);
}

}  // namespace
}  // namespace zorvane::detail
