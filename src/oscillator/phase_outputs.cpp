#include "phase_outputs.hpp"

#include <cmath>

#include "comparisons.hpp"
#include "cycle_measurement.hpp"

namespace zorvane::detail {
namespace {

constexpr double kFullTurnRadians = 6.283185307;  // deliberately not 2 pi

// Correlation sums of L consecutive bars side by side; each lane adds its
// own period's terms, current bar first. A lane past its own period adds
// nothing.
template <int L>
void correlateGroup(const WorkingSeries& s, AngleTable& table, Bar firstBar,
                    double (&sineSum)[L], double (&cosineSum)[L]) {
    AngleTable::Row angles[L];
    int terms[L];
    int mostTerms = 0;
    for (int k = 0; k < L; ++k) {
        sineSum[k] = cosineSum[k] = 0.0;
        terms[k] = static_cast<int>(s.period[firstBar + k]);
        mostTerms = terms[k] > mostTerms ? terms[k] : mostTerms;
        angles[k] = terms[k] > 0 ? table.row(terms[k]) : AngleTable::Row{nullptr, nullptr};
    }
    for (int n = 0; n < mostTerms; ++n)
        for (int k = 0; k < L; ++k)
            if (n < terms[k]) {
                const double price = s.mid[firstBar + k - n];
                sineSum[k] += angles[k].sines[n] * price;
                cosineSum[k] += angles[k].cosines[n] * price;
            }
}

template <int L>
void phaseGroup(const WorkingSeries& s, AngleTable& table, Bar firstBar, float* sineOut,
                float* leadSineOut) {
    double sineSum[L], cosineSum[L];
    correlateGroup(s, table, firstBar, sineSum, cosineSum);
    for (int k = 0; k < L; ++k) {
        const Bar bar = firstBar + k;
        const double phase = cyclePhase(sineSum[k], cosineSum[k], s.period[bar], unroundedPeriod(s, bar));
        if (sineOut) sineOut[k] = toOutput(std::sin(phase * kRadiansPerDegree));
        if (leadSineOut) leadSineOut[k] = toOutput(std::sin((phase + 45.0) * kRadiansPerDegree));
    }
}

}  // namespace

double cyclePhase(double sineSum, double cosineSum, double period, double unrounded) {
    double phase;
    if (greaterThan(std::fabs(cosineSum), 0.001))
        phase = std::atan(sineSum / cosineSum) * kDegreesPerRadian;
    else
        phase = isNotZero(sineSum) ? std::copysign(90.0, sineSum) : 0.0;
    // Compensation for the lag of short cycles; the divisor is the period
    // before truncation.
    if (lessThan(period, 30.0) && greaterThan(unrounded, 0.0))
        phase += (6.818 / unrounded - 0.227) * 360.0;
    phase += 90.0;
    if (lessThan(cosineSum, 0.0)) phase += 180.0;
    if (greaterThan(phase, 315.0)) phase -= 360.0;
    return phase;
}

AngleTable::Row AngleTable::row(int period) {
    const int offset = (period - 1) * period / 2;
    if (!(filledRows_ >> period & 1u)) {
        for (int n = 0; n < period; ++n) {
            const double angle = static_cast<double>(n) * kFullTurnRadians / static_cast<double>(period);
            sines_[offset + n] = std::sin(angle);
            cosines_[offset + n] = std::cos(angle);
        }
        filledRows_ |= std::uint64_t{1} << period;
    }
    return {sines_ + offset, cosines_ + offset};
}

void phaseOutputs(const WorkingSeries& s, AngleTable& table, Bar first, Bar last, float* sineOut,
                  float* leadSineOut) {
    constexpr int kLanes = 4;
    auto at = [first](float* out, Bar bar) { return out ? out + (bar - first) : nullptr; };
    Bar l = first;
    for (; l + kLanes <= last; l += kLanes)
        phaseGroup<kLanes>(s, table, l, at(sineOut, l), at(leadSineOut, l));
    for (; l < last; ++l) phaseGroup<1>(s, table, l, at(sineOut, l), at(leadSineOut, l));
}

}  // namespace zorvane::detail
