// Cycle measurement: for each bar the phase of the dominant cycle, how far it
// moved, how many bars it takes to turn a full circle, and the smoothed period.
//
// The work is split in three passes over a range of bars so that the batch
// call can run each pass over the whole series (the raw period search of
// different bars is independent and runs several bars side by side), while
// the streaming object runs all three over a single bar. Results are the
// same bits either way.
#pragma once

#include "stage_context.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

inline double meanPrice(float priceA, float priceB) {
    return (static_cast<double>(priceA) + static_cast<double>(priceB)) * 0.5;
}

// Phase angle in degrees from the current and previous in-phase and
// quadrature components: 0 to 360 for finite components. With the library's
// arctangent: the value the fast path must stand in for.
double phaseAngle(double inPhaseNow, double inPhaseBefore, double quadratureNow,
                  double quadratureBefore);

// Phase change from the previous bar's angle to this one's, unwrapped across
// 360 and clamped to [1, 60].
double clampedPhaseChange(double before, double now);

// Difference, in-phase and quadrature components, phase angle and clamped
// phase change for bars [first, last); mid must already hold those bars.
// The angles may come from the fast arctangent (their certainty says which),
// never off by enough to change a later decision.
template <class Layout>
void measurePhases(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context);

// The second half of measurePhases: angles and changes of bars [first,
// last) from the components already there (and the angles too, if
// `anglesMeasured`).
template <class Layout>
void measureAnglesAndChanges(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context,
                             bool anglesMeasured = false);

// Raw period for bars [first, last): how many earlier phase changes it takes
// for the sum to pass a full turn; needs deltaPhase up to last - 1. Exactly
// the literal search's result, whatever angles the changes came from. Over
// a batch call's windows it smooths the periods too (smoothPeriods).
template <class Layout>
void searchRawPeriods(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context);

// Smoothed, truncated period for bars [first, last); needs rawPeriod.
template <class Layout>
void smoothPeriods(const SeriesSet<Layout>& s, Bar first, Bar last);

// The three passes in order, for bars that arrive one at a time.
template <class Layout>
void measureCycles(const SeriesSet<Layout>& s, Bar first, Bar last, StageContext& context) {
    measurePhases(s, first, last, context);
    searchRawPeriods(s, first, last, context);
    if constexpr (!Layout::kContiguous) smoothPeriods(s, first, last);
}

// measureCycles over a batch call's chunk, with mode 2's smoothed prices
// (smoothPrices, from smoothedOut[0] on) in the same loop when smoothedOut
// is not null.
void measureChunk(const WorkingSeries& s, Bar first, Bar last, StageContext& context, float* smoothedOut);

// The smoothed period of a bar before truncation; positive exactly when the
// bar's period is at least 1.
template <class Layout>
double unroundedPeriod(const SeriesSet<Layout>& s, Bar bar) {
    return 0.75 * s.period[bar - 1] + 0.25 * s.rawPeriod[bar];
}

}  // namespace zorvane::detail
