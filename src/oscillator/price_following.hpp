// Price-following outputs: the average price over the measured cycle (mode 1)
// and a smoothed price with a small momentum lead (mode 2). Before bar 25
// both are simply the bar's mean price.
#pragma once

#include "kernels.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

constexpr Bar kFirstSmoothedBar = 25;

// Mode 2's value of a bar from its mean price, the mean three bars before
// and the previous bar's value; before bar 25 the mean price itself.
inline double smoothedPriceOf(Bar bar, double mid, double midThreeBefore, double previous) {
    const double smoothed = 0.33 * (mid + 0.5 * (mid - midThreeBefore)) + 0.67 * previous;
    return bar < kFirstSmoothedBar ? mid : smoothed;
}

// Mode 1 for bars [first, last): out[l - first] receives the bar's value.
// Needs mid and period; averages of different bars run side by side.
template <class Layout>
void averageOverCycles(const SeriesSet<Layout>& s, Bar first, Bar last, float* out, const Kernels& kernels);

// Mode 2 for bars [first, last): writes smoothedPrice and, when out is not
// null, out[l - first]. Strictly in bar order: each bar reads the previous one.
template <class Layout>
void smoothPrices(const SeriesSet<Layout>& s, Bar first, Bar last, float* out);

}  // namespace zorvane::detail
