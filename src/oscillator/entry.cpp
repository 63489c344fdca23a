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
// the same order, on every path.
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
        }
    }
    ~SeriesBlocks() {
        for (int i = 0; i < obtained_; ++i) allocator_.release(blocks_[i], allocator_.context);
    }
    SeriesBlocks(const SeriesBlocks&) = delete;
    SeriesBlocks& operator=(const SeriesBlocks&) = delete;

    bool complete() const { return obtained_ == kSeriesCount; }
    WorkingSeries series(Certainty* certainty) const {
        auto at = [this](int i) { return WindowSeries{blocks_[i]}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {certainty}, {}};
    }

private:
    const SeriesAllocator& allocator_;
    double* blocks_[kSeriesCount] = {};
    int obtained_ = 0;
};

// The output steps of bars [first, last), writing out[l - first].
void writeOutputs(const WorkingSeries& s, std::int32_t mode, Bar first, Bar last, float* out,
                  StageContext& context) {
    switch (mode) {
        case kCycleAverage: averageOverCycles(s, first, last, out); break;
        case kSmoothedPrice: smoothPrices(s, first, last, out); break;
        case kSine: phaseOutputs(s, context, first, last, out, nullptr); break;
        case kLeadSine: phaseOutputs(s, context, first, last, nullptr, out); break;
        default: break;
    }
}

// Long inputs run in chunks through a window per series: the stages of a
// chunk then work in cache, and memory outside the windows is never touched.
// The nine windows are packed into as few of the blocks as hold them, so a
// call faults in only a few fresh pages (which is what a mid-sized call
// would otherwise spend most of its time on). A window keeps enough earlier
// bars for every look-back. The certainty of the phase values needs no block
// of its own: its window lives on the stack.
constexpr Bar kCarriedBars = 64;
constexpr Bar kWindowBars = kCarriedBars + kChunkBars;
static_assert(kCarriedBars > kSearchLimit + 1, "the window must hold every look-back");

void placeWindows(WorkingSeries& s, Bar count) {
    if (count <= kWindowBars) return;
    double* blocks[kSeriesCount];
    int next = 0;
    forEachSeries(s, [&](WindowSeries& series) { blocks[next++] = series.data; });
    int block = 0;
    Bar used = 0;
    forEachSeries(s, [&](WindowSeries& series) {
        if (used + kWindowBars > count) ++block, used = 0;
        series.data = blocks[block] + used;
        used += kWindowBars;
    });
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
void runChunks(WorkingSeries s, const float* priceA, const float* priceB, std::int32_t mode, Bar count,
               float* output, bool barByBar, StageContext& context) {
    for (Bar first = kWarmupBars, last = count > kWindowBars ? kWindowBars : count; first < count;) {
        if (barByBar) {
            for (Bar l = first; l < last; ++l) {
                s.mid[l] = meanPrice(priceA[l], priceB[l]);
                measureCycles(s, l, l + 1, context);
                writeOutputs(s, mode, l, l + 1, output + l, context);
            }
        } else {
            for (Bar l = first; l < last; ++l) s.mid[l] = meanPrice(priceA[l], priceB[l]);
            measureCycles(s, first, last, context);
            writeOutputs(s, mode, first, last, output + first, context);
        }
        if (last == count) break;
        slideWindow(s, last);
        first = last;
        last = first + kChunkBars < count ? first + kChunkBars : count;
    }
}

bool overlapsAtOffset(const float* price, const float* output, Bar count) {
    if (price == output) return false;
    const auto p = reinterpret_cast<std::uintptr_t>(price);
    const auto o = reinterpret_cast<std::uintptr_t>(output);
    const auto bytes = static_cast<std::uintptr_t>(count) * sizeof(float);
    return p < o + bytes && o < p + bytes;
}

}  // namespace

SeriesAllocator heapAllocator() {
    return {[](std::size_t bytes, void*) { return std::malloc(bytes); },
            [](void* block, void*) { std::free(block); }, nullptr};
}

bool runOscillator(const float* priceA, const float* priceB, std::int32_t mode, Bar count,
                   float* output, const SeriesAllocator& allocator, const Kernels* kernels,
                   [[maybe_unused]] FallbackCounts* fallbacks) {
    if (!priceA || !priceB || !output || count <= 0) return true;
    if (count < kWarmupBars) {
        // Too short for a warm-up: mark what exists, read nothing.
        for (Bar j = 0; j < count; ++j) output[j] = noValueMarker();
        return true;
    }
    SeriesBlocks blocks(count, allocator);
    if (!blocks.complete()) return false;
    Certainty certainty[kWindowBars];
    WorkingSeries s = blocks.series(certainty);
    placeWindows(s, count);

    // The marker goes in before the bar's prices are read: with output
    // aliasing a price array, the marker is what the mean is taken of.
    for (Bar j = 0; j < kWarmupBars; ++j) {
        output[j] = noValueMarker();
        warmUpBar(s, j, meanPrice(priceA[j], priceB[j]));
    }
    // Any other mode leaves bars from 6 on as the caller supplied them, so
    // there is nothing more to compute.
    if (!followsPrice(mode) && !followsPhase(mode)) return true;

    const bool barByBar = overlapsAtOffset(priceA, output, count) || overlapsAtOffset(priceB, output, count);
    StageContext context(kernels ? *kernels : kernelsForThisMachine());
    runChunks(s, priceA, priceB, mode, count, output, barByBar, context);
#if defined(ZORVANE_COUNT_FALLBACKS)
    if (fallbacks) *fallbacks += context.fallbacks;
#endif
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
