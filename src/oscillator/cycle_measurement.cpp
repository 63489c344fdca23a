#include "cycle_measurement.hpp"

#include <cmath>

#include "comparisons.hpp"

namespace zorvane::detail {
namespace {

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

// The search decided with exact sums. Every phase change lies in [1, 60],
// so it is a whole multiple of 2^-52, and 41 of them scaled by 2^52 stay
// below 2^64: differences of running totals kept modulo 2^64 give such sums
// exactly. The rounded sums of the search differ from the exact ones by less
// than 41 x 2^-53 x 2460 < 2e-11, so when the exact sums on both sides of the
// crossing are further than 2^-30 from 360 the rounded search must stop at
// the same term; otherwise the bar runs the rounded search itself. Nothing
// here waits on the previous bar's result, so bars overlap in the pipeline.
constexpr double kUnitsPerDegree = 4503599627370496.0;  // 2^52
constexpr std::uint64_t kFullTurnUnits = std::uint64_t{360} << 52;
constexpr std::uint64_t kMarginUnits = std::uint64_t{1} << 22;  // 2^-30 degrees
constexpr int kTerms = kSearchLimit + 1;

class ExactPhaseSums {
public:
    // Ready to search bars from `first` on, which must be at least kTerms.
    ExactPhaseSums(const WorkingSeries& s, Bar first) : s_(s), next_(first - kTerms) {
        for (Bar bar = next_; bar < first; ++bar) append(bar);
    }

    // The search's result for the next bar, bars taken in increasing order.
    double searchNext() {
        const Bar l = next_;
        append(l);
        // Exact sum of the terms from bar l back to bar j + 1.
        auto sumAfter = [this, l](Bar j) { return total(l) - total(j); };
        // How many of the windows ending at l-41 .. l-1 leave a sum above
        // 360; the sums shrink as the window does, so a binary search finds it.
        int above = 0;
        for (int step = 32; step > 0; step /= 2) {
            const int probe = above + step;
            if (probe <= kTerms && sumAfter(l - kTerms - 1 + probe) > kFullTurnUnits) above = probe;
        }
        if (above == 0) {
            if (kFullTurnUnits - sumAfter(l - kTerms - 1) > kMarginUnits) return 0.0;
        } else {
            const Bar j = l - kTerms - 1 + above;  // the sum from l back to j + 1 passes
            const std::uint64_t crossing = sumAfter(j);
            const std::uint64_t before = above == kTerms ? 0 : sumAfter(j + 1);
            if (crossing - kFullTurnUnits > kMarginUnits && kFullTurnUnits - before > kMarginUnits)
                return static_cast<double>(l - j - 1);
        }
        return searchOne(s_, l);
    }

private:
    void append(Bar bar) {
        const auto units = static_cast<std::uint64_t>(static_cast<std::int64_t>(s_.deltaPhase[bar] * kUnitsPerDegree));
        totals_[bar & kMask] = totals_[(bar - 1) & kMask] + units;
        next_ = bar + 1;
    }
    std::uint64_t total(Bar bar) const { return totals_[bar & kMask]; }

    static constexpr Bar kMask = 63;
    const WorkingSeries& s_;
    Bar next_;
    std::uint64_t totals_[kMask + 1] = {};
};

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
void measurePhases(const SeriesSet<Layout>& s, Bar first, Bar last) {
    // Three sweeps over the bars. Only the first carries a value from bar to
    // bar; the angles and their changes are independent per bar, so the
    // arctangents of neighbouring bars overlap in the processor. The previous
    // bar's components are carried in locals rather than read back from the
    // series they were just stored in.
    double inPhaseBefore = s.inPhase[first - 1];
    double quadratureBefore = s.quadrature[first - 1];
    for (Bar l = first; l < last; ++l) {
        const double difference = s.mid[l] - s.mid[l - 6];
        s.differenced[l] = difference;
        const double q = 0.25 * (s.differenced[l - 2] - s.differenced[l - 4]) +
                         0.75 * (difference - s.differenced[l - 6]);
        inPhaseBefore = s.inPhase[l] = 0.33 * s.differenced[l - 3] + 0.67 * inPhaseBefore;
        quadratureBefore = s.quadrature[l] = 0.2 * q + 0.8 * quadratureBefore;
    }
    for (Bar l = first; l < last; ++l)
        s.phase[l] = phaseAngle(s.inPhase[l], s.inPhase[l - 1], s.quadrature[l], s.quadrature[l - 1]);
    for (Bar l = first; l < last; ++l) s.deltaPhase[l] = clampedPhaseChange(s.phase[l - 1], s.phase[l]);
}

template <class Layout>
void searchRawPeriods(const SeriesSet<Layout>& s, Bar first, Bar last) {
    // Without a pass over 360 the bar keeps the previous bar's raw period.
    auto record = [&s](Bar bar, double found) {
        s.rawPeriod[bar] = isZero(found) ? s.rawPeriod[bar - 1] : found;
    };
    Bar l = first;
    if constexpr (Layout::kContiguous) {
        for (; l < last && l < kTerms; ++l) record(l, searchOne(s, l));
        if (last - l > 1) {
            ExactPhaseSums sums(s, l);
            for (; l < last; ++l) record(l, sums.searchNext());
        }
    }
    for (; l < last; ++l) record(l, searchOne(s, l));
}

template <class Layout>
void smoothPeriods(const SeriesSet<Layout>& s, Bar first, Bar last) {
    // For whole numbers p <= 37 and r <= 40, 0.75 p + 0.25 r is computed
    // exactly in doubles (every term is a small multiple of 0.25), so its
    // truncation is the integer quotient (3p + r) / 4: the same value
    // without a conversion chain from bar to bar.
    std::int32_t previous = static_cast<std::int32_t>(s.period[first - 1]);
    for (Bar l = first; l < last; ++l) {
        previous = (3 * previous + static_cast<std::int32_t>(s.rawPeriod[l])) / 4;
        s.period[l] = previous;
    }
}

// The two layouts the stages run over.
template void measurePhases(const WorkingSeries&, Bar, Bar);
template void measurePhases(const StreamingSeries&, Bar, Bar);
template void searchRawPeriods(const WorkingSeries&, Bar, Bar);
template void searchRawPeriods(const StreamingSeries&, Bar, Bar);
template void smoothPeriods(const WorkingSeries&, Bar, Bar);
template void smoothPeriods(const StreamingSeries&, Bar, Bar);

}  // namespace zorvane::detail
