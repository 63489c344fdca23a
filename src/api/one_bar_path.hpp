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
        // Sine and cosine of each correlation angle side by side, rows as in
        // AngleTable after 40 unused pairs (the sums index a row from up to
        // 40 pairs before it).
        static constexpr int kUnusedPairs = 40;
        std::uint64_t filledRows = 0;
        Pair angles[kUnusedPairs + kMaxPeriod * (kMaxPeriod + 1) / 2];

        void takeBar(const StreamHistory& history, Bar bar);
        const Pair* anglesOf(int period, AngleTable& table) {
            if (!(filledRows >> period & 1u)) fillAngles(period, table);
            return angles + kUnusedPairs + AngleTable::rowOffset(period);
        }
        void fillAngles(int period, AngleTable& table);
    };
    // One instruction set's whole push (one_bar_body.hpp).
    using Push = BarOutputs (*)(OneBarPath&, StreamHistory&, UndoJournal&, StageContext&, float priceA,
                                float priceB);

    // For a streaming object whose stages run these kernels: the body
    // compiled for the same instruction set gives the same bits.
    explicit OneBarPath(const Kernels& kernels);

    // Bar history.nextBar from its two prices: straight through when the
    // fast values decide everything, else through the stages (as are the
    // bars whose search reaches back into the warm-up). One indirect call,
    // into code for the stages' instruction set; the prices are widened
    // there, inside whatever floating-point guard the caller holds.
    BarOutputs push(StreamHistory& history, UndoJournal& journal, StageContext& context, float priceA,
                    float priceB) {
        return push_(*this, history, journal, context, priceA, priceB);
    }
    // After a whole history was put in place.
    void takeHistory(const StreamHistory& history);

    // How many bars went through the stages.
    long stagedBars() const { return stagedBars_; }

    // For the bodies.
    Copies& copies() { return copies_; }
    // The bar through the stages, and its words into the copies.
    BarOutputs pushThroughStages(StreamHistory& history, UndoJournal& journal, StageContext& context,
                                 double mean);

private:
    Copies copies_;
    Push push_;
    long stagedBars_ = 0;
};

// The bodies (one_bar_*.cpp).
OneBarPath::Push oneBarBaselinePush();
OneBarPath::Push oneBarAvx2Push();  // x86 only

}  // namespace zorvane::detail
