#include "price_following.hpp"

#include "kernels.hpp"

#include <cstdint>
#include <cstring>

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

// The same for four neighbouring bars at once, two per register, from bar
// 25 on; needs mid side by side from 38 bars before. A lane past its own
// length adds +0, which leaves its sum unchanged (a sum that starts at +0
// never becomes -0).
void cycleAverageOfFour(const WorkingSeries& s, Bar firstBar, Pair (&average)[2]) {
    const double* mid = s.mid.at(firstBar);
    const Pair periodLow = pairOf(s.period[firstBar], s.period[firstBar + 1]);
    const Pair periodHigh = pairOf(s.period[firstBar + 2], s.period[firstBar + 3]);
    const Pair termsLow = periodLow + 2.0, termsHigh = periodHigh + 2.0;
    double longest = 0.0;
    for (double p : {periodLow[0], periodLow[1], periodHigh[0], periodHigh[1]}) longest = p > longest ? p : longest;
    const int mostTerms = static_cast<int>(longest) + 2;
    Pair sumLow = {}, sumHigh = {};
    for (int f = 0; f < mostTerms; ++f) {
        const Pair index = broadcast(f);
        sumLow += keepWhere(lessThan(index, termsLow), loadPair(mid - f));
        sumHigh += keepWhere(lessThan(index, termsHigh), loadPair(mid + 2 - f));
    }
    average[0] = sumLow / termsLow;
    average[1] = sumHigh / termsHigh;
}

}  // namespace

template <class Layout>
void averageOverCycles(const SeriesSet<Layout>& s, Bar first, Bar last, float* out, const Kernels& kernels) {
    Bar l = first;
    if constexpr (Layout::kContiguous) {
        for (; l < last && l < kFirstSmoothedBar; ++l) out[l - first] = toOutput(cycleAverage(s, l));
        // At most kChunkBars bars a call: the first window holds more.
        while (l < last) {
            const Bar bars = last - l < kChunkBars ? last - l : kChunkBars;
            // Every mean a sum of these bars may take, from the earliest.
            const Bar earliest = l - kMaxPeriod - 2 > 0 ? l - kMaxPeriod - 2 : 0;
            if (!kernels.averages(s.mid.at(l), s.period.at(l), static_cast<int>(bars), static_cast<int>(l - earliest),
                                  out + (l - first)))
                break;
            l += bars;
        }
        for (; l + 4 <= last; l += 4) {
            Pair average[2];
            cycleAverageOfFour(s, l, average);
            for (int k = 0; k < 4; ++k) out[l + k - first] = toOutput(average[k / 2][k % 2]);
        }
    }
    for (; l < last; ++l) out[l - first] = toOutput(cycleAverage(s, l));
}

template <class Layout>
void smoothPrices(const SeriesSet<Layout>& s, Bar first, Bar last, float* out) {
    // The previous bar's value is carried in a local: read back from the
    // series it would put a store and a load into the chain from bar to bar.
    double previous = s.smoothedPrice[first - 1];
    for (Bar l = first; l < last; ++l) {
        const double smoothed = smoothedPriceOf(l, s.mid[l], s.mid[l - 3], previous);
        s.smoothedPrice[l] = previous = smoothed;
        if (out) out[l - first] = toOutput(smoothed);
    }
}

// The two layouts the stages run over.
template void averageOverCycles(const WorkingSeries&, Bar, Bar, float*, const Kernels&);
template void averageOverCycles(const StreamingSeries&, Bar, Bar, float*, const Kernels&);
template void smoothPrices(const WorkingSeries&, Bar, Bar, float*);
template void smoothPrices(const StreamingSeries&, Bar, Bar, float*);

}  // namespace zorvane::detail
