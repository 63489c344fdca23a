// Price-following outputs: the average price over the measured cycle (mode 1)
// and a smoothed price with a small momentum lead (mode 2). Before bar 25
// both are simply the bar's mean price.
#pragma once

#include "kernels.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

constexpr Bar kFirstSmoothedBar = 25;

// Mode 1 for bars [first, last): out[l - first] receives the bar's value.
// Needs mid and period; averages of different bars run side by side.
template <class Layout>
void averageOverCycles(const SeriesSet<Layout>& s, Bar first, Bar last, float* out, const Kernels& kernels);

// Mode 2 for bars [first, last): writes smoothedPrice and, when out is not
// null, out[l - first]. Strictly in bar order: each bar reads the previous one.
template <class Layout>
void smoothPrices(const SeriesSet<Layout>& s, Bar first, Bar last, float* out);

}  // namespace zorvane::detail
