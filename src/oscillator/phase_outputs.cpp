#include "phase_outputs.hpp"

#include <cmath>

#include "comparisons.hpp"
#include "cycle_measurement.hpp"
#include "lanes.hpp"

namespace zorvane::detail {
namespace {

constexpr double kFullTurnRadians = 6.283185307;  // deliberately not 2 pi

// The correlation of one bar: the last P mean prices, current bar first,
// against one full sine and cosine period.
template <class Layout>
void correlateOne(const SeriesSet<Layout>& s, AngleTable& table, Bar bar, double& sineSum, double& cosineSum) {
    const int period = static_cast<int>(s.period[bar]);
    sineSum = cosineSum = 0.0;
    const AngleTable::Row angles = table.row(period);
    for (int n = 0; n < period; ++n) {
        const double price = s.mid[bar - n];
        sineSum += angles.sines[n] * price;
        cosineSum += angles.cosines[n] * price;
    }
}

// The lag compensation that applies to a bar, 0 where none does.
double compensationFor(double period, double unrounded, const double* byQuarters) {
    const bool applies = lessThan(period, 30.0) && greaterThan(unrounded, 0.0);
    return applies ? byQuarters[static_cast<int>(unrounded * 4.0)] : 0.0;
}

// The literal chain, for bars whose float the fast path could not vouch for.
void exactOutputs(double sineSum, double cosineSum, double period, double unrounded, float* sineOut,
                  float* leadSineOut) {
    const double phase = cyclePhase(sineSum, cosineSum, period, unrounded);
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

void AngleTable::fill(int period) {
    const int offset = rowOffset(period);
    // An even period's even terms are its half's angles bit for bit: 2m times
    // the constant is twice m times it exactly, and the quotient by 2Q is
    // then the same rounded value as the one by Q. So where the half's row
    // is there, they are copied from it rather than computed again.
    const int half = period / 2;
    const bool halfFilled = period % 2 == 0 && (filledRows_ >> half & 1u);
    for (int n = 0; n < period; ++n) {
        if (halfFilled && n % 2 == 0) {
            sines_[offset + n] = sines_[rowOffset(half) + n / 2];
            cosines_[offset + n] = cosines_[rowOffset(half) + n / 2];
            continue;
        }
        const double angle = static_cast<double>(n) * kFullTurnRadians / static_cast<double>(period);
        sines_[offset + n] = std::sin(angle);
        cosines_[offset + n] = std::cos(angle);
    }
    filledRows_ |= std::uint64_t{1} << period;
}

// One bar of a ring (the streaming object), both outputs: the sine and the
// cosine sum side by side in one register, and one vector for both sines.
template <class Layout>
void phaseOutputsOfOneBar(const SeriesSet<Layout>& s, StageContext& context, Bar bar, float* sineOut,
                          float* leadSineOut) {
    const double period = s.period[bar];
    const AngleTable::Row angles = context.angles.row(static_cast<int>(period));
    Pair sums = {};
    for (int n = 0; n < static_cast<int>(period); ++n)
        sums += pairOf(angles.sines[n], angles.cosines[n]) * s.mid[bar - n];
    const double unrounded = unroundedPeriod(s, bar);
    const double compensation = compensationFor(period, unrounded, context.compensation.byQuarters());
    if (context.kernels.phaseOutputsOfOneBar(sums[0], sums[1], compensation, sineOut, leadSineOut)) {
        context.count(&FallbackCounts::phaseOutputs);
        exactOutputs(sums[0], sums[1], period, unrounded, sineOut, leadSineOut);
    }
}

template <class Layout>
void phaseOutputs(const SeriesSet<Layout>& s, StageContext& context, Bar first, Bar last, float* sineOut,
                  float* leadSineOut) {
    if constexpr (!Layout::kContiguous)
        if (last - first == 1 && sineOut && leadSineOut)
            return phaseOutputsOfOneBar(s, context, first, sineOut, leadSineOut);
    auto at = [first](float* out, Bar bar) { return out ? out + (bar - first) : nullptr; };
    for (Bar block = first; block < last; block += kKernelBars) {
        const int n = static_cast<int>(last - block < kKernelBars ? last - block : kKernelBars);
        double sineSums[kKernelBars], cosineSums[kKernelBars], periods[kKernelBars], unrounded[kKernelBars];
        double compensation[kKernelBars];
        // Bars whose correlation reaches back past the window's first bars
        // (and every bar of a ring) correlate one at a time; the rest many
        // neighbours at once.
        int single = n;
        if constexpr (Layout::kContiguous) single = block >= kMaxPeriod ? 0 : static_cast<int>(kMaxPeriod - block);
        single = single < n ? single : n;
        // Without branches: periods change too often to guess.
        const double* compensationByQuarters = context.compensation.byQuarters();
        std::uint64_t periodsSeen = 0;
        if constexpr (Layout::kContiguous) {
            // In whole numbers: the smoothed period before truncation is
            // 0.75 p + 0.25 r exactly, so four times it is 3 p + r, the
            // compensation table's index.
            const double* period = s.period.at(block);
            const double* rawPeriod = s.rawPeriod.at(block);
            for (int k = 0; k < n; ++k) {
                const auto p = static_cast<int>(period[k]);
                const int quarters = 3 * static_cast<int>(period[k - 1]) + static_cast<int>(rawPeriod[k]);
                periodsSeen |= std::uint64_t{1} << p;
                compensation[k] = p < 30 && quarters > 0 ? compensationByQuarters[quarters] : 0.0;
            }
        } else {
            for (int k = 0; k < n; ++k) {
                periods[k] = s.period[block + k];
                unrounded[k] = unroundedPeriod(s, block + k);
                periodsSeen |= std::uint64_t{1} << static_cast<int>(periods[k]);
                compensation[k] = compensationFor(periods[k], unrounded[k], compensationByQuarters);
            }
        }
        context.angles.prepareAll(periodsSeen);
        for (int k = 0; k < single; ++k) correlateOne(s, context.angles, block + k, sineSums[k], cosineSums[k]);
        if constexpr (Layout::kContiguous)
            if (single < n)
                context.kernels.correlations(s.mid.at(block + single), s.period.at(block + single), n - single,
                                             context.angles, sineSums + single, cosineSums + single);
        std::uint64_t doubts = context.kernels.phaseOutputs(sineSums, cosineSums, compensation, n,
                                                            at(sineOut, block), at(leadSineOut, block));
        for (int k = 0; doubts; ++k, doubts >>= 1)
            if (doubts & 1) {
                context.count(&FallbackCounts::phaseOutputs);
                exactOutputs(sineSums[k], cosineSums[k], s.period[block + k], unroundedPeriod(s, block + k),
                             at(sineOut, block + k), at(leadSineOut, block + k));
            }
    }
}

// The two layouts the stages run over.
template void phaseOutputs(const WorkingSeries&, StageContext&, Bar, Bar, float*, float*);
template void phaseOutputs(const StreamingSeries&, StageContext&, Bar, Bar, float*, float*);

}  // namespace zorvane::detail
