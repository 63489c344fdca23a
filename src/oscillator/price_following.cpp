#include "price_following.hpp"

#include "comparisons.hpp"
#include "lanes.hpp"

namespace zorvane::detail {
namespace {

// Mode 1 for one bar: the mean of mid over the bar and the period + 1 bars
// before it, summed newest first. Before bar 25, the bar's mean price.
template <class Layout>
double cycleAverage(const SeriesSet<Layout>& s, Bar bar) {
    const double period = s.period[bar];
    const int terms = static_cast<int>(period) + 2;
    double sum = 0.0;
    for (int f = 0; f < terms && bar - f >= 0; ++f) sum += s.mid[bar - f];
    return bar < kFirstSmoothedBar ? s.mid[bar] : sum / (period + 2.0);
}

// The same for two neighbouring bars at once, from bar 25 on; needs mid side
// by side from 38 bars before. A lane past its own length adds +0, which
// leaves its sum unchanged (a sum that starts at +0 never becomes -0).
Pair cycleAverageOfTwo(const WorkingSeries& s, Bar firstBar) {
    const double* mid = s.mid.at(firstBar);
    const Pair period = pairOf(s.period[firstBar], s.period[firstBar + 1]);
    const Pair terms = period + 2.0;
    const int mostTerms = static_cast<int>(period[0] > period[1] ? period[0] : period[1]) + 2;
    Pair sum = {};
    for (int f = 0; f < mostTerms; ++f)
        sum += keepWhere(lessThan(broadcast(f), terms), loadPair(mid - f));
    return sum / terms;
}

}  // namespace

template <class Layout>
void averageOverCycles(const SeriesSet<Layout>& s, Bar first, Bar last, float* out) {
    Bar l = first;
    if constexpr (Layout::kContiguous) {
        for (; l < last && l < kFirstSmoothedBar; ++l) out[l - first] = toOutput(cycleAverage(s, l));
        for (; l + 2 <= last; l += 2) {
            const Pair average = cycleAverageOfTwo(s, l);
            out[l - first] = toOutput(average[0]);
            out[l + 1 - first] = toOutput(average[1]);
        }
    }
    for (; l < last; ++l) out[l - first] = toOutput(cycleAverage(s, l));
}

template <class Layout>
void smoothPrices(const SeriesSet<Layout>& s, Bar first, Bar last, float* out) {
    for (Bar l = first; l < last; ++l) {
        const double mid = s.mid[l];
        double smoothed = 0.33 * (mid + 0.5 * (mid - s.mid[l - 3])) + 0.67 * s.smoothedPrice[l - 1];
        if (l < kFirstSmoothedBar) smoothed = mid;
        s.smoothedPrice[l] = smoothed;
        if (out) out[l - first] = toOutput(smoothed);
    }
}

// The two layouts the stages run over.
template void averageOverCycles(const WorkingSeries&, Bar, Bar, float*);
template void averageOverCycles(const StreamingSeries&, Bar, Bar, float*);
template void smoothPrices(const WorkingSeries&, Bar, Bar, float*);
template void smoothPrices(const StreamingSeries&, Bar, Bar, float*);

}  // namespace zorvane::detail
