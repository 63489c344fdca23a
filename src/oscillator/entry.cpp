// The exported entry point and the bar loop behind it.
#include "bar_loop.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cycle_measurement.hpp"
#include "floating_point_guard.hpp"
#include "kernels.hpp"
#include "phase_outputs.hpp"
#include "price_following.hpp"
#include "zorvane/oscillator.h"

namespace zorvane::detail {
namespace {

constexpr Bar kSeriesCount = 9;

// The working series of one call, obtained in a fixed order and released in
// the same order, on every path. A call that cannot have them all computes
// nothing. The stages compute in small windows instead (below), so the
// blocks are held but never touched: the call faults in no fresh pages,
// which on some systems cost more than a few thousand bars' computation.
class SeriesBlocks {
public:
    SeriesBlocks(Bar count, const SeriesAllocator& allocator) : allocator_(allocator) {
        // Sizes are checked before they are computed, so they cannot wrap:
        // in a 32-bit process nine series of a large count exceed the
        // address space, and the call is refused like any failed allocation.
        if (static_cast<std::uint64_t>(count) > SIZE_MAX / (sizeof(double) * kSeriesCount)) return;
        const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(double);
        for (; obtained_ < kSeriesCount; ++obtained_) {
            blocks_[obtained_] = static_cast<double*>(allocator_.obtain(bytes, allocator_.context));
            if (!blocks_[obtained_]) break;
            // Unread memory invites the compiler to drop the request.
            __asm__ volatile("" : : "r"(blocks_[obtained_]) : "memory");
        }
    }
    ~SeriesBlocks() {
        for (int i = 0; i < obtained_; ++i) allocator_.release(blocks_[i], allocator_.context);
    }
    SeriesBlocks(const SeriesBlocks&) = delete;
    SeriesBlocks& operator=(const SeriesBlocks&) = delete;

    bool complete() const { return obtained_ == kSeriesCount; }

private:
    const SeriesAllocator& allocator_;
    double* blocks_[kSeriesCount] = {};
    int obtained_ = 0;
};

// The series as windows of kWindowBars bars on the stack: the stages of a
// chunk work in cache, and each window keeps enough earlier bars for every
// look-back when it slides on to the next chunk.
constexpr Bar kCarriedBars = 64;
constexpr Bar kWindowBars = kCarriedBars + kChunkBars;
static_assert(kCarriedBars > kSearchLimit + 1, "the window must hold every look-back");

struct Windows {
    double series[kSeriesCount][kWindowBars];
    Certainty certainty[kWindowBars];

