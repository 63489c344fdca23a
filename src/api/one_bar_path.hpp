// The streaming object's usual bar, computed straight through: the stages'
// arithmetic for one bar of the rings, in the same order and with the same
// one-bar kernel steps (inlined, compiled for the same instruction set),
// without what the stages need only for ranges of bars or for fallbacks. A
// bar that needs anything more goes through the stages, which then compute
// it afresh.
#pragma once

#include <cstdint>

#include "angle_table.hpp"
#include "lane_types.hpp"
#include "stage_context.hpp"
#include "stream_history.hpp"

namespace zorvane::detail {

class OneBarPath {
public:
    // Copies of history series kept side by side, so that the last
    // kRingBars bars of each lie in a row (pure caches: never saved).
    // Aligned above what operator new assumes of malloc, so that new uses
    // its aligned form: 32-bit mingw-w64's malloc gives 8-byte alignment
    // where the compiler counts on 16 for the pairs' aligned loads.
    struct alignas(64) Copies {
        // Bar b's value at b mod kRingBars and kRingBars further on.
        double means[2 * kRingBars] = {};
        double differences[2 * kRingBars] = {};
        std::uint64_t changeTotals[2 * kRingBars] = {};
        // Sine and cosine of each correlation angle side by side, rows as in AngleTable.
        std::uint64_t filledRows = 0;
        Pair angles[kMaxPeriod * (kMaxPeriod + 1) / 2];

        void takeBar(const StreamHistory& history, Bar bar);
        const Pair* anglesOf(int period, AngleTable& table) {
            if (!(filledRows >> period & 1u)) fillAngles(period, table);
            return angles + AngleTable::rowOffset(period);
        }
        void fillAngles(int period, AngleTable& table);
    };
    // One instruction set's body of push.
    using Body = bool (*)(Copies&, StreamHistory&, StageContext&, double mean, BarOutputs&);

    // For a streaming object whose stages run these kernels: the body
    // compiled for the same instruction set gives the same bits.
    explicit OneBarPath(const Kernels& kernels);

    // Computes bar history.nextBar from its mean price into `out` and the
    // bar's slots of the history, and returns true, when the fast values
    // decide everything. Otherwise returns false having changed nothing of
    // the history but that bar's slots, as it does for the bars whose search
    // reaches back into the warm-up. Leaves nextBar to the caller.
    bool push(StreamHistory& history, StageContext& context, double mean, BarOutputs& out) {
        return body_(copies_, history, context, mean, out);
    }
    // After the stages computed a bar.
    void takeBar(const StreamHistory& history, Bar bar) { copies_.takeBar(history, bar); }
    // After a whole history was put in place.
    void takeHistory(const StreamHistory& history);

private:
    Copies copies_;
    Body body_;
};

// The bodies (one_bar_*.cpp).
OneBarPath::Body oneBarBaselineBody();
OneBarPath::Body oneBarAvx2Body();  // x86 only

}  // namespace zorvane::detail
