// Phase outputs: the sine of the dominant cycle's phase (mode 3) and of that
// phase advanced by 45 degrees (mode 4). The phase comes from correlating the
// last `period` mean prices with one sine and one cosine period.
#pragma once

#include "stage_context.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

// The bar's cycle phase in degrees from its correlation sums, its period and
// the period before truncation: raw phase, lag compensation, quadrant, fold.
// With the library's arctangent: the value the fast path must reproduce.
double cyclePhase(double sineSum, double cosineSum, double period, double unrounded);

// Modes 3 and 4 for bars [first, last): sineOut[l - first] and
// leadSineOut[l - first] receive the bar's values; either may be null.
// Needs mid, period and rawPeriod.
template <class Layout>
void phaseOutputs(const SeriesSet<Layout>& s, StageContext& context, Bar first, Bar last, float* sineOut,
                  float* leadSineOut);

}  // namespace zorvane::detail
