#include "one_bar_path.hpp"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(ZORVANE_PORTABLE_KERNELS)
#include "kernels_x86.hpp"
#define ZORVANE_ONE_BAR_AVX2
#endif

namespace zorvane::detail {

void OneBarPath::Copies::takeBar(const StreamHistory& history, Bar bar) {
    const auto slot = static_cast<std::size_t>(bar) & (kRingBars - 1);
    means[slot] = means[slot + kRingBars] = history.rings[kMidRing][slot];
    differences[slot] = differences[slot + kRingBars] = history.rings[kDifferencedRing][slot];
    changeTotals[slot] = changeTotals[slot + kRingBars] = history.changeTotals[slot];
}

void OneBarPath::Copies::fillAngles(int period, AngleTable& table) {
    const AngleTable::Row row = table.row(period);
    for (int n = 0; n < period; ++n) angles[kUnusedPairs + AngleTable::rowOffset(period) + n] = Pair{row.sines[n], row.cosines[n]};
    filledRows |= std::uint64_t{1} << period;
}

OneBarPath::OneBarPath(const Kernels& kernels) : push_(oneBarBaselinePush()) {
#if defined(ZORVANE_ONE_BAR_AVX2)
    if (&kernels == &avx2PairKernels()) push_ = oneBarAvx2Push();
#else
    static_cast<void>(kernels);
#endif
}

BarOutputs OneBarPath::pushThroughStages(StreamHistory& history, UndoJournal& journal, StageContext& context,
                                         double mean) {
    ++stagedBars_;
    const BarOutputs out = detail::pushThroughStages(history, journal, context, mean);
    copies_.takeBar(history, history.nextBar - 1);
    return out;
}

void OneBarPath::takeHistory(const StreamHistory& history) {
    for (Bar slot = 0; slot < kRingBars; ++slot) copies_.takeBar(history, slot);
}

}  // namespace zorvane::detail
