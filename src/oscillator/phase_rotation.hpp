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
//     most 2^-43), times K2 (a result below 64: 2^-48), then its cosine and
//     sine (phase_rotation.cpp, within 2^-51): each entry within delta =
//     1.3e-14 of the exact cosine or sine of beta.
//  4. Ours. rho rounds by at most 2u relatively (the squares, their sum,
//     the square root; c^2 >= 1e-6 and s^2 <= 1e81 for sums of float prices,
//     so nothing overflows, and an underflowing s^2 errs by far less than
//     u rho^2), so cos a and sin a by at most 3u. The turn rounds at most
//     three times on terms below |cos a| + |sin a| <= sqrt(2), and the table
//     adds delta that much: sqrt(2) (3u + 3u + delta) = 8.5u + 1.42 delta
//     < 2e-14.
// Ours against the exact sine: 2e-14 + 1.1e-17 < kRotationBound = 2^-44.
// The fold test, cos T sin a - sin T cos a: the table's cos T and sin T err
// by 2^-51, cos a and sin a by 3u, and it rounds three times, so it is
// within sqrt(2) (6u + 2^-51) < 1.6e-15 < kFoldTestBound of sin(a - T); T
// itself is within 1e-14 of the exact (315 - psi') / K1. A test that clears
// kFoldMargin (2^-40) puts a at least 9e-13 from T, so the literal phase at
// least 5.1e-11 degrees from 315: more than 16 times kCyclePhaseBound.
// tests/certification_test.cpp checks the outputs against the literal's on
// float boundaries and around the fold, and with the results moved by their
// bounds.
#pragma once

#include <cmath>

#include "angle_table.hpp"
#include "certification.hpp"
#include "comparisons.hpp"
#include "lanes.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

// |rotation's sine - exact sine of the literal's phase| (see above), and the
// band a stored sine must clear: ours, the literal's argument and its sine.
constexpr double kRotationBound = 0x1p-44;
constexpr double kRotationOutputBand = kSafetyFactor * (kRotationBound + kSineArgumentBound + kLibraryBound);
// The fold test, sin(a - T), errs by at most kFoldTestBound, and is decided
// where it is further than kFoldMargin from 0.
constexpr double kFoldTestBound = 0x1p-49;
constexpr double kFoldMargin = 0x1p-40;

// The turning constants per compensation (indexed by quarters, as in
// CompensationTable; 0 for none) and sign of the cosine sum, computed at
// compile time (phase_rotation.cpp): read-only, shared by every streaming
// object, and the same on every platform.
struct PhaseRotation {
    enum Fold : unsigned char { kNever, kAlways, kTest, kUnused };
    double cosines[2][2];  // [folded][lead]: cos beta
    double sines[2][2];
    double foldCosine, foldSine;  // of T
    Fold fold;
};
constexpr int kCompensationKeys = CompensationTable::kValues;
struct PhaseRotations {
    PhaseRotation rows[kCompensationKeys][2];  // [key][cosine sum negative]
};
extern const PhaseRotations kPhaseRotations;

namespace {

// The table's sine and cosine (phase_rotation.cpp), at compile time.
struct SineAndCosine {
    double sine, cosine;
};

// Sine and cosine of |x| <= 64 within 2^-51. x less the nearest multiple n
// of pi/2 (pi/2 in two parts as in fast_sine.hpp, so |r - (x - n pi/2)| <
// 5.6e-17), then the Taylor series to degree 25 and 24, nested from the
// highest term: over |r| <= pi/4 + 1e-14 the terms left out are below 1e-30.
// The nesting's factors z / (2k (2k + 1)) and z / ((2k - 1) 2k) are at most
// 0.11 and 0.31, so the roundings inside reach the result damped: the sine
// errs by less than 2.5u relatively (u = 2^-53), the cosine by less than 2u,
// both below 3e-16 with the reduction's error.
constexpr SineAndCosine sineAndCosineOf(double x) {
    constexpr double kTwoOverPi = 0.63661977236758138;
    constexpr double kHalfPiHigh = 0x1.921fb544p+0;
    constexpr double kHalfPiLow = 0x1.0b4611a626331p-34;
    const double n = (x * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
    const double r = (x - n * kHalfPiHigh) - n * kHalfPiLow;
    const double z = r * r;
    double sine = 1.0, cosine = 1.0;
    for (int k = 12; k >= 1; --k) {
        sine = 1.0 - z / ((2.0 * k) * (2.0 * k + 1.0)) * sine;
        cosine = 1.0 - z / ((2.0 * k - 1.0) * (2.0 * k)) * cosine;
    }
    sine = r * sine;
    switch (static_cast<int>(n) & 3) {
        case 0: return {sine, cosine};
        case 1: return {cosine, -sine};
        case 2: return {-sine, -cosine};
        default: return {-cosine, sine};
    }
}

// The sine and lead sine of one bar from its correlation sums and its row;
// true where they cannot be vouched for (then nothing is said of them).
// (cos a, sin a) comes first, from the sums alone: what waits for the row,
// which waits for the period search, is then a multiply and a multiply-add.
inline bool rotatedPhaseOutputs(double sineSum, double cosineSum, const PhaseRotation& r, float* sineOut,
                                float* leadSineOut) {
    const double cosineSize = std::fabs(cosineSum);
    if (!greaterThan(cosineSize, 0.001) || r.fold == PhaseRotation::kUnused) return true;
    const double turnedSine = std::signbit(cosineSum) ? -sineSum : sineSum;  // s sgn c
    const Pair unit = Pair{turnedSine, cosineSize} / std::sqrt(sineSum * sineSum + cosineSum * cosineSum);
    const double foldTest =
        perturbedInTests(broadcast(unit[0] * r.foldCosine - unit[1] * r.foldSine), unit, kFoldTestBound)[0];
    const bool folded = r.fold == PhaseRotation::kAlways || (r.fold == PhaseRotation::kTest && foldTest > 0.0);
    const bool foldInDoubt = r.fold == PhaseRotation::kTest && !(std::fabs(foldTest) > kFoldMargin);
    const Pair turned =
        multiplyAdd(broadcast(unit[0]), loadPair(r.cosines[folded]), broadcast(unit[1]) * loadPair(r.sines[folded]));
    const Pair value = perturbedInTests(turned, unit, kRotationBound);
    const FloatsOf<Pair> floats = __builtin_convertvector(value, FloatsOf<Pair>);
    *sineOut = floats[0];
    *leadSineOut = floats[1];
    return foldInDoubt || anyLane<Pair>(~roundsLikeNeighbours(value, kRotationOutputBand));
}

}  // namespace
}  // namespace zorvane::detail
