// A fast sine over vector lanes, with a proven error bound.
//
// Used only to find the float a stored sine rounds to: when the fast result
// is further from every float rounding boundary than its error plus the
// library's, the library's sine rounds to the same float (certification.hpp
// decides; otherwise the library is called).
//
//   |fastSine(x) - sin(x)| <= kFastSineBound = 2^-50 (8.9e-16)
//   for every double |x| <= kFastSineRange = 64; NaN gives NaN.
//
// Method. n = the integer nearest x * 2/pi (by adding and subtracting
// 1.5 * 2^52), r = (x - n P1) - n P1t with P1 + P1t = pi/2 (P1 has 31
// significant bits, P1t the next 53), then by the quadrant n mod 4 one of
// sin r, cos r, -sin r, -cos r, with
//   sin r = r + r z S(z),  cos r = 1 - z/2 + z^2 C(z),  z = r^2,
// S and C of degree 5: Chebyshev fits on z in [0, (pi/4 + 0.001)^2]
// (tools/approximations/fit.py). A rounded x * 2/pi can pick a neighbouring
// n near a half-integer; then |r| exceeds pi/4 by under 1.5e-14, inside the fit.
//
// Error (absolute; u = 2^-53):
//  1. Reduction. |n| <= 41, so n P1 is exact. x - n P1 is exact: both are
//     multiples of ulp(x) once |x| >= 0.5 (P1 is a multiple of 2^-32, ulp(x)
//     <= 2^-47), the difference is below 1, so it fits in 53 bits; for
//     |x| < 0.5, n = 0. n P1t rounds by at most 2^-82, the subtraction by at
//     most half an ulp of |r| < 0.786 (2^-54), and P1 + P1t misses pi/2 by at
//     most 2^-87 (times |n|). So |r - (x - n pi/2)| < 5.6e-17.
//  2. Fit. Below 1.4e-17 (sine) and 8.8e-19 (cosine), double coefficients
//     evaluated exactly over |r| <= pi/4 + 0.001 (50-digit check in fit.py).
//  3. Evaluation, with or without fused multiply-adds, by Estrin's scheme
//     (lanes.hpp): each term through at most 3 combining steps and a power
//     of z of at most 3 rounded factors (z^4 = (z^2)^2), 9 roundings, below
//     the gamma_10 used here. Sine: it errs by at most gamma_10 * sum |s_i|
//     z^i < 1.9e-16 in S, scaled by |r z| < 0.486
//     (9.1e-17); r z and the product round twice on a term below 0.081
//     (1.8e-17); the final add rounds half an ulp of a result below 0.71
//     (5.6e-17). Cosine: z rounds (relative u, so z/2 moves by at most
//     3.4e-17); 1 - z/2 rounds by at most 1.1e-16; the z^2 C term is below
//     0.016 and errs by less than 2.3e-17; the final add rounds by at most
//     1.1e-16.
//  4. The reduction error of step 1 passes through sin and cos, whose
//     slopes are at most 1.
// Total: sine 5.6e-17 + 1.4e-17 + 9.1e-17 + 1.8e-17 + 5.6e-17 < 2.4e-16,
// cosine 5.6e-17 + 8.8e-19 + 3.4e-17 + 1.1e-16 + 2.3e-17 + 1.1e-16 < 3.4e-16,
// both below 2^-51; the claimed 2^-50 leaves a factor of two.
// tests/certification_test.cpp checks the bound against long double sines.
#pragma once

#include "lanes.hpp"

namespace zorvane::detail {

constexpr double kFastSineBound = 0x1p-50;
constexpr double kFastSineRange = 64.0;

namespace {

// Sine of lanes with |x| <= kFastSineRange, or NaN.
template <class V>
inline V fastSine(V x) {
    constexpr double kTwoOverPi = 0.63661977236758138;
    constexpr double kHalfPiHigh = 0x1.921fb544p+0;            // 1.57079632673412561417
    constexpr double kHalfPiLow = 0x1.0b4611a626331p-34;       // 6.07710050650619224932e-11
    constexpr double kRoundingShift = 0x1.8p52;                // 1.5 * 2^52
    static constexpr double kS[] = {0x1.5e0916b55db48p-33, -0x1.ae60056a84b17p-26, 0x1.71de379129f2ep-19,
                                    -0x1.a01a019e7f846p-13, 0x1.1111111110ba1p-7,  -0x1.5555555555555p-3};
    static constexpr double kC[] = {-0x1.907b9fa75dee8p-37, 0x1.1eeb661c764f3p-29, -0x1.27e4fa1529574p-22,
                                    0x1.a01a019f4c9c5p-16,  -0x1.6c16c16c1695ep-10, 0x1.5555555555555p-5};
    const V shifted = x * kTwoOverPi + kRoundingShift;
    const V n = shifted - kRoundingShift;
    // The low bits of the shifted value hold n, in two's complement.
    const MaskOf<V> quadrant = asBits(shifted);
    const V r = (x - n * kHalfPiHigh) - n * kHalfPiLow;
    const V z = r * r;
    const V sine = multiplyAdd(r * z, estrin(z, kS), r);
    const V cosine = multiplyAdd(z * z, estrin(z, kC), 1.0 - 0.5 * z);
    const V value = select(bitIsSet<V>(quadrant, 0), cosine, sine);
    return perturbedInTests(select(bitIsSet<V>(quadrant, 1), -value, value), x, kFastSineBound);
}

}  // namespace
}  // namespace zorvane::detail
