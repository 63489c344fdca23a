// The one-bar path's body, written once and compiled by one_bar_*.cpp for
// the instruction set of the kernels the stages run, whose one-bar steps
// it inlines (kernel_bodies.hpp has internal linkage: include this only
// from those files).
#pragma once

#include "exact_search.hpp"
#include "cycle_measurement.hpp"
#include "kernel_bodies.hpp"
#include "correlation_sums.hpp"
#include "one_bar_path.hpp"
#include "phase_rotation.hpp"

namespace zorvane::detail {
namespace {

// The search of bar l from the exact totals, near the number of terms the
// previous bar needed (`guess`; neighbours need about as many): the terms
// recorded, 0 for none, or -1 where the crossing lies elsewhere or a sum
// next to it lies within the margin of 360, for searchFromTotals to decide.
// total[-k] is the total before the k newest changes.
inline double searchNearGuess(const std::uint64_t* total, int guess) {
    auto sum = [total](int terms) { return total[0] - total[-terms]; };
    // Most bars need as many terms as the bar before.
    if (sum(guess) > kFullTurnUnits + kMarginUnits && sum(guess - 1) < kFullTurnUnits - kMarginUnits)
        return guess - 1;
    // Otherwise the windows around it, all at once: sums grow with the
    // window, so the passing windows are the longest ones.
    constexpr int kProbes = 5;
    int shortest = guess - 2 < 6 ? 6 : guess - 2;  // 6 terms never pass 360
    shortest = shortest > kTerms - kProbes + 1 ? kTerms - kProbes + 1 : shortest;
    int passing = 0;
    bool nearTurn = false;
#pragma GCC unroll 8
    for (int k = 0; k < kProbes; ++k) {
        const std::uint64_t window = sum(shortest + k);
        passing += window > kFullTurnUnits;
        nearTurn |= window - (kFullTurnUnits - kMarginUnits) <= 2 * kMarginUnits;
    }
    const bool inside = passing > 0 && passing < kProbes;
    return nearTurn || !inside ? -1.0 : static_cast<double>(shortest + kProbes - passing - 1);
}

// The one-bar kernels' steps (kernel_bodies.hpp) with the decisions made
// on scalars and only the fast functions on lanes: the same operations in
// the same order, so the same bits, in fewer vector instructions.

// The phase angle from the components and the arctangent of |q + q before|
// / |i + i before|; `exact` where it is the library's (angleOf).
inline double angleFrom(double i, double iBefore, double q, double qBefore, double arctangent, bool& exact) {
    const double s = iBefore + i;
    const bool sumIsZero = isZero(s);
    double angle = sumIsZero ? 0.0 : arctangent * kDegreesPerRadian;
    if (lessThan(i, 0.0) && greaterThan(q, 0.0)) angle = 180.0 - angle;
    if (lessThan(i, 0.0) && lessThan(q, 0.0)) angle = angle + 180.0;
    if (greaterThan(i, 0.0) && lessThan(q, 0.0)) angle = 360.0 - angle;
    exact = sumIsZero || std::fabs(q + qBefore) == 0.0;
    return angle;
}

inline bool isWithin(double x, double target, double band) { return std::fabs(x - target) <= band; }

// The clamped change and the bar's certainty word; true where the wrap
// test needs the library's angles (changeOf).
inline bool changeFrom(double before, double now, Certainty certaintyBefore, bool exactNow, double& change,
                       Certainty& certainty) {
    const bool wraps = lessThan(before, 90.0) && greaterThan(now, 270.0);
    const double unclamped = wraps ? (before + 360.0) - now : before - now;
    const bool bothExact = exactNow && (certaintyBefore & kExactPhase);
    const bool wrapNearBound = isWithin(before, 90.0, kWrapBand) || isWithin(now, 270.0, kWrapBand);
    const bool clampedForCertain = !(unclamped >= 1.0 - kClampBand && unclamped <= 60.0 + kClampBand);
    const bool exactChange = bothExact || (clampedForCertain && !wrapNearBound);
    const bool doubt = wrapNearBound && !bothExact;
    certainty = (exactNow ? kExactPhase : 0) | (exactChange ? kExactChange : 0) | (doubt ? kWrapInDoubt : 0);
    change = lowerTo(60.0, raiseTo(1.0, unclamped));
    return doubt;
}

// The cycle phase from the correlation sums, the compensation and the
// arctangent of |sineSum| / |cosineSum|; true where the fold test or the
// fast sine's range is in doubt (cyclePhaseOf).
inline bool cyclePhaseFrom(double sineSum, double cosineSum, double compensation, double arctangent,
                           double& phase) {
    const bool fromArctangent = greaterThan(std::fabs(cosineSum), 0.001);
    const bool ratioNegative = std::signbit(sineSum) != std::signbit(cosineSum);
    const double rightAngle = isNotZero(sineSum) ? std::copysign(90.0, sineSum) : 0.0;
    const double signedArctangent = std::copysign(arctangent, ratioNegative ? -1.0 : 1.0);
    phase = fromArctangent ? signedArctangent * kDegreesPerRadian : rightAngle;
    phase = (phase + compensation) + 90.0;
    if (lessThan(cosineSum, 0.0)) phase = phase + 180.0;
    bool doubt = fromArctangent && isWithin(phase, 315.0, kFoldBand);
    if (greaterThan(phase, 315.0)) phase = phase - 360.0;
    return doubt || !(std::fabs(phase) < kCyclePhaseLimit);
}

// Both outputs of one bar from its cycle phase, the sine in lane 0 and the
// lead sine in lane 1 (phaseOutputsOfOneBar); true where the fast sine
// cannot vouch for a float.
template <class V>
inline bool outputsFrom(double phase, float* sineOut, float* leadSineOut) {
    MaskOf<V> doubt = {};
    const V degrees = V{phase, phase} + V{0.0, 45.0};
    const V value = sineOf(degrees, doubt);
    const FloatsOf<V> floats = __builtin_convertvector(value, FloatsOf<V>);
    *sineOut = floats[0];
    *leadSineOut = floats[1];
    return laneBits<V>(doubt) != 0;
}

// Computes bar h.nextBar from its mean price into `out` and the bar's slots
// of the history, and returns true, when the fast values decide everything.
// Otherwise returns false having changed nothing of the history but that
// bar's slots, as it does for the bars whose search reaches back into the
// warm-up.
template <class V>
bool pushOneBar(OneBarPath::Copies& c, StreamHistory& h, StageContext& context, double mean, BarOutputs& out) {
    const Bar l = h.nextBar;
    if (l <= kTerms) return false;
    auto slot = [](Bar bar) { return static_cast<std::size_t>(bar) & (kRingBars - 1); };
    const std::size_t now = slot(l), before = slot(l - 1), row = now + kRingBars;
    double* const inPhase = h.rings[kInPhaseRing];
    double* const quadrature = h.rings[kQuadratureRing];
    double* const phase = h.rings[kPhaseRing];
    double* const change = h.rings[kChangeRing];
    double* const rawPeriod = h.rings[kRawPeriodRing];
    double* const period = h.rings[kPeriodRing];
    double* const smoothedPrice = h.rings[kSmoothedPriceRing];
    // mid[-n], differenced[-n], total[-n]: bar l - n's, n < kRingBars.
    double* const mid = c.means + row;
    double* const differenced = c.differences + row;
    std::uint64_t* const total = c.changeTotals + row;

    h.rings[kMidRing][now] = c.means[now] = mid[0] = mean;
    // The in-phase and quadrature filters (filterComponents).
    const double difference = mean - mid[-6];
    h.rings[kDifferencedRing][now] = c.differences[now] = differenced[0] = difference;
    const double q = 0.25 * (differenced[-2] - differenced[-4]) + 0.75 * (difference - differenced[-6]);
    const double inPhaseNow = 0.33 * differenced[-3] + 0.67 * inPhase[before];
    const double quadratureNow = 0.2 * q + 0.8 * quadrature[before];
    inPhase[now] = inPhaseNow;
    quadrature[now] = quadratureNow;

    // The correlation for the period this bar most likely has, the one the
    // previous bar's raw period gives: its sums then wait for nothing this
    // bar computes, and run beside the angle, the change and the search.
    const double periodBefore = period[before];
    const double rawBefore = rawPeriod[before];
    const int likelyTerms = static_cast<int>(
        (3 * static_cast<std::uint32_t>(periodBefore) + static_cast<std::uint32_t>(rawBefore)) >> 2);
    Pair sums = correlationNewestFirst(c.anglesOf(likelyTerms, context.angles), mid, likelyTerms);

    // Angle and change; a wrap test in doubt needs the library's angles.
    const double inPhaseBefore = inPhase[before], quadratureBefore = quadrature[before];
    const double quotientAbove = std::fabs(quadratureNow + quadratureBefore);
    const double quotientBelow = std::fabs(inPhaseBefore + inPhaseNow);
    const V angleArctangent =
        fastAtanOfQuotient(V{quotientAbove, quotientAbove}, V{quotientBelow, quotientBelow});
    bool exactAngle;
    const double angle =
        angleFrom(inPhaseNow, inPhaseBefore, quadratureNow, quadratureBefore, angleArctangent[0], exactAngle);
    phase[now] = angle;
    if (changeFrom(phase[before], angle, h.certainty[before], exactAngle, change[now], h.certainty[now]))
        return false;

    // The search from exact totals; a crossing near 360 needs exact changes.
    const std::uint64_t totalNow = total[-1] + changeUnits(change[now]);
    h.changeTotals[now] = c.changeTotals[now] = total[0] = totalNow;
    const int guess = rawBefore > 0 ? static_cast<int>(rawBefore) + 1 : 0;
    double found = guess > 0 ? searchNearGuess(total, guess) : -1.0;
    if (found < 0) found = searchFromTotals(h.changeTotals, l, guess);
    if (found < 0) return false;
    const double raw = isZero(found) ? rawBefore : found;
    rawPeriod[now] = raw;
    // The smoothed period as smoothPeriods computes it, in quarters before
    // truncation: 0.75 p + 0.25 r is exact, so its quarters are 3 p + r.
    const std::uint32_t quarters = 3 * static_cast<std::uint32_t>(periodBefore) + static_cast<std::uint32_t>(raw);
    const int terms = static_cast<int>(quarters >> 2);
    period[now] = terms;

    // Modes 3 and 4: both correlation sums in one register (again where the
    // period is not the likely one), turned by the row of this bar's
    // compensation, which applies below a period of 30 and above 0 quarters;
    // where that cannot vouch, the arctangent and the sine.
    if (terms != likelyTerms) sums = correlationNewestFirst(c.anglesOf(terms, context.angles), mid, terms);
    const int compensationKey = terms < 30 && quarters > 0 ? static_cast<int>(quarters) : 0;
    const PhaseRotation& rotation = kPhaseRotations.rows[compensationKey][std::signbit(sums[1])];
    bool sineInDoubt = rotatedPhaseOutputs(sums[0], sums[1], rotation, &out.sine, &out.leadSine);
    if (sineInDoubt) {
        const double compensation = context.compensation.byQuarters()[compensationKey];
        const double sineSize = std::fabs(sums[0]), cosineSize = std::fabs(sums[1]);
        const double arctangent = fastAtanOfQuotient(V{sineSize, sineSize}, V{cosineSize, cosineSize})[0];
        double cyclePhase;
        if (cyclePhaseFrom(sums[0], sums[1], compensation, arctangent, cyclePhase)) return false;
        sineInDoubt = outputsFrom<V>(cyclePhase, &out.sine, &out.leadSine);
    }

    // Modes 1 and 2 last: nothing above waits for them, and the cycle
    // average's sum, a chain of its own, then runs while the phase chain
    // (correlation, turning) ends instead of holding up its start.
    // Mode 1: the mean over the period and two more bars, newest first.
    double sum = 0.0;
#pragma GCC unroll 4
    for (int f = 0; f < terms + 2; ++f) sum += mid[-f];
    out.cycleAverage = toOutput(sum / (static_cast<double>(terms) + 2.0));
    // Mode 2.
    const double smoothed = 0.33 * (mean + 0.5 * (mean - mid[-3])) + 0.67 * smoothedPrice[before];
    smoothedPrice[now] = smoothed;
    out.smoothedPrice = toOutput(smoothed);
    return !sineInDoubt;
}

// The whole push, with the fast path above inlined: the outputs come back
// in registers, and only the bars it cannot decide leave for the stages.
static_assert(OneBarPath::Copies::kUnusedPairs >= kMostCorrelationTerms, "the sums' first pair lies in the array");

template <class V>
BarOutputs pushBar(OneBarPath& path, StreamHistory& h, UndoJournal& journal, StageContext& context, float priceA,
                   float priceB) {
    const double mean = meanPrice(priceA, priceB);
    BarOutputs out;
    if (__builtin_expect(pushOneBar<V>(path.copies(), h, context, mean, out), 1)) {
        journal.entries = 0;
        ++h.nextBar;
        return out;
    }
    return path.pushThroughStages(h, journal, context, mean);
}

}  // namespace
}  // namespace zorvane::detail
