#include "cycle_measurement.hpp"

#include <cmath>

#include "certification.hpp"
#include "comparisons.hpp"
#include "exact_search.hpp"
#include "price_following.hpp"

namespace zorvane::detail {
namespace {

// The library's angle and the exact change, for bars whose fast values
// cannot decide something. Angles of the warm-up bars are exact zeros.
template <class Layout>
void makePhaseExact(const SeriesSet<Layout>& s, Bar bar, StageContext& context) {
    if (s.certainty[bar] & kExactPhase) return;
    context.remember(s.phase[bar]);
    context.remember(s.certainty[bar]);
    s.phase[bar] = phaseAngle(s.inPhase[bar], s.inPhase[bar - 1], s.quadrature[bar], s.quadrature[bar - 1]);
    s.certainty[bar] |= kExactPhase;
    context.count(&FallbackCounts::phaseAngles);
}

template <class Layout>
void makeChangeExact(const SeriesSet<Layout>& s, Bar bar, StageContext& context) {
    if (s.certainty[bar] & kExactChange) return;
    makePhaseExact(s, bar - 1, context);
    makePhaseExact(s, bar, context);
    context.remember(s.deltaPhase[bar]);
    context.remember(s.certainty[bar]);
    s.deltaPhase[bar] = clampedPhaseChange(s.phase[bar - 1], s.phase[bar]);
    s.certainty[bar] = (s.certainty[bar] | kExactChange) & ~kWrapInDoubt;
}

// The raw period search for one bar: add the phase changes of this bar and
// the bars before it, newest first, until the sum passes a full turn; the
// count recorded is the number of terms added minus one, 0 for none.
template <class Layout>
double searchOne(const SeriesSet<Layout>& s, Bar bar) {
    double sum = 0.0;
    for (int m = 0; m <= kSearchLimit && bar - m >= 0; ++m) {
        sum += s.deltaPhase[bar - m];
        if (greaterThan(sum, 360.0)) return m;
    }
    return 0.0;
}

// The same search on exact changes: every change it may add made exact.
template <class Layout>
double searchOneExactly(const SeriesSet<Layout>& s, Bar bar, StageContext& context) {
    for (Bar j = bar > kSearchLimit ? bar - kSearchLimit : kWarmupBars; j <= bar; ++j)
        makeChangeExact(s, j, context);
    context.count(&FallbackCounts::searches);
    return searchOne(s, bar);
}

// One bar's search on the changes as they are. The sums only grow, so only
// the last sum before the stop and the one that stops can be near 360; and
// a sum of exact changes is the literal sum itself (six changes clamped to
// 60 make exactly 360, often). If no sum that holds an inexact change lies
// within the margin, exact changes stop at the same term.
template <class Layout>
double searchOneCertified(const SeriesSet<Layout>& s, Bar bar, StageContext& context) {
    double sum = 0.0;
    bool inexact = false, doubt = false;
    for (int m = 0; m <= kSearchLimit && bar - m >= 0; ++m) {
        sum += s.deltaPhase[bar - m];
        inexact = inexact || !(s.certainty[bar - m] & kExactChange);
        doubt = doubt || (inexact && std::fabs(sum - 360.0) <= kSearchMarginDegrees);
        if (greaterThan(sum, 360.0)) {
            if (!doubt) return m;
            break;
        }
    }
    if (!doubt) return 0.0;
    return searchOneExactly(s, bar, context);
}

// The in-phase and quadrature filters run from bar to bar; the previous
// bar's components are carried in locals rather than read back from the
// series they were just stored in.
//
// With `smoothedOut`, mode 2's smoothed price too (and its output from
// out[0] on): a third chain from bar to bar, which the processor overlaps
// with the other two when it is in the same loop.
template <class Layout>
void filterComponents(const SeriesSet<Layout>& s, Bar first, Bar last, float* smoothedOut = nullptr) {
    double inPhaseBefore = s.inPhase[first - 1];
    double quadratureBefore = s.quadrature[first - 1];
    double smoothedBefore = s.smoothedPrice[first - 1];
    for (Bar l = first; l < last; ++l) {
        const double difference = s.mid[l] - s.mid[l - 6];
        s.differenced[l] = difference;
        const double q = 0.25 * (s.differenced[l - 2] - s.differenced[l - 4]) +
                         0.75 * (difference - s.differenced[l - 6]);
        inPhaseBefore = s.inPhase[l] = 0.33 * s.differenced[l - 3] + 0.67 * inPhaseBefore;
        quadratureBefore = s.quadrature[l] = 0.2 * q + 0.8 * quadratureBefore;
        if (smoothedOut) {
            smoothedBefore = s.smoothedPrice[l] = smoothedPriceOf(l, s.mid[l], s.mid[l - 3], smoothedBefore);
            smoothedOut[l - first] = toOutput(smoothedBefore);
        }
    }
}

// The smoothed period after `previous` given the raw period. For whole
// numbers p <= 37 and r <= 40, 0.75 p + 0.25 r is computed exactly in
// doubles (every term is a small multiple of 0.25), so its truncation is the
// integer quotient (3p + r) / 4: the same value without a conversion chain
// from bar to bar.
inline std::uint32_t nextPeriod(std::uint32_t previous, std::int32_t rawPeriod) {
    return (3 * previous + static_cast<std::uint32_t>(rawPeriod)) >> 2;
}
inline std::uint32_t nextPeriod(std::uint32_t previous, double rawPeriod) {
    return nextPeriod(previous, static_cast<std::int32_t>(rawPeriod));
}

// Angles and changes of one bar of a ring, through the one-bar kernel.
template <class Layout>
bool anglesAndChangesOfOneBar(const SeriesSet<Layout>& s, Bar l, const Kernels& kernels) {
    const double components[4] = {s.inPhase[l], s.inPhase[l - 1], s.quadrature[l], s.quadrature[l - 1]};
    return kernels.angleAndChangeOfOneBar(components, s.phase[l - 1], s.certainty[l - 1], &s.phase[l],
                                          &s.deltaPhase[l], &s.certainty[l]);
}

}  // namespace

double phaseAngle(double inPhaseNow, double inPhaseBefore, double quadratureNow,
                  double quadratureBefore) {
    const double s = inPhaseBefore + inPhaseNow;
    double angle = 0.0;
    if (isNotZero(s))
        angle = std::atan(std::fabs((quadratureNow + quadratureBefore) / s)) * kDegreesPerRadian;
    // Quadrant from the current components alone (not the sums above).
    const double i = inPhaseNow, q = quadratureNow;
    if (lessThan(i, 0.0) && greaterThan(q, 0.0)) angle = 180.0 - angle;
    if (lessThan(i, 0.0) && lessThan(q, 0.0)) angle = angle + 180.0;
    if (greaterThan(i, 0.0) && lessThan(q, 0.0)) angle = 360.0 - angle;
    return angle;
}

double clampedPhaseChange(double before, double now) {
    double change = before - now;
    if (lessThan(before, 90.0) && greaterThan(now, 270.0)) change = (before + 360.0) - now;
    return lowerTo(60.0, raiseTo(1.0, change));
}

template <class Layout>
void measureAnglesAndChanges(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context,
                             bool anglesMeasured) {
    // Independent per bar: many bars at once, with the fast arctangent.
    // Changes whose wrap test the fast angles cannot decide are then redone
    // from the library's angles.
    bool doubt = false;
    if constexpr (Layout::kContiguous) {
        const auto n = static_cast<int>(last - first);
        if (!anglesMeasured)
            context.kernels.phaseAngles(s.inPhase.at(first), s.quadrature.at(first), n, s.phase.at(first),
                                        s.certainty.at(first));
        doubt = context.kernels.phaseChanges(s.phase.at(first), n, s.deltaPhase.at(first), s.certainty.at(first));
    } else {
        for (Bar l = first; l < last; ++l) doubt |= anglesAndChangesOfOneBar(s, l, context.kernels);
    }
    if (!doubt) return;
    for (Bar l = first; l < last; ++l)
        if (s.certainty[l] & kWrapInDoubt) {
            context.count(&FallbackCounts::wrapTests);
            makeChangeExact(s, l, context);
        }
}

template <class Layout>
void measurePhases(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context) {
    filterComponents(s, first, last);
    measureAnglesAndChanges(s, first, last, context);
}

template <class Layout>
void searchRawPeriods(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context) {
    // Without a pass over 360 the bar keeps the previous bar's raw period
    // (carried in a local: the series would make a chain through memory).
    double previous = s.rawPeriod[first - 1];
    // A batch call smooths the periods here too (smoothPeriods' formula):
    // its chain from bar to bar then overlaps this one.
    auto period = static_cast<std::uint32_t>(s.period[first - 1]);
    auto record = [&s, &previous, &period](Bar bar, double found) {
        previous = isZero(found) ? previous : found;
        s.rawPeriod[bar] = previous;
        if constexpr (Layout::kContiguous) {
            period = nextPeriod(period, previous);
            s.period[bar] = period;
        } else {
            static_cast<void>(period);  // the streaming layout smooths elsewhere
        }
    };
    Bar l = first;
    if constexpr (Layout::kContiguous) {
        for (; l < last && l < kTerms; ++l) record(l, searchOneCertified(s, l, context));
        if (last - l > 1) {
            // Many bars side by side; bars in doubt are searched one by one.
            std::int32_t found[kChunkBars];
            std::uint64_t doubts[kChunkBars / 64];
            for (; l < last; l += kChunkBars) {
                const int n = static_cast<int>(last - l < kChunkBars ? last - l : kChunkBars);
                context.kernels.rawPeriods(s.deltaPhase.at(l), n, static_cast<int>(previous) + 1, found, doubts);
                // A search redone may make earlier changes exact, which
                // changes no other bar's result (each is the exact one).
                for (int w = 0; w < (n + 63) / 64; ++w)
                    for (std::uint64_t doubt = doubts[w]; doubt; doubt &= doubt - 1) {
                        const int k = 64 * w + __builtin_ctzll(doubt);
                        found[k] = static_cast<std::int32_t>(searchOneCertified(s, l + k, context));
                    }
                // Then the record without a branch: whole numbers, held in
                // integers, so that each chain step is one instruction or three.
                double* rawPeriods = s.rawPeriod.at(l);
                double* periods = s.period.at(l);
                auto held = static_cast<std::int32_t>(previous);
                for (int k = 0; k < n; ++k) {
                    const std::int32_t stop = found[k];  // 0 or 6 to 40
                    held = stop != 0 ? stop : held;
                    rawPeriods[k] = held;
                    period = nextPeriod(period, held);
                    periods[k] = period;
                }
                previous = held;
            }
            return;
        }
    }
    // One bar at a time (the streaming object): from the totals it keeps.
    for (; l < last; ++l) {
        if constexpr (!Layout::kContiguous) {
            s.changeTotals[l] = s.changeTotals[l - 1] + changeUnits(s.deltaPhase[l]);
            const double guess = s.rawPeriod[l - 1];
            const double found =
                l > kTerms ? searchFromTotals(s.changeTotals.data, l, guess > 0 ? static_cast<int>(guess) + 1 : 0)
                           : -1.0;
            if (found >= 0) {
                record(l, found);
                continue;
            }
        }
        record(l, searchOneCertified(s, l, context));
    }
}

template <class Layout>
void smoothPeriods(const SeriesSet<Layout>& s, Bar first, Bar last) {
    auto previous = static_cast<std::uint32_t>(s.period[first - 1]);
    for (Bar l = first; l < last; ++l) {
        previous = nextPeriod(previous, s.rawPeriod[l]);
        s.period[l] = previous;
    }
}

void measureChunk(const WorkingSeries& s, Bar first, Bar last, StageContext& context, float* smoothedOut) {
    if (smoothedOut && first < kFirstSmoothedBar) {
        // Mode 2's first bars take the mean price, not the chain's formula.
        filterComponents(s, first, last, smoothedOut);
        measureAnglesAndChanges(s, first, last, context);
    } else {
        const auto n = static_cast<int>(last - first);
        double* const smoothed = smoothedOut ? s.smoothedPrice.at(first) : nullptr;
        context.kernels.filteredAngles(s.mid.at(first), s.differenced.at(first), s.inPhase.at(first),
                                       s.quadrature.at(first), smoothed, n, s.phase.at(first), s.certainty.at(first));
        for (int k = 0; smoothed && k < n; ++k) smoothedOut[k] = toOutput(smoothed[k]);
        measureAnglesAndChanges(s, first, last, context, true);
    }
    searchRawPeriods(s, first, last, context);
}

// The two layouts the stages run over.
template void measureAnglesAndChanges(const WorkingSeries&, Bar, Bar, StageContext&, bool);
template void measurePhases(const WorkingSeries&, Bar, Bar, StageContext&);
template void measurePhases(const StreamingSeries&, Bar, Bar, StageContext&);
template void searchRawPeriods(const WorkingSeries&, Bar, Bar, StageContext&);
template void searchRawPeriods(const StreamingSeries&, Bar, Bar, StageContext&);
template void smoothPeriods(const WorkingSeries&, Bar, Bar);
template void smoothPeriods(const StreamingSeries&, Bar, Bar);

}  // namespace zorvane::detail
