#include "price_following.hpp"

namespace zorvane::detail {
namespace {

// Sum of mid over the bar and the period + 1 bars before it, current bar
// first, for L consecutive bars side by side. A lane past its own length adds
// nothing; its sum is never -0 (it starts at +0), so adding +0 would not
// change it either.
template <int L>
void averageGroup(const WorkingSeries& s, Bar firstBar, float* out) {
    double sum[L];
    int terms[L];
    int mostTerms = 0;
    for (int k = 0; k < L; ++k) {
        sum[k] = 0.0;
        terms[k] = static_cast<int>(s.period[firstBar + k]) + 2;
        mostTerms = terms[k] > mostTerms ? terms[k] : mostTerms;
    }
    for (int f = 0; f < mostTerms; ++f)
        for (int k = 0; k < L; ++k) {
            const Bar bar = firstBar + k - f;
            if (f < terms[k] && bar >= 0) sum[k] += s.mid[bar];
        }
    for (int k = 0; k < L; ++k) {
        const Bar bar = firstBar + k;
        const double average = sum[k] / (s.period[bar] + 2.0);
        out[k] = toOutput(bar < kFirstSmoothedBar ? s.mid[bar] : average);
    }
}

}  // namespace

void averageOverCycles(const WorkingSeries& s, Bar first, Bar last, float* out) {
    constexpr int kLanes = 4;
    Bar l = first;
    for (; l + kLanes <= last; l += kLanes) averageGroup<kLanes>(s, l, out + (l - first));
    for (; l < last; ++l) averageGroup<1>(s, l, out + (l - first));
}

void smoothPrices(const WorkingSeries& s, Bar first, Bar last, float* out) {
    for (Bar l = first; l < last; ++l) {
        const double mid = s.mid[l];
        double smoothed = 0.33 * (mid + 0.5 * (mid - s.mid[l - 3])) + 0.67 * s.smoothedPrice[l - 1];
        if (l < kFirstSmoothedBar) smoothed = mid;
        s.smoothedPrice[l] = smoothed;
        if (out) out[l - first] = toOutput(smoothed);
    }
}

}  // namespace zorvane::detail
