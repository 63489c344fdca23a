#include "stream_history.hpp"

#include "cycle_measurement.hpp"
#include "phase_outputs.hpp"
#include "price_following.hpp"

namespace zorvane::detail {

BarOutputs pushThroughStages(StreamHistory& history, UndoJournal& journal, StageContext& context, double mean) {
    journal.entries = 0;
    context.journal = &journal;
    context.journalBase = reinterpret_cast<unsigned char*>(&history);
    const Bar l = history.nextBar++;
    const StreamingSeries s = seriesOf(history);
    if (l < kWarmupBars) {
        warmUpBar(s, l, mean);
        const float marker = noValueMarker();
        return {marker, marker, marker, marker};
    }
    s.mid[l] = mean;
    measureCycles(s, l, l + 1, context);
    BarOutputs out;
    averageOverCycles(s, l, l + 1, &out.cycleAverage, context.kernels);
    smoothPrices(s, l, l + 1, &out.smoothedPrice);
    phaseOutputs(s, context, l, l + 1, &out.sine, &out.leadSine);
    return out;
}

}  // namespace zorvane::detail
