// What a streaming object keeps from bar to bar, and the stages' way of
// computing its next bar.
#pragma once

#include <cstdint>

#include "stage_context.hpp"
#include "working_series.hpp"
#include "zorvane/oscillator.hpp"

namespace zorvane::detail {

// Everything push reads and may change: the nine series and the certainty
// of the phase values as rings of the last kRingBars bars, the running
// totals of the phase changes, and the bar count. Saved word for word by
// toBytes, in this order.
struct StreamHistory {
    static constexpr int kSeries = 9;
    Bar nextBar = 0;
    double rings[kSeries][kRingBars] = {};
    Certainty certainty[kRingBars] = {};
    std::uint64_t changeTotals[kRingBars] = {};
};

// The rings, in the order of SeriesSet.
enum HistoryRing : int {
    kMidRing, kDifferencedRing, kInPhaseRing, kQuadratureRing, kPhaseRing, kChangeRing, kRawPeriodRing,
    kPeriodRing, kSmoothedPriceRing
};

inline StreamingSeries seriesOf(StreamHistory& history) {
    auto at = [&history](int i) { return RingSeries{history.rings[i]}; };
    return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {history.certainty},
            {history.changeTotals}};
}

// The next bar through the stages, whatever it needs: the warm-up, the
// first bars' searches, and the library where the fast values cannot
// decide. Earlier bars' words a fallback changes go into the journal.
BarOutputs pushThroughStages(StreamHistory& history, UndoJournal& journal, StageContext& context, double mean);

}  // namespace zorvane::detail
