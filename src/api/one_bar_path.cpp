#include "one_bar_path.hpp"

#include "comparisons.hpp"
#include "exact_search.hpp"
#include "price_following.hpp"

namespace zorvane::detail {

const Pair* OneBarPath::anglesOf(int period, AngleTable& table) {
    const int offset = AngleTable::rowOffset(period);
    if (!(filledRows_ >> period & 1u)) {
        const AngleTable::Row row = table.row(period);
        for (int n = 0; n < period; ++n) angles_[offset + n] = pairOf(row.sines[n], row.cosines[n]);
        filledRows_ |= std::uint64_t{1} << period;
    }
    return angles_ + offset;
}

bool OneBarPath::push(StreamHistory& h, StageContext& context, double mean, BarOutputs& out) {
    const Bar l = h.nextBar;
    if (l <= kTerms) return false;
    auto slot = [](Bar bar) { return static_cast<std::size_t>(bar) & (kRingBars - 1); };
    const std::size_t now = slot(l), before = slot(l - 1);
    double* const differenced = h.rings[kDifferencedRing];
    double* const inPhase = h.rings[kInPhaseRing];
    double* const quadrature = h.rings[kQuadratureRing];
    double* const phase = h.rings[kPhaseRing];
    double* const change = h.rings[kChangeRing];
    double* const rawPeriod = h.rings[kRawPeriodRing];
    double* const period = h.rings[kPeriodRing];
    double* const smoothedPrice = h.rings[kSmoothedPriceRing];

    h.rings[kMidRing][now] = mean;
    noteMean(l, mean);
    const double* const mid = means_ + now + kRingBars;  // mid[-n]: bar l - n's, n < kRingBars

    // The in-phase and quadrature filters (filterComponents).
    const double difference = mean - mid[-6];
    differenced[now] = difference;
    const double q = 0.25 * (differenced[slot(l - 2)] - differenced[slot(l - 4)]) +
                     0.75 * (difference - differenced[slot(l - 6)]);
    inPhase[now] = 0.33 * differenced[slot(l - 3)] + 0.67 * inPhase[before];
    quadrature[now] = 0.2 * q + 0.8 * quadrature[before];

    // Angle and change; a wrap test in doubt needs the library's angles.
    const double components[4] = {inPhase[now], inPhase[before], quadrature[now], quadrature[before]};
    if (context.kernels.angleAndChangeOfOneBar(components, phase[before], h.certainty[before], &phase[now],
                                               &change[now], &h.certainty[now]))
        return false;

    // The search from exact totals; a crossing near 360 needs exact changes.
    h.changeTotals[now] = h.changeTotals[before] + changeUnits(change[now]);
    const double rawBefore = rawPeriod[before];
    const double found = searchFromTotals(h.changeTotals, l, rawBefore > 0 ? static_cast<int>(rawBefore) + 1 : 0);
    if (found < 0) return false;
    const double raw = isZero(found) ? rawBefore : found;
    rawPeriod[now] = raw;
    // The smoothed period as smoothPeriods computes it.
    const double periodBefore = period[before];
    const auto p = (3 * static_cast<std::uint32_t>(periodBefore) + static_cast<std::uint32_t>(raw)) >> 2;
    const int terms = static_cast<int>(p);
    period[now] = terms;
    const double unrounded = 0.75 * periodBefore + 0.25 * raw;

    // Mode 1: the mean over the period and two more bars, newest first.
    double sum = 0.0;
    for (int f = 0; f < terms + 2; ++f) sum += mid[-f];
    out.cycleAverage = toOutput(sum / (static_cast<double>(terms) + 2.0));
    // Mode 2.
    const double smoothed = 0.33 * (mean + 0.5 * (mean - mid[-3])) + 0.67 * smoothedPrice[before];
    smoothedPrice[now] = smoothed;
    out.smoothedPrice = toOutput(smoothed);

    // Modes 3 and 4: the correlation sums side by side, the compensation
    // from its table, the fast chain; the library where it cannot vouch.
    const Pair* const angles = anglesOf(terms, context.angles);
    Pair sums = {};
    for (int n = 0; n < terms; ++n) sums += angles[n] * mid[-n];
    const bool compensated = lessThan(static_cast<double>(terms), 30.0) && greaterThan(unrounded, 0.0);
    const double compensation =
        compensated ? context.compensation.byQuarters()[static_cast<int>(unrounded * 4.0)] : 0.0;
    return !context.kernels.phaseOutputsOfOneBar(sums[0], sums[1], compensation, &out.sine, &out.leadSine);
}

}  // namespace zorvane::detail
