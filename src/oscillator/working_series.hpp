// The nine per-bar double series that the stages read and write.
//
// A series is indexed by absolute bar number. The batch call backs each one
// with a window of an array that starts at bar `origin` (long inputs slide
// the window along in chunks, so the working set stays in cache); the
// streaming object backs it with a ring of the last kRingBars bars, enough
// for the longest look-back of any stage. The stages are written once over
// either layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace zorvane::detail {

using Bar = std::int64_t;

constexpr Bar kWarmupBars = 6;
constexpr std::uint32_t kNoValueBits = 0x7F7FC99Eu;
constexpr int kMaxPeriod = 37;      // the truncating smoothing never climbs higher
constexpr int kSearchLimit = 40;    // the raw period search adds terms m = 0..40
constexpr Bar kRingBars = 64;       // > kSearchLimit + 1 bars of look-back

// Used exactly as written: the indicator's values depend on these digits,
// which differ from 180 / pi and pi / 180 in the last places.
constexpr double kDegreesPerRadian = 57.29577951471995;
constexpr double kRadiansPerDegree = 0.017453292519444445;

inline float noValueMarker() {
    float marker;
    std::memcpy(&marker, &kNoValueBits, sizeof marker);
    return marker;
}

// Output rounding happens here and nowhere else; a value beyond the float
// range becomes an infinity of its sign.
inline float toOutput(double value) { return static_cast<float>(value); }

// Bars side by side in memory from `origin` on, so several can be loaded at once.
template <class T>
struct Window {
    static constexpr bool kContiguous = true;
    template <class U>
    using Of = Window<U>;
    T* data;
    Bar origin = 0;
    T& operator[](Bar bar) const { return data[bar - origin]; }
    T* at(Bar bar) const { return data + (bar - origin); }
};

// The last kRingBars bars, each at its bar number modulo kRingBars.
template <class T>
struct Ring {
    static constexpr bool kContiguous = false;
    template <class U>
    using Of = Ring<U>;
    T* data;
    T& operator[](Bar bar) const { return data[static_cast<std::uint64_t>(bar) & (kRingBars - 1)]; }
};

using WindowSeries = Window<double>;
using RingSeries = Ring<double>;

// What is known of a bar's phase values besides the values themselves. The
// phase angle may come from a fast arctangent, which decides the period
// exactly but may differ from the library's angle in the last bits; these
// bits say where a value is the library's (or equal to it for certain).
using Certainty = std::int64_t;  // a lane mask's width, so kernels load it as one
constexpr Certainty kExactPhase = 1;   // phase[l] is the library's angle
constexpr Certainty kExactChange = 2;  // deltaPhase[l] is the exact phase change
constexpr Certainty kWrapInDoubt = 4;  // the wrap test needs the library's angles

template <class Layout>
struct SeriesSet {
    Layout mid, differenced, inPhase, quadrature, phase, deltaPhase, rawPeriod, period, smoothedPrice;
    typename Layout::template Of<Certainty> certainty;
    // Running totals of the phase changes in units of 2^-52 degrees, kept by
    // the streaming object for its raw period search (a batch call's kernels
    // build their own per chunk); unused, and null, in a batch call's series.
    typename Layout::template Of<std::uint64_t> changeTotals;
};
using WorkingSeries = SeriesSet<WindowSeries>;
using StreamingSeries = SeriesSet<RingSeries>;

template <class Layout, class Action>
void forEachSeries(SeriesSet<Layout>& s, Action action) {
    for (Layout* series : {&s.mid, &s.differenced, &s.inPhase, &s.quadrature, &s.phase, &s.deltaPhase,
                           &s.rawPeriod, &s.period, &s.smoothedPrice})
        action(*series);
}

enum ModeNumber : std::int32_t { kCycleAverage = 1, kSmoothedPrice = 2, kSine = 3, kLeadSine = 4 };

inline bool followsPrice(std::int32_t mode) { return mode == kCycleAverage || mode == kSmoothedPrice; }
inline bool followsPhase(std::int32_t mode) { return mode == kSine || mode == kLeadSine; }

// Warm-up bar: the mean price, zeros in every other series.
template <class Layout>
void warmUpBar(const SeriesSet<Layout>& s, Bar bar, double mean) {
    s.mid[bar] = mean;
    s.differenced[bar] = s.inPhase[bar] = s.quadrature[bar] = s.phase[bar] = 0.0;
    s.deltaPhase[bar] = s.rawPeriod[bar] = s.period[bar] = s.smoothedPrice[bar] = 0.0;
    s.certainty[bar] = kExactPhase | kExactChange;
}

}  // namespace zorvane::detail