    WorkingSeries working() {
        auto at = [this](int i) { return WindowSeries{series[i]}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {certainty}, {}};
    }
};

// The output steps of bars [first, last) for every wanted mode, writing
// mode m's values from outputs[m - 1][first] on. Sine and lead sine share
// one correlation.
void writeOutputs(const WorkingSeries& s, float* const (&outputs)[4], Bar first, Bar last,
                  StageContext& context, bool smoothedPricesWritten) {
    auto at = [first](float* out) { return out ? out + first : nullptr; };
    if (outputs[kCycleAverage - 1])
        averageOverCycles(s, first, last, at(outputs[kCycleAverage - 1]), context.kernels);
    if (outputs[kSmoothedPrice - 1] && !smoothedPricesWritten)
        smoothPrices(s, first, last, at(outputs[kSmoothedPrice - 1]));
    if (outputs[kSine - 1] || outputs[kLeadSine - 1])
        phaseOutputs(s, context, first, last, at(outputs[kSine - 1]), at(outputs[kLeadSine - 1]));
}

// Widens `extent` by the periods of bars [first, last) where a cycle was
// found. Periods are whole numbers from 0 up, so one less than each, wrapped
// as unsigned, puts the 0s above every period: plain unsigned minimum and
// maximum, which the compiler turns into vector code, with no branch per bar.
void notePeriods(const WorkingSeries& s, Bar first, Bar last, PeriodExtent& extent) {
    auto highest = static_cast<std::uint32_t>(extent.highest);
    std::uint32_t lowestLessOne = static_cast<std::uint32_t>(extent.lowest) - 1u;
    for (Bar l = first; l < last; ++l) {
        const auto period = static_cast<std::uint32_t>(static_cast<std::int32_t>(s.period[l]));
        highest = period > highest ? period : highest;
        lowestLessOne = period - 1u < lowestLessOne ? period - 1u : lowestLessOne;
    }
    extent.lowest = static_cast<int>(lowestLessOne + 1u);
    extent.highest = static_cast<int>(highest);
}

// Moves the last kCarriedBars bars before `nextBar` to the window's start.
void slideWindow(WorkingSeries& s, Bar nextBar) {
    const Bar keptFrom = nextBar - kCarriedBars;
    forEachSeries(s, [keptFrom](WindowSeries& series) {
        std::memmove(series.data, series.at(keptFrom), kCarriedBars * sizeof(double));
        series.origin = keptFrom;
    });
    std::memmove(s.certainty.data, s.certainty.at(keptFrom), kCarriedBars * sizeof(Certainty));
    s.certainty.origin = keptFrom;
}

// Chunk by chunk; inside a chunk either stage by stage over all its bars, or
// (when output overlaps a price array at an offset, so that a later bar may
// read what an earlier bar stored) every stage of one bar before the next
// bar's prices are read. Stage by stage reads every price of a chunk before
// its first output is stored, which gives the same result as bar by bar in
// every other case, output aliasing a price array included.
void runChunks(WorkingSeries s, const float* priceA, const float* priceB, float* const (&outputs)[4], Bar count,
               bool barByBar, StageContext& context, PeriodExtent* extent, const BarsDone* done) {
    for (Bar first = kWarmupBars, last = count > kWindowBars ? kWindowBars : count; first < count;) {
        if (barByBar) {
            for (Bar l = first; l < last; ++l) {
                s.mid[l] = meanPrice(priceA[l], priceB[l]);
                measureCycles(s, l, l + 1, context);
                writeOutputs(s, outputs, l, l + 1, context, false);
            }
        } else {
            for (Bar l = first; l < last; ++l) s.mid[l] = meanPrice(priceA[l], priceB[l]);
            float* smoothed = outputs[kSmoothedPrice - 1];
            measureChunk(s, first, last, context, smoothed ? smoothed + first : nullptr);
            writeOutputs(s, outputs, first, last, context, true);
        }
        if (extent) notePeriods(s, first, last, *extent);
        if (done && last < count) done->tell(last, done->context);
        if (last == count) break;
        slideWindow(s, last);
        first = last;
        last = first + kChunkBars < count ? first + kChunkBars : count;
    }
}

// Mode 2's values read nothing of the cycle measurement: only the mean
// prices and the previous value. So a call that wants them alone (and not
// the period's range) runs that chain alone, over bars from 6 on, reading
// each bar's prices after storing the previous bar's value, as the bar loop
// does (which keeps the result when output overlaps a price array).
void smoothPricesAlone(const float* priceA, const float* priceB, Bar count, float* out, const WorkingSeries& s) {
    double mids[3] = {s.mid[kWarmupBars - 3], s.mid[kWarmupBars - 2], s.mid[kWarmupBars - 1]};  // bars l - 3 to l - 1
    double previous = s.smoothedPrice[kWarmupBars - 1];
    for (Bar l = kWarmupBars; l < count; ++l) {
        const double mid = meanPrice(priceA[l], priceB[l]);
        previous = smoothedPriceOf(l, mid, mids[0], previous);
        out[l] = toOutput(previous);
        mids[0] = mids[1], mids[1] = mids[2], mids[2] = mid;
    }
}

bool overlapsAtOffset(const float* price, const float* output, Bar count) {
    if (price == output) return false;
    const auto p = reinterpret_cast<std::uintptr_t>(price);
    const auto o = reinterpret_cast<std::uintptr_t>(output);
    const auto bytes = static_cast<std::uintptr_t>(count) * sizeof(float);
    return p < o + bytes && o < p + bytes;
}

// The working series and the windows through them, for a count past the
// warm-up. False when the series cannot be obtained.
bool runWindows(const float* priceA, const float* priceB, Bar count, float* const (&outputs)[4],
                const SeriesAllocator& allocator, const Kernels* kernels,
                [[maybe_unused]] FallbackCounts* fallbacks, PeriodExtent* extent, const BarsDone* done) {
    SeriesBlocks blocks(count, allocator);
    if (!blocks.complete()) return false;
    Windows windows;
    WorkingSeries s = windows.working();

    // The marker goes in before the bar's prices are read: with output
    // aliasing a price array, the marker is what the mean is taken of.
    for (Bar j = 0; j < kWarmupBars; ++j) {
        for (float* output : outputs)
            if (output) output[j] = noValueMarker();
        warmUpBar(s, j, meanPrice(priceA[j], priceB[j]));
    }

    if (!extent && outputs[kSmoothedPrice - 1] && !outputs[kCycleAverage - 1] && !outputs[kSine - 1] &&
        !outputs[kLeadSine - 1]) {
        smoothPricesAlone(priceA, priceB, count, outputs[kSmoothedPrice - 1], s);
        return true;
    }

    bool barByBar = false;
    for (float* output : outputs)
        barByBar = barByBar || (output && (overlapsAtOffset(priceA, output, count) ||
                                           overlapsAtOffset(priceB, output, count)));
    StageContext context(kernels ? *kernels : kernelsForThisMachine());
    runChunks(s, priceA, priceB, outputs, count, barByBar, context, extent, done);
#if defined(ZORVANE_COUNT_FALLBACKS)
    if (fallbacks) *fallbacks += context.fallbacks;
#endif
    return true;
}

}  // namespace

SeriesAllocator heapAllocator() {
    return {[](std::size_t bytes, void*) { return std::malloc(bytes); },
            [](void* block, void*) { std::free(block); }, nullptr};
}

bool runModes(const float* priceA, const float* priceB, Bar count, float* const (&outputs)[4],
              const SeriesAllocator& allocator, const Kernels* kernels, FallbackCounts* fallbacks,
              PeriodExtent* extent, const BarsDone* done) {
    if (extent) *extent = {};
    if (!priceA || !priceB || count <= 0) return true;
    if (count < kWarmupBars) {
        // Too short for a warm-up: mark what exists, read nothing.
        for (float* output : outputs)
            for (Bar j = 0; output && j < count; ++j) output[j] = noValueMarker();
        if (done) done->tell(count, done->context);
        return true;
    }
    if (!runWindows(priceA, priceB, count, outputs, allocator, kernels, fallbacks, extent, done)) return false;
    if (done) done->tell(count, done->context);
    return true;
}

bool runOscillator(const float* priceA, const float* priceB, std::int32_t mode, Bar count,
                   float* output, const SeriesAllocator& allocator, const Kernels* kernels,
                   FallbackCounts* fallbacks) {
    if (!output) return true;
    if (followsPrice(mode) || followsPhase(mode)) {
        float* outputs[4] = {};
        outputs[mode - 1] = output;
        return runModes(priceA, priceB, count, outputs, allocator, kernels, fallbacks);
    }
    // Any other mode marks the warm-up bars and leaves the rest as the
    // caller supplied them; the call still needs its working series.
    if (!priceA || !priceB || count <= 0) return true;
    if (count >= kWarmupBars && !SeriesBlocks(count, allocator).complete()) return false;
    for (Bar j = 0; j < count && j < kWarmupBars; ++j) output[j] = noValueMarker();
    return true;
}

}  // namespace zorvane::detail

#if defined(_WIN32) && defined(__i386__)
// Hosts built by other compilers may call with a 4-byte-aligned stack.
#define ZORVANE_ENTRY_ALIGN __attribute__((force_align_arg_pointer))
#else
#define ZORVANE_ENTRY_ALIGN
#endif

extern "C" ZORVANE_EXPORT ZORVANE_ENTRY_ALIGN void ZORVANE_CALL ZorvaneOscillator(
    const float* priceA, const float* priceB, int32_t mode, int32_t count, float* output) {
    const zorvane::detail::FloatingPointGuard guard;
    zorvane::detail::runOscillator(priceA, priceB, mode, count, output,
                                   zorvane::detail::heapAllocator());
}

#if defined(_WIN32)
#include <windows.h>
// Loading and unloading need no set-up; answer the loader with success.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
