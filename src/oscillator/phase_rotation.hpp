// The phase outputs of one bar without an arctangent or a sine, with a
// proven error bound: the cycle phase is the direction of the correlation
// sums' vector turned by constants, so its sine is a component of the
// turned vector over the vector's length.
//
// The literal formula, for sums s and c with |c| > 0.001:
//   P = atan(s / c) K1 + comp + 90 (+ 180 where c < 0) (- 360 where that is above 315),
//   sine = sin(P K2), lead sine = sin((P + 45) K2),
//   K1 = 57.29577951471995, K2 = 0.017453292519444445.
// In exact arithmetic, with a = atan(s / c) in (-pi/2, pi/2) and psi the sum
// of the constants (comp, 90, 180, -360, 45 as they apply), P K2 is
// K1 K2 a + K2 psi, and K1 K2 = 1 + 6.9e-18. Since cos a > 0,
//   (cos a, sin a) = (|c|, s') / rho,   s' = s sgn c,   rho = sqrt(s^2 + c^2),
// so sin(a + beta) = (s' cos beta + |c| sin beta) / rho, beta = K2 psi. The
// cosines and sines of beta come from a table per compensation, sign of c,
// fold and lead: one multiply, one multiply-add, a square root and a
// division instead of the arctangent's and the sine's chains.
//
// The fold. P before the fold is above 315 exactly where a > T = (315 - psi')
// / K1 (psi' without the fold and lead terms), which for a and T both in
// [-pi/2, pi/2] is the sign of sin(a - T) = (s' cos T - |c| sin T) / rho.
// T is clamped into that range: beyond it by more than 1e-9 the answer is
// the same for every a (never, or always); the clamped T keeps the sign and
// only shrinks the margin that the test below asks for.
//
// Error (absolute, u = 2^-53):
//  1. The literal. Its phase is within kCyclePhaseBound (2^-39 degrees) of
//     K1 a + psi: the quotient's rounding and the library's arctangent move a
//     by at most 2.8e-16, less than the 1.12e-15 that bound allows for, and
//     it rounds the same products and sums. So its sine argument is within
//     kSineArgumentBound of K1 K2 a + K2 psi, and its sine within
//     kSineArgumentBound + kLibraryBound of sin(K1 K2 a + beta), where every
//     phase stays below 2048 in magnitude (rows whose compensation could
//     break that are not used).
//  2. K1 K2 against 1: |a| (K1 K2 - 1) < 1.1e-17.
//  3. The table. psi is summed in doubles below 2048 (four roundings of at
//     most 2^-43), times K2 (a result below 64: 2^-48), then the library's
//     cosine and sine (2^-52): each entry within delta = 1.3e-14 of the exact
//     cosine or sine of beta.
//  4. Ours. The numerator rounds at most three times on terms below
//     |s'| + |c| <= sqrt(2) rho, and the table adds delta (|s'| + |c|): at
//     most sqrt(2) (3u + delta) rho. rho rounds by at most 2u relatively
//     (the squares, their sum, the square root; c^2 >= 1e-6 and s^2 <= 1e81
//     for sums of float prices, so nothing overflows, and an underflowing
//     s^2 errs by far less than u rho^2), the quotient by u. Over rho:
//     sqrt(2) (3u + delta) + 2u + u = 7.3u + 1.42 delta < 1.9e-14.
// Ours against the exact sine: 1.9e-14 + 1.1e-17 < kRotationBound = 2^-44.
// The fold test: the table's cos T and sin T err by 2^-52, the test's three
// roundings by 3u, so |d / rho - sin(a - T)| < 8e-16 < 2^-50; T itself is within
// 1e-14 of the exact (315 - psi') / K1. A test that clears kFoldMargin
// (2^-40) puts a at least 8.9e-13 from T, so the literal phase at least
// 5.1e-11 degrees from 315: more than 16 times kCyclePhaseBound.
// tests/certification_test.cpp checks the outputs against the literal's on
// float boundaries and around the fold, and with the results moved by their
// bounds.
#pragma once

#include <cmath>

#include "certification.hpp"
#include "comparisons.hpp"
#include "lanes.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

// |rotation's sine - exact sine of the literal's phase| (see above), and the
// band a stored sine must clear: ours, the literal's argument and its sine.
constexpr double kRotationBound = 0x1p-44;
constexpr double kRotationOutputBand = kSafetyFactor * (kRotationBound + kSineArgumentBound + kLibraryBound);
// The fold test errs by at most kFoldTestBound times the length, and is
// decided where it is further than kFoldMargin times the length from 0.
constexpr double kFoldTestBound = 0x1p-50;
constexpr double kFoldMargin = 0x1p-40;

// Per compensation (by the quarters that index it, as CompensationTable) and
// sign of the cosine sum: the fold's test and the turning constants. Rows
// are filled on first use.
class PhaseRotations {
public:
    enum Fold : unsigned char { kNever, kAlways, kTest, kUnused };
    struct Row {
        Pair cosines[2];  // [folded]: of beta for the sine and the lead sine
        Pair sines[2];
        double foldCosine, foldSine;  // of T
        Fold fold;
        bool filled;
    };
    static constexpr int kKeys = 3 * kMaxPeriod + kSearchLimit + 1;

    // The row for the compensation compensations[key] (0 for none) and the
    // cosine sum's sign.
    const Row& row(int key, bool cosineNegative, const double* compensations) {
        Row& r = rows_[key][cosineNegative];
        if (!r.filled) fill(r, compensations[key], cosineNegative);
        return r;
    }

private:
    static void fill(Row& r, double compensation, bool cosineNegative);
    Row rows_[kKeys][2] = {};
};

namespace {

// The sine and lead sine of one bar from its correlation sums and its row;
// true where they cannot be vouched for (then nothing is said of them).
template <class V>
inline bool rotatedPhaseOutputs(double sineSum, double cosineSum, const PhaseRotations::Row& r, float* sineOut,
                                float* leadSineOut) {
    const double cosineSize = std::fabs(cosineSum);
    if (!greaterThan(cosineSize, 0.001) || r.fold == PhaseRotations::kUnused) return true;
    const double turnedSine = std::signbit(cosineSum) ? -sineSum : sineSum;  // s sgn c
    const double length = std::sqrt(sineSum * sineSum + cosineSum * cosineSum);
    const double foldTest = perturbedInTests(V{} + (turnedSine * r.foldCosine - cosineSize * r.foldSine),
                                             V{} + sineSum, kFoldTestBound * length)[0];
    const bool folded = r.fold == PhaseRotations::kAlways || (r.fold == PhaseRotations::kTest && foldTest > 0.0);
    const bool foldInDoubt = r.fold == PhaseRotations::kTest && !(std::fabs(foldTest) > kFoldMargin * length);
    const V numerator = multiplyAdd(V{} + turnedSine, r.cosines[folded], (V{} + cosineSize) * r.sines[folded]);
    const V value = perturbedInTests(numerator / length, numerator, kRotationBound);
    const FloatsOf<V> floats = __builtin_convertvector(value, FloatsOf<V>);
    *sineOut = floats[0];
    *leadSineOut = floats[1];
    return foldInDoubt || anyLane<V>(~roundsLikeNeighbours(value, kRotationOutputBand));
}

}  // namespace
}  // namespace zorvane::detail
