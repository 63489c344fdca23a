// The streaming object's usual bar, computed straight through: the stages'
// arithmetic for one bar of the rings, in the same order and with the same
// kernels, without what the stages need only for ranges of bars or for
// fallbacks. A bar that needs anything more goes through the stages.
#pragma once

#include <cstdint>

#include "lanes.hpp"
#include "stage_context.hpp"
#include "stream_history.hpp"

namespace zorvane::detail {

class OneBarPath {
public:
    // Computes bar history.nextBar from its mean price into `out` and the
    // bar's slots of the history, and returns true, when the fast values
    // decide everything. Otherwise returns false having changed nothing but
    // that bar's slots (the stages then compute it afresh), as it does for
    // the bars whose search reaches back into the warm-up. Leaves nextBar
    // to the caller.
    bool push(StreamHistory& history, StageContext& context, double mean, BarOutputs& out);

    // Keeps the copy of the mean prices in step with a bar the stages computed.
    void noteMean(Bar bar, double mean) {
        const auto slot = static_cast<std::size_t>(bar) & (kRingBars - 1);
        means_[slot] = means_[slot + kRingBars] = mean;
    }
    // The same for a whole history put in place.
    void takeMeansFrom(const StreamHistory& history) {
        for (Bar slot = 0; slot < kRingBars; ++slot) noteMean(slot, history.rings[kMidRing][slot]);
    }

private:
    static constexpr int kAngles = kMaxPeriod * (kMaxPeriod + 1) / 2;
    const Pair* anglesOf(int period, AngleTable& table);

    // Each mean price twice, at its ring slot and kRingBars further on, so
    // that the last kRingBars bars lie side by side ending at slot + kRingBars.
    double means_[2 * kRingBars] = {};
    // Sine and cosine of each correlation angle side by side, rows as in AngleTable.
    std::uint64_t filledRows_ = 0;
    Pair angles_[kAngles];
};

}  // namespace zorvane::detail
