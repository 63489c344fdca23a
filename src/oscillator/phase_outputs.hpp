// Phase outputs: the sine of the dominant cycle's phase (mode 3) and of that
// phase advanced by 45 degrees (mode 4). The phase comes from correlating the
// last `period` mean prices with one sine and one cosine period.
#pragma once

#include <cstdint>

#include "working_series.hpp"

namespace zorvane::detail {

// Sines and cosines of the correlation angles n * 6.283185307 / P, computed
// with the same library calls the correlation would make, once per period
// length that actually occurs. Owned by one call or one streaming object.
class AngleTable {
public:
    struct Row {
        const double* sines;
        const double* cosines;
    };
    // The P angles of a period P from 1 to kMaxPeriod; no angles for 0.
    Row row(int period) {
        if (period < 1) return {sines_ + kEntries, cosines_ + kEntries};
        const int offset = (period - 1) * period / 2;
        if (!(filledRows_ >> period & 1u)) fill(period, offset);
        return {sines_ + offset, cosines_ + offset};
    }

private:
    static constexpr int kEntries = kMaxPeriod * (kMaxPeriod + 1) / 2;
    void fill(int period, int offset);

    std::uint64_t filledRows_ = 0;
    double sines_[kEntries];
    double cosines_[kEntries];
};

// The bar's cycle phase in degrees from its correlation sums, its period and
// the period before truncation: raw phase, lag compensation, quadrant, fold.
double cyclePhase(double sineSum, double cosineSum, double period, double unrounded);

// Modes 3 and 4 for bars [first, last): sineOut[l - first] and
// leadSineOut[l - first] receive the bar's values; either may be null.
// Needs mid, period and rawPeriod; correlations of different bars run side
// by side.
template <class Layout>
void phaseOutputs(const SeriesSet<Layout>& s, AngleTable& table, Bar first, Bar last, float* sineOut,
                  float* leadSineOut);

}  // namespace zorvane::detail
