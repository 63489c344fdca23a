#include "cycle_measurement.hpp"

#include <cmath>

#include "comparisons.hpp"

namespace zorvane::detail {
namespace {

// The raw period search for one bar: add the phase changes of this bar and
// the bars before it, newest first, until the sum passes a full turn; the
// count recorded is the number of terms added minus one, 0 for none.
double searchOne(const WorkingSeries& s, Bar bar) {
    double sum = 0.0;
    for (int m = 0; m <= kSearchLimit && bar - m >= 0; ++m) {
        sum += s.deltaPhase[bar - m];
        if (greaterThan(sum, 360.0)) return m;
    }
    return 0.0;
}

// The search decided with exact sums. Every phase change lies in [1, 60],
// so it is a whole multiple of 2^-52, and 41 of them scaled by 2^52 stay
// below 2^64: unsigned integers hold such sums exactly. The exact crossing
// bar comes from a window that slides with the bars (amortised constant work
// per bar). The rounded sums of the search differ from the exact ones by less
// than 41 x 2^-53 x 2460 < 2e-11, so when the exact sums on both sides of the
// crossing are further than 2^-30 from 360 the rounded search must stop at
// the same term; otherwise the bar runs the rounded search itself.
constexpr double kUnitsPerDegree = 4503599627370496.0;  // 2^52
constexpr std::uint64_t kFullTurnUnits = std::uint64_t{360} << 52;
constexpr std::uint64_t kMarginUnits = std::uint64_t{1} << 22;  // 2^-30 degrees

class ExactPhaseSums {
public:
    explicit ExactPhaseSums(const Series& changes) : changes_(changes) {}

    // The raw period search's result for bar l, bars taken in increasing order.
    double searchNext(const WorkingSeries& s, Bar l) {
        if (!started_) oldest_ = l, started_ = true;
        sum_ += units(l);
        if (l - oldest_ > kSearchLimit) sum_ -= units(oldest_++);
        // Only the first bar grows the window backwards.
        while (sum_ <= kFullTurnUnits && l - oldest_ < kSearchLimit && oldest_ > 0) sum_ += units(--oldest_);
        while (l > oldest_ && sum_ - units(oldest_) > kFullTurnUnits) sum_ -= units(oldest_++);

        if (sum_ > kFullTurnUnits) {
            const std::uint64_t before = sum_ - units(oldest_);
            if (sum_ - kFullTurnUnits > kMarginUnits && kFullTurnUnits - before > kMarginUnits)
                return static_cast<double>(l - oldest_);
        } else if (kFullTurnUnits - sum_ > kMarginUnits) {
            return 0.0;
        }
        return searchOne(s, l);
    }

private:
    std::uint64_t units(Bar bar) const {
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(changes_[bar] * kUnitsPerDegree));
    }

    const Series& changes_;
    std::uint64_t sum_ = 0;
    Bar oldest_ = 0;
    bool started_ = false;
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
    if (lessThan(change, 1.0)) change = 1.0;
    if (greaterThan(change, 60.0)) change = 60.0;
    return change;
}

void measurePhases(const WorkingSeries& s, Bar first, Bar last) {
    // The previous bar's components are carried in locals: read back from
    // the series they would wait on the stores just made.
    double inPhaseBefore = s.inPhase[first - 1];
    double quadratureBefore = s.quadrature[first - 1];
    double phaseBefore = s.phase[first - 1];
    for (Bar l = first; l < last; ++l) {
        const double difference = s.mid[l] - s.mid[l - 6];
        s.differenced[l] = difference;
        const double inPhase = 0.33 * s.differenced[l - 3] + 0.67 * inPhaseBefore;
        const double q = 0.25 * (s.differenced[l - 2] - s.differenced[l - 4]) +
                         0.75 * (difference - s.differenced[l - 6]);
        const double quadrature = 0.2 * q + 0.8 * quadratureBefore;
        const double phase = phaseAngle(inPhase, inPhaseBefore, quadrature, quadratureBefore);
        s.inPhase[l] = inPhase;
        s.quadrature[l] = quadrature;
        s.phase[l] = phase;
        s.deltaPhase[l] = clampedPhaseChange(phaseBefore, phase);
        inPhaseBefore = inPhase;
        quadratureBefore = quadrature;
        phaseBefore = phase;
    }
}

void searchRawPeriods(const WorkingSeries& s, Bar first, Bar last) {
    // Without a pass over 360 the bar keeps the previous bar's raw period.
    auto record = [&s](Bar bar, double found) {
        s.rawPeriod[bar] = isZero(found) ? s.rawPeriod[bar - 1] : found;
    };
    if (last - first == 1) {
        record(first, searchOne(s, first));
        return;
    }
    ExactPhaseSums sums(s.deltaPhase);
    for (Bar l = first; l < last; ++l) record(l, sums.searchNext(s, l));
}

void smoothPeriods(const WorkingSeries& s, Bar first, Bar last) {
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

}  // namespace zorvane::detail
