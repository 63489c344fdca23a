#include "phase_outputs.hpp"

#include <cmath>

#include "comparisons.hpp"
#include "cycle_measurement.hpp"
#include "lanes.hpp"

namespace zorvane::detail {
namespace {

constexpr double kFullTurnRadians = 6.283185307;  // deliberately not 2 pi

struct Correlation {
    double sineSum, cosineSum;
};

// The correlation of one bar: the last P mean prices, current bar first,
// against one full sine and cosine period.
template <class Layout>
Correlation correlateOne(const SeriesSet<Layout>& s, AngleTable& table, Bar bar) {
    const int period = static_cast<int>(s.period[bar]);
    Correlation c{0.0, 0.0};
    if (period < 1) return c;
    const AngleTable::Row angles = table.row(period);
    for (int n = 0; n < period; ++n) {
        const double price = s.mid[bar - n];
        c.sineSum += angles.sines[n] * price;
        c.cosineSum += angles.cosines[n] * price;
    }
    return c;
}

// The same for four neighbouring bars at once, two per register; needs mid
// side by side from 36 bars before. The lanes run together over the terms
// all four periods have, then each lane adds its own remaining terms, so
// every lane adds its terms in the same order as above.
void correlateFour(const WorkingSeries& s, AngleTable& table, Bar firstBar, Correlation (&c)[4]) {
    const double* mid = s.mid.at(firstBar);
    int period[4];
    AngleTable::Row angles[4];
    int common = kMaxPeriod;
    for (int k = 0; k < 4; ++k) {
        period[k] = static_cast<int>(s.period[firstBar + k]);
        angles[k] = table.row(period[k]);
        common = period[k] < common ? period[k] : common;
    }
    Pair sineLow = {}, cosineLow = {}, sineHigh = {}, cosineHigh = {};
    auto addTerms = [&](int n, Pair sinesLow, Pair cosinesLow, Pair sinesHigh, Pair cosinesHigh) {
        const Pair priceLow = loadPair(mid - n), priceHigh = loadPair(mid + 2 - n);
        sineLow += sinesLow * priceLow;
        cosineLow += cosinesLow * priceLow;
        sineHigh += sinesHigh * priceHigh;
        cosineHigh += cosinesHigh * priceHigh;
    };
    if (period[0] == period[1] && period[0] == period[2] && period[0] == period[3]) {
        // Neighbouring bars usually share their period: one angle for all lanes.
        for (int n = 0; n < common; ++n) {
            const Pair sine = broadcast(angles[0].sines[n]), cosine = broadcast(angles[0].cosines[n]);
            addTerms(n, sine, cosine, sine, cosine);
        }
    } else {
        for (int n = 0; n < common; ++n)
            addTerms(n, pairOf(angles[0].sines[n], angles[1].sines[n]),
                     pairOf(angles[0].cosines[n], angles[1].cosines[n]),
                     pairOf(angles[2].sines[n], angles[3].sines[n]),
                     pairOf(angles[2].cosines[n], angles[3].cosines[n]));
    }
    c[0] = {sineLow[0], cosineLow[0]};
    c[1] = {sineLow[1], cosineLow[1]};
    c[2] = {sineHigh[0], cosineHigh[0]};
    c[3] = {sineHigh[1], cosineHigh[1]};
    for (int k = 0; k < 4; ++k)
        for (int n = common; n < period[k]; ++n) {
            const double price = mid[k - n];
            c[k].sineSum += angles[k].sines[n] * price;
            c[k].cosineSum += angles[k].cosines[n] * price;
        }
}

template <class Layout>
void storePhase(const SeriesSet<Layout>& s, Bar bar, const Correlation& c, float* sineOut,
                float* leadSineOut) {
    const double phase = cyclePhase(c.sineSum, c.cosineSum, s.period[bar], unroundedPeriod(s, bar));
    if (sineOut) *sineOut = toOutput(std::sin(phase * kRadiansPerDegree));
    if (leadSineOut) *leadSineOut = toOutput(std::sin((phase + 45.0) * kRadiansPerDegree));
}

}  // namespace

double cyclePhase(double sineSum, double cosineSum, double period, double unrounded) {
    double phase;
    if (greaterThan(std::fabs(cosineSum), 0.001))
        phase = std::atan(sineSum / cosineSum) * kDegreesPerRadian;
    else
        phase = isNotZero(sineSum) ? std::copysign(90.0, sineSum) : 0.0;
    if (lessThan(period, 30.0) && greaterThan(unrounded, 0.0))
        phase += (6.818 / unrounded - 0.227) * 360.0;
    phase += 90.0;
    if (lessThan(cosineSum, 0.0)) phase += 180.0;
    if (greaterThan(phase, 315.0)) phase -= 360.0;
    return phase;
}

void AngleTable::fill(int period, int offset) {
    for (int n = 0; n < period; ++n) {
        const double angle = static_cast<double>(n) * kFullTurnRadians / static_cast<double>(period);
        sines_[offset + n] = std::sin(angle);
        cosines_[offset + n] = std::cos(angle);
    }
    filledRows_ |= std::uint64_t{1} << period;
}

template <class Layout>
void phaseOutputs(const SeriesSet<Layout>& s, AngleTable& table, Bar first, Bar last, float* sineOut,
                  float* leadSineOut) {
    auto at = [first](float* out, Bar bar) { return out ? out + (bar - first) : nullptr; };
    Bar l = first;
    if constexpr (Layout::kContiguous) {
        for (; l < last && l < kMaxPeriod; ++l)
            storePhase(s, l, correlateOne(s, table, l), at(sineOut, l), at(leadSineOut, l));
        for (; l + 4 <= last; l += 4) {
            Correlation c[4];
            correlateFour(s, table, l, c);
            for (int k = 0; k < 4; ++k)
                storePhase(s, l + k, c[k], at(sineOut, l + k), at(leadSineOut, l + k));
        }
    }
    for (; l < last; ++l) storePhase(s, l, correlateOne(s, table, l), at(sineOut, l), at(leadSineOut, l));
}

// The two layouts the stages run over.
template void phaseOutputs(const WorkingSeries&, AngleTable&, Bar, Bar, float*, float*);
template void phaseOutputs(const StreamingSeries&, AngleTable&, Bar, Bar, float*, float*);

}  // namespace zorvane::detail
