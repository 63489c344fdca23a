// The one-bar path's body, written once and compiled by one_bar_*.cpp for
// the instruction set of the kernels the stages run, whose one-bar steps
// it inlines (kernel_bodies.hpp has internal linkage: include this only
// from those files).
#pragma once

#include "exact_search.hpp"
#include "kernel_bodies.hpp"
#include "one_bar_path.hpp"

namespace zorvane::detail {
namespace {

// The search of bar l from the exact totals, among the windows of about as
// many terms as the previous bar needed (`guess`; neighbours need about as
// many): the terms recorded, 0 for none, or -1 where the crossing lies
// outside these windows or a sum lies within the margin of 360, for
// searchFromTotals to decide. total[-k] is the total before the k newest
// changes.
inline double searchNearGuess(const std::uint64_t* total, int guess) {
    constexpr int kProbes = 5;
    int shortest = guess - 2 < 6 ? 6 : guess - 2;  // 6 terms never pass 360
    shortest = shortest > kTerms - kProbes + 1 ? kTerms - kProbes + 1 : shortest;
    const std::uint64_t* const start = total - shortest;
    int passing = 0;
    bool near = false;
#pragma GCC unroll 8
    for (int k = 0; k < kProbes; ++k) {
        const std::uint64_t sum = total[0] - start[-k];
        passing += sum > kFullTurnUnits;
        near |= sum - (kFullTurnUnits - kMarginUnits) <= 2 * kMarginUnits;
    }
    // Sums grow with the window: passing windows are the longest ones.
    const bool inside = passing > 0 && passing < kProbes;
    return near || !inside ? -1.0 : static_cast<double>(shortest + kProbes - passing - 1);
}

// The sine and cosine sums of a bar's correlation, side by side, in the
// order of correlateOne; mid[-n] is the mean price n bars back.
inline Pair correlation(const Pair* angles, const double* mid, int terms) {
    Pair sums = {};
#pragma GCC unroll 2
    for (int n = 0; n < terms; ++n) sums += angles[n] * mid[-n];
    return sums;
}

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
    Pair sums = correlation(c.anglesOf(likelyTerms, context.angles), mid, likelyTerms);

    // Angle and change; a wrap test in doubt needs the library's angles.
    const double components[4] = {inPhaseNow, inPhase[before], quadratureNow, quadrature[before]};
    if (angleAndChangeOfOneBar<V>(components, phase[before], h.certainty[before], &phase[now], &change[now],
                                  &h.certainty[now]))
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
    // The smoothed period as smoothPeriods computes it, and untruncated.
    const int terms = static_cast<int>((3 * static_cast<std::uint32_t>(periodBefore) +
                                        static_cast<std::uint32_t>(raw)) >> 2);
    period[now] = terms;
    const double unrounded = 0.75 * periodBefore + 0.25 * raw;

    // Mode 1: the mean over the period and two more bars, newest first.
    double sum = 0.0;
#pragma GCC unroll 4
    for (int f = 0; f < terms + 2; ++f) sum += mid[-f];
    out.cycleAverage = toOutput(sum / (static_cast<double>(terms) + 2.0));
    // Mode 2.
    const double smoothed = 0.33 * (mean + 0.5 * (mean - mid[-3])) + 0.67 * smoothedPrice[before];
    smoothedPrice[now] = smoothed;
    out.smoothedPrice = toOutput(smoothed);

    // Modes 3 and 4: both correlation sums in one register, the
    // compensation from its table, the fast chain, unless it cannot vouch.
    if (terms != likelyTerms) sums = correlation(c.anglesOf(terms, context.angles), mid, terms);
    const bool compensated = lessThan(static_cast<double>(terms), 30.0) && greaterThan(unrounded, 0.0);
    const double compensation =
        compensated ? context.compensation.byQuarters()[static_cast<int>(unrounded * 4.0)] : 0.0;
    return !phaseOutputsOfOneBar<V>(sums[0], sums[1], compensation, &out.sine, &out.leadSine);
}

}  // namespace
}  // namespace zorvane::detail
