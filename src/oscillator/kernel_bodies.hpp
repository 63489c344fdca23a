// The kernels of kernels.hpp, written once over a vector type V and compiled
// by each kernels_*.cpp for its instruction set. Internal linkage throughout
// (see lanes.hpp): include only from those files.
#pragma once

#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

#include "angle_table.hpp"
#include "certification.hpp"
#include "comparisons.hpp"
#include "fast_atan.hpp"
#include "fast_sine.hpp"
#include "kernels.hpp"
#include "lanes.hpp"

namespace zorvane::detail {
namespace {

// Runs body(index, lanes) over [0, count) a vector at a time; the last call
// may have fewer lanes, and the body must then touch only those.
template <class V, class Body>
inline void forEachVector(int count, Body body) {
    constexpr int W = kLanes<V>;
    int k = 0;
    for (; k + W <= count; k += W) body(k, W);
    if (k < count) body(k, count - k);
}

// The first `lanes` lanes from memory (the rest 0) and back, without
// touching memory past them: masked moves where the instruction set has them.
template <class V>
inline V loadSome(const double* p, int lanes) {
    if (lanes == kLanes<V>) return loadLanes<V>(p);
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64)
        return reinterpret_cast<V>(_mm512_maskz_loadu_pd(static_cast<__mmask8>((1u << lanes) - 1), p));
#endif
#if defined(__AVX2__)
    if constexpr (sizeof(V) == 32)
        return reinterpret_cast<V>(_mm256_maskload_pd(p, __m256i(firstLanes<V>(lanes))));
#endif
    return loadFirstLanes<V>(p, lanes, 0.0);
}
template <class V>
inline void storeSome(double* p, V v, int lanes) {
    if (lanes == kLanes<V>) return storeLanes(p, v);
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64)
        return _mm512_mask_storeu_pd(p, static_cast<__mmask8>((1u << lanes) - 1), __m512d(v));
#endif
#if defined(__AVX2__)
    if constexpr (sizeof(V) == 32) return _mm256_maskstore_pd(p, __m256i(firstLanes<V>(lanes)), __m256d(v));
#endif
    for (int k = 0; k < lanes; ++k) p[k] = v[k];
}
// Certainty words have a lane's width.
template <class V>
inline MaskOf<V> loadMask(const Certainty* p, int lanes) {
    return asBits(loadSome<V>(reinterpret_cast<const double*>(p), lanes));
}
template <class V>
inline void storeMask(Certainty* p, MaskOf<V> m, int lanes) {
    storeSome(reinterpret_cast<double*>(p), asDoubles<V>(m), lanes);
}
template <class V>
inline void storeFloats(float* out, V v, int lanes) {
    const FloatsOf<V> f = __builtin_convertvector(v, FloatsOf<V>);  // the output's one rounding
    if (lanes == kLanes<V>) return static_cast<void>(std::memcpy(out, &f, sizeof f));
    for (int k = 0; k < lanes; ++k) out[k] = f[k];
}

// The last lane of `before` followed by the lanes of `now` but its last:
// each lane's neighbour one bar earlier.
template <class M, std::size_t... I>
inline M laneBeforeOf(M before, M now, std::index_sequence<I...>) {
    return __builtin_shufflevector(before, now, sizeof...(I), (sizeof...(I) + 1 + I)...);
}
template <class M>
inline M laneBefore(M before, M now) {
    constexpr std::size_t kCount = sizeof(M) / sizeof(before[0]);
    return laneBeforeOf(before, now, std::make_index_sequence<kCount - 1>{});
}

// Lane j of v moved to lane j + s, zeros below: for sums across lanes.
template <int S, class U, std::size_t... I>
inline U lanesUpOf(U v, std::index_sequence<I...>) {
    return __builtin_shufflevector(v, U{}, (I >= S ? I - S : sizeof...(I))...);
}
template <int S, class U>
inline U lanesUp(U v) {
    return lanesUpOf<S>(v, std::make_index_sequence<sizeof(U) / sizeof(v[0])>{});
}
// Every lane the last lane of v.
template <class U, std::size_t... I>
inline U lastLaneOf(U v, std::index_sequence<I...>) {
    return __builtin_shufflevector(v, v, (I * 0 + sizeof...(I) - 1)...);
}
template <class U>
inline U lastLane(U v) {
    return lastLaneOf(v, std::make_index_sequence<sizeof(U) / sizeof(v[0])>{});
}

// Keeps v in a register as it is: the compiler no longer folds it into the
// instructions that use it, as a constant (rewriting the comparison around
// it) or as a memory operand (loading it once per use).
template <class T>
inline void keepInRegister([[maybe_unused]] T& v) {
#if defined(__x86_64__) || defined(__i386__)
    __asm__("" : "+x"(v));
#endif
}

// 32-bit indices as many as V has doubles.
template <class V>
struct IndexLanes {
    typedef std::int32_t Type __attribute__((vector_size(sizeof(V) / 2)));
};

// Mode 1's averages, where every sum the bars may need is exact; false,
// with nothing stored, where that cannot be shown.
//
// Every sum of up to 1024 of the mean prices, in any order, is exact when
// all are multiples of one power of two q and no sum reaches 2^53 q. A mean
// whose low 24 significand bits are zero (any mean of two floats less than
// 2^5 apart in magnitude) with biased exponent E is a multiple of 2^(E -
// 1051) and below 2^(E - 1022); so with E between Emin and Emax, sums of N
// terms are exact if N 2^(Emax - 1022) <= 2^(53 + Emin - 1051), that is if
// Emax - Emin + log2(N) <= 24. Zeros are multiples of anything (and take no
// part in Emin; subnormals count as 1); NaN and infinities never qualify.
//
// Then each bar's sum is the difference of two running totals, which may be
// added in any order: the value the literal term-by-term sum reaches too.
template <class V>
bool averagesOf(const double* mid, const double* period, int count, int before, float* out) {
    constexpr int W = kLanes<V>, kMostTermsLog2 = 10;
    constexpr int kMostTotals = kChunkBars + kMaxPeriod + 2;
    const int n = before + count;
    if (n > kMostTotals) return false;
    static_assert(kMostTotals <= 1 << kMostTermsLog2, "sums stay within the exact range");
    typedef MaskOf<V> Words;
    const double* values = mid - before;
    // The magnitudes' extremes as doubles (the order of doubles is their
    // exponents' order), the low bits, and whether all are finite.
    const V kInfinity = V{} + __builtin_inf();
    V highest = {}, lowest = kInfinity;
    Words lowBits = {}, finite = Words{} - 1;
    forEachVector<V>(n, [&](int k, int lanes) {
        const V magnitude = absolute(loadSome<V>(values + k, lanes));  // missing lanes are 0
        lowBits |= asBits(magnitude) & ((std::int64_t{1} << 24) - 1);
        finite &= magnitude <= __DBL_MAX__;
        // In this form the compiler makes them single maximum and minimum
        // instructions, which pick the same lanes.
        highest = magnitude > highest ? magnitude : highest;
        const V nonZero = select(magnitude == 0.0, kInfinity, magnitude);
        lowest = nonZero < lowest ? nonZero : lowest;
    });
    std::int64_t emax = 0, emin = 2047, low = 0;
    for (int k = 0; k < W; ++k) {
        if (!finite[k]) return false;
        low |= lowBits[k];
        const std::int64_t high = asBits(highest)[k] >> 52, least = asBits(lowest)[k] >> 52;
        emax = high > emax ? high : emax;
        emin = least < emin ? least : emin;
    }
    emin = emin == 0 ? 1 : emin;
    if (low != 0 || emax + kMostTermsLog2 > emin + 24) return false;
    // totals[i]: the first i values, four at a time with one addition from
    // one four to the next (exact sums: any order gives the same values).
    double totals[kMostTotals + 1];
    totals[0] = 0.0;
    double running = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const double pair = values[i] + values[i + 1];
        totals[i + 1] = running + values[i];
        totals[i + 2] = running + pair;
        totals[i + 3] = (running + pair) + values[i + 2];
        running += pair + (values[i + 2] + values[i + 3]);
        totals[i + 4] = running;
    }
    for (; i < n; ++i) totals[i + 1] = running += values[i];
    // Bar k's sum: its P + 2 values, the totals' difference from before + k
    // - P - 1 to before + k + 1.
    // The first indices from whole numbers converted a vector at a time.
    typedef typename IndexLanes<V>::Type Indices;
    Indices firstOfLane;
    for (int j = 0; j < W; ++j) firstOfLane[j] = before + j - 1;
    forEachVector<V>(count, [&](int k, int lanes) {
        const V periods = loadSome<V>(period + k, lanes);
        const Indices firsts = (firstOfLane + k) - __builtin_convertvector(periods, Indices);
        V sums = {};
        for (int j = 0; j < lanes; ++j) sums[j] = totals[before + k + j + 1] - totals[firsts[j]];
        storeFloats(out + k, sums / (periods + 2.0), lanes);
    });
    return true;
}

// A vector of bars' phase angles from their components, and where they are
// the library's for certain.
template <class V>
inline V angleOf(V i, V iBefore, V q, V qBefore, MaskOf<V>& exact) {
    const V s = iBefore + i;
    const MaskOf<V> sumIsZero = isZero(s);
    const V numerator = absolute(q + qBefore);
    // Where the sum is zero the angle is 0 before the quadrant rules.
    V angle = keepWhere(~sumIsZero, fastAtanOfQuotient(numerator, absolute(s)) * kDegreesPerRadian);
    angle = select(lessThan(i, V{}) & greaterThan(q, V{}), 180.0 - angle, angle);
    angle = select(lessThan(i, V{}) & lessThan(q, V{}), angle + 180.0, angle);
    angle = select(greaterThan(i, V{}) & lessThan(q, V{}), 360.0 - angle, angle);
    // No arctangent (or one of 0, which is exact): the library's angle.
    exact = sumIsZero | (numerator == 0.0);
    return angle;
}

// A vector of bars' clamped phase changes from their angles and those
// angles' certainty words; `certainty` gets the bars' new words and `doubt`
// the bars whose wrap test needs the library's angles.
template <class V>
inline V changeOf(V before, V now, MaskOf<V> certainBefore, MaskOf<V> certainNow, MaskOf<V>& certainty,
                  MaskOf<V>& doubt) {
    const MaskOf<V> wraps = lessThan(before, V{} + 90.0) & greaterThan(now, V{} + 270.0);
    const V change = select(wraps, (before + 360.0) - now, before - now);
    const MaskOf<V> bothExact = bitIsSet<V>(certainBefore & certainNow, 0);  // kExactPhase
    const MaskOf<V> wrapNearBound = within(before, 90.0, kWrapBand) | within(now, 270.0, kWrapBand);
    // Far outside [1, 60] (or NaN) both paths clamp to the same bound.
    const MaskOf<V> clampedForCertain = ~((change >= 1.0 - kClampBand) & (change <= 60.0 + kClampBand));
    const MaskOf<V> exactChange = bothExact | (clampedForCertain & ~wrapNearBound);
    doubt = wrapNearBound & ~bothExact;
    certainty = (certainNow & kExactPhase) | (exactChange & kExactChange) | (doubt & kWrapInDoubt);
    return lowerTo(60.0, raiseTo(1.0, change));
}

// The phase angles of bars [k, k + lanes) and their certainty words.
template <class V>
inline void storeAnglesOf(const double* inPhase, const double* quadrature, int k, int lanes, double* phase,
                          Certainty* certainty) {
    MaskOf<V> exact;
    const V angle = angleOf(loadSome<V>(inPhase + k, lanes), loadSome<V>(inPhase + k - 1, lanes),
                            loadSome<V>(quadrature + k, lanes), loadSome<V>(quadrature + k - 1, lanes), exact);
    storeSome(phase + k, angle, lanes);
    storeMask<V>(certainty + k, exact & kExactPhase, lanes);
}

template <class V>
void phaseAnglesOf(const double* inPhase, const double* quadrature, int count, double* phase,
                   Certainty* certainty) {
    forEachVector<V>(count,
                     [&](int k, int lanes) { storeAnglesOf<V>(inPhase, quadrature, k, lanes, phase, certainty); });
}

// The filters of a chunk and its phase angles (kernels.hpp). Each filter
// is a chain from bar to bar, a multiply and an add a bar, that alone
// would leave the processor waiting. So what waits on nothing (the
// differences, the terms the chains add) is computed first, a vector at a
// time, and the chains then run with the angles of the bars 16 behind them
// in the same loop, whose work fills the chains' waits. Every value is the
// one the bar-by-bar formulas give: the same operations in the same order.
template <class V>
void filteredAnglesOf(const double* mid, double* differenced, double* inPhase, double* quadrature,
                      double* smoothed, int count, double* phase, Certainty* certainty) {
    constexpr int W = kLanes<V>, kLeadVectors = 16 / W;
    forEachVector<V>(count, [&](int k, int lanes) {
        storeSome(differenced + k, loadSome<V>(mid + k, lanes) - loadSome<V>(mid + k - 6, lanes), lanes);
    });
    // The terms the chains add: 0.33 d[l - 3], 0.2 q[l] and for the smoothed
    // price 0.33 (mid[l] + 0.5 (mid[l] - mid[l - 3])), held in the series
    // until the chains replace them.
    forEachVector<V>(count, [&](int k, int lanes) {
        auto d = [&](int back) { return loadSome<V>(differenced + k - back, lanes); };
        storeSome(inPhase + k, 0.33 * d(3), lanes);
        storeSome(quadrature + k, 0.2 * (0.25 * (d(2) - d(4)) + 0.75 * (d(0) - d(6))), lanes);
        if (smoothed) {
            const V now = loadSome<V>(mid + k, lanes);
            storeSome(smoothed + k, 0.33 * (now + 0.5 * (now - loadSome<V>(mid + k - 3, lanes))), lanes);
        }
    });
    // The two filters side by side in one register: one the compiler keeps
    // there, rather than spilling one around the angles' work.
    Pair components = {inPhase[-1], quadrature[-1]};
    double price = smoothed ? smoothed[-1] : 0.0;
    auto chains = [&](int k) {
        components = Pair{inPhase[k], quadrature[k]} + Pair{0.67, 0.8} * components;
        inPhase[k] = components[0];
        quadrature[k] = components[1];
        if (smoothed) price = smoothed[k] = smoothed[k] + 0.67 * price;
    };
    auto angles = [&](int k, int lanes) { storeAnglesOf<V>(inPhase, quadrature, k, lanes, phase, certainty); };
    const int vectors = count / W;
    for (int v = 0; v < vectors; ++v) {
#pragma GCC unroll 8
        for (int j = 0; j < W; ++j) chains(v * W + j);
        if (v >= kLeadVectors) angles((v - kLeadVectors) * W, W);
    }
    for (int k = vectors * W; k < count; ++k) chains(k);
    const int done = (vectors > kLeadVectors ? vectors - kLeadVectors : 0) * W;
    forEachVector<V>(count - done, [&](int k, int lanes) { angles(done + k, lanes); });
}

template <class V>
bool phaseChangesOf(const double* phase, int count, double* deltaPhase, Certainty* certainty) {
    MaskOf<V> anyDoubt = {};
    // The words of the bars before come from the vector before, moved up a
    // lane, not from memory: a load overlapping the store just made would
    // wait for it. Only their kExactPhase bits are read, which no store here
    // changes.
    MaskOf<V> previous = MaskOf<V>{} + certainty[-1];
    forEachVector<V>(count, [&](int k, int lanes) {
        MaskOf<V> words, doubt;
        const MaskOf<V> now = loadMask<V>(certainty + k, lanes);
        const V change = changeOf(loadSome<V>(phase + k - 1, lanes), loadSome<V>(phase + k, lanes),
                                  laneBefore(previous, now), now, words, doubt);
        storeSome(deltaPhase + k, change, lanes);
        storeMask<V>(certainty + k, words, lanes);
        anyDoubt |= doubt;
        previous = now;
    });
    return anyLane<V>(anyDoubt);
}

// One bar's angle and change (the streaming object), in lane 0: the same
// steps as the two kernels above without their loads and stores.
template <class V>
bool angleAndChangeOfOneBar(const double (&components)[4], double phaseBefore, Certainty certaintyBefore,
                            double* phase, double* change, Certainty* certainty) {
    MaskOf<V> exact, words, doubt;
    const V angle = angleOf(V{} + components[0], V{} + components[1], V{} + components[2], V{} + components[3],
                            exact);
    const V clamped = changeOf(V{} + phaseBefore, angle, MaskOf<V>{} + certaintyBefore, exact & kExactPhase, words,
                               doubt);
    *phase = angle[0];
    *change = clamped[0];
    *certainty = words[0];
    return doubt[0] != 0;
}

// The raw period search of neighbouring bars at once, from the changes
// truncated to whole units of 2^-20 degrees: 32-bit running totals modulo
// 2^32, a window's sum the difference of two totals, and as many bars per
// vector as it has 32-bit lanes.
//
// A window holds at most 42 changes, each in [0, 60], so its sum in units
// is below 42 * 60 * 2^20 < 2^32: the difference of the totals is that sum
// exactly. Truncation takes less than a unit from each change, so the
// changes' exact sum lies in [U, U + 42) units for a window's sum U; and
// the literal's rounded sum of the library's changes lies within
// kSearchMarginDegrees (2^-8 units) of that exact sum. So a window with U >
// 360 * 2^20 passes 360 for certain, and one with U < 360 * 2^20 - 42 fails
// for certain; the few in between (six changes clamped to 60 make exactly
// 360, often) are decided by the stage.
//
// A bar's search stops after the fewest terms whose window passes 360, and
// a bar never needs more than one term more than the bar before it (its
// window of one term more holds the earlier bar's whole window). So a
// vector of bars probes the windows from kBelow terms fewer than its
// previous bar needed to W more, a fixed number of lengths (no branch that
// mispredicts), each length one contiguous load across the lanes, and
// counts the windows that may pass and those that pass for certain: where
// both counts agree, no window next to the crossing is in doubt, and the
// count gives the terms. A lane whose crossing lies outside the probed
// lengths, or is in doubt, is searched again by the stage. The guess only
// decides how often that happens, never a result.
template <class V>
void rawPeriodsOf(const double* deltaPhase, int count, int termsBefore, std::int32_t* found,
                  std::uint64_t* doubts) {
    typedef UnitsOf<V> Units;
    typedef UnitWordsOf<V> Words;
    constexpr int W = sizeof(V) / sizeof(std::uint32_t), kTerms = kSearchLimit + 1, kBelow = 10;
    constexpr int kProbes = kBelow + W + 1;
    static_assert(7 + kProbes - 1 <= kTerms + 1, "the probed lengths fit between 7 and 42 terms");
    static_assert(double(kTerms + 1) * 60 * 0x1p20 < 0x1p32, "window sums fit in 32 bits");
    static_assert(kSearchMarginDegrees <= 0x1p-20, "the margin is below a unit");
    constexpr double kUnitsPerDegree = 0x1p20;
    constexpr std::uint32_t kFullTurn = std::uint32_t{360} << 20;
    // U above this may pass: 42 units for the truncation, one for the margin.
    constexpr std::uint32_t kMayPass = kFullTurn - (kTerms + 1) - 1;
    // totals[i]: the changes of the bars from first - 41 to first + i - 42,
    // padded at the end for the lanes past `count`.
    std::uint32_t totals[kChunkBars + kTerms + 1 + W];
    totals[0] = 0;
    const double* changes = deltaPhase - kTerms;
    // A vector of changes at a time, truncated as it is converted; its
    // running totals across the lanes in log2 of its lanes shifted additions.
    typedef HalfUnitsOf<V> Steps;
    constexpr int kDoubles = kLanes<V>;
    Steps carried = {};  // every lane the total before the vector
    int i = 0;
    for (; i + kDoubles <= count + kTerms; i += kDoubles) {
        const auto truncated = __builtin_convertvector(loadLanes<V>(changes + i) * kUnitsPerDegree,
                                                       typename IndexLanes<V>::Type);
        const Steps units = reinterpret_cast<Steps>(truncated);
        Steps sums = units + lanesUp<1>(units);
        if constexpr (kDoubles > 2) sums += lanesUp<2>(sums);
        if constexpr (kDoubles > 4) sums += lanesUp<4>(sums);
        sums += carried;
        std::memcpy(totals + i + 1, &sums, sizeof sums);
        carried = lastLane(sums);
    }
    std::uint32_t running = carried[0];
    for (; i < count + kTerms; ++i)
        totals[i + 1] = running += static_cast<std::uint32_t>(static_cast<std::int32_t>(changes[i] * kUnitsPerDegree));
    for (int k = 0; k < W; ++k) totals[count + kTerms + 1 + k] = 0;
    // The totals wrap around: the sums' comparisons are unsigned.
    constexpr std::uint32_t kTopBit = std::uint32_t{1} << 31;
    for (int w = 0; w < (count + 63) / 64; ++w) doubts[w] = 0;
    // The vectors of bars [k, k + lanes), given the terms the bar before
    // needed (a guess), which it updates to the terms its last bar needed.
    auto searchVector = [&](int k, int lanes, int& guess) {
        Units total;
        std::memcpy(&total, totals + k + kTerms + 1, sizeof total);
        // The windows of `shortest` to `longest` terms. One of 6 never passes
        // (changes are at most 60, so it needs no look), one of 42 is one too
        // long for the search but tells that 41 do not pass.
        int shortest = guess - kBelow;
        shortest = shortest < 7 ? 7 : shortest > kTerms + 2 - kProbes ? kTerms + 2 - kProbes : shortest;
        const int longest = shortest + kProbes - 1;
        const std::uint32_t* starts = totals + k + kTerms + 1 - shortest;
        Words mayPass = {}, passes = {};  // windows that may pass 360, that pass for certain
#if defined(__AVX512F__)
        if constexpr (W == 16) {
            // Unsigned comparisons into mask registers, and counts added
            // under them: a third of the work the generic form compiles to.
            const __m512i low = _mm512_set1_epi32(static_cast<int>(kMayPass));
            const __m512i high = _mm512_set1_epi32(static_cast<int>(kFullTurn));
            const __m512i one = _mm512_set1_epi32(1);
            // Two counts each, added at the end: half as long a chain.
            __m512i may[2] = {}, sure[2] = {};
#pragma GCC unroll 32
            for (int p = 0; p < kProbes; ++p) {
                const __m512i sum = _mm512_sub_epi32(__m512i(total), _mm512_loadu_si512(starts - p));
                may[p & 1] = _mm512_mask_add_epi32(may[p & 1], _mm512_cmpgt_epu32_mask(sum, low), may[p & 1], one);
                sure[p & 1] = _mm512_mask_add_epi32(sure[p & 1], _mm512_cmpgt_epu32_mask(sum, high), sure[p & 1], one);
            }
            mayPass = reinterpret_cast<Words>(_mm512_add_epi32(may[0], may[1]));
            passes = reinterpret_cast<Words>(_mm512_add_epi32(sure[0], sure[1]));
        } else
#endif
        {
            // Unsigned order is signed order with the top bit flipped, and
            // flipping it is subtracting 2^31: taken from the total once,
            // each probe's sum comes out flipped, ready for signed comparisons.
            const Units flippedTotal = total - kTopBit;
            Words low = Words{} + static_cast<std::int32_t>(kMayPass ^ kTopBit);
            Words high = Words{} + static_cast<std::int32_t>(kFullTurn ^ kTopBit);
            // Seen as constants, x > c would become not (c + 1 > x): one
            // instruction more per comparison.
            keepInRegister(low);
            keepInRegister(high);
            Words may[2] = {}, sure[2] = {};
#pragma GCC unroll 32
            for (int p = 0; p < kProbes; ++p) {
                Units start;
                std::memcpy(&start, starts - p, sizeof start);
                const Words flippedSum = reinterpret_cast<Words>(flippedTotal - start);
                may[p & 1] -= flippedSum > low;
                sure[p & 1] -= flippedSum > high;
            }
            mayPass = may[0] + may[1];
            passes = sure[0] + sure[1];
        }
        // The fewest terms that pass, if the shortest window does not (or
        // is the shortest possible) and the longest does (or is 42 long):
        // fewer than all probes pass, or any number from the fewest; more
        // than none, or any number up to the limit.
        const Words needed = (longest + 1) - passes;
        const Words passingBelow = Words{} + (shortest == 7 ? kProbes + 1 : kProbes);
        const Words passingAbove = Words{} + (longest == kTerms + 1 ? -1 : 0);
        const Words sure = (mayPass == passes) & (mayPass < passingBelow) & (passes > passingAbove);
        const Words none = needed > kTerms;
        const Words stop = (needed - 1) & ~none;
        if (lanes == W) {
            std::memcpy(found + k, &stop, sizeof stop);
        } else {
            for (int j = 0; j < lanes; ++j) found[k + j] = stop[j];
        }
        doubts[k / 64] |= static_cast<std::uint64_t>(unitLaneBits<V>(~sure) & ((std::uint64_t{1} << lanes) - 1))
                          << (k % 64);
        const std::int32_t last = needed[lanes - 1];
        guess = last <= kTerms ? static_cast<int>(last) : guess;
    };
    // Each guess waits on the vector before: a chain from vector to vector
    // that would leave the processor idle. So the bars are split in kChains
    // runs searched in turn, each run's first guess found by a binary search
    // of the bar before it (the fewest terms whose window passes 360; the
    // windows' sums grow with their length).
    constexpr int kChains = 4;
    const int vectors = (count + W - 1) / W;
    int next[kChains], end[kChains], guesses[kChains];
    for (int c = 0; c < kChains; ++c) {
        next[c] = vectors * c / kChains * W;
        end[c] = vectors * (c + 1) / kChains * W;
        // The bar before the run needs more than 6 terms, at most 42: the
        // fewest from 7 to 41 whose window passes, else 42. Without
        // branches (each probe's outcome is as good as random): every
        // length below `fewest` fails, and a failing probe moves it past.
        int fewest = 7;
        const std::uint32_t total = totals[next[c] + kTerms];
        for (int step = 32; step > 0; step /= 2) {
            const int probe = fewest + step - 1;
            const int length = probe <= kTerms ? probe : kTerms;  // a probe past 41 is not taken
            const bool fails = probe <= kTerms && total - totals[next[c] + kTerms - length] <= kFullTurn;
            fewest += fails ? step : 0;
        }
        guesses[c] = fewest;
    }
    guesses[0] = termsBefore > 6 && termsBefore <= kTerms ? termsBefore : guesses[0];
    // First the steps where every run has a whole vector left (only the
    // last run can end in part of one), the runs' state in registers; then
    // what is left of each run.
    int wholeSteps = (count - next[kChains - 1]) / W;
    for (int c = 0; c < kChains - 1; ++c)
        wholeSteps = (end[c] - next[c]) / W < wholeSteps ? (end[c] - next[c]) / W : wholeSteps;
    for (int step = 0; step < wholeSteps; ++step) {
#pragma GCC unroll 4
        for (int c = 0; c < kChains; ++c) searchVector(next[c] + step * W, W, guesses[c]);
    }
    for (int c = 0; c < kChains; ++c)
        for (int k = next[c] + wholeSteps * W; k < end[c]; k += W)
            searchVector(k, count - k < W ? count - k : W, guesses[c]);
}

// Correlation sums, a vector of neighbouring bars at a time, each lane a bar
// adding its own terms in the order of the formula. A vector starts at a
// run of bars that share their period (neighbours usually do) and keeps the
// lanes of that run; the others are computed again with their own period.
// Two such vectors run side by side, so that their chains of additions
// overlap, and the longer finishes alone.
template <class V>
void correlationsOf(const double* mid, const double* period, int count, const AngleTable& table,
                    double* sineSums, double* cosineSums) {
    constexpr int W = kLanes<V>;
    struct Run {
        int start, length, lanes, terms;
        const double* sines;
        const double* cosines;
        V sine, cosine;
    };
    auto runAt = [&](int start) {
        Run r;
        r.start = start;
        r.lanes = count - start < W ? count - start : W;
        // The run's length without a loop whose exit (the length, about as
        // good as random) mispredicts: two lanes compare the neighbour
        // (itself where there is none), more compare all lanes at once.
        if constexpr (W == 2) {
            const bool pair = r.lanes > 1;
            r.length = 1 + (pair & (period[start + pair] == period[start]));
        } else {
            const MaskOf<V> same = loadSome<V>(period + start, r.lanes) == period[start];
            const std::uint32_t leading = (laneBits<V>(same) & ((1u << r.lanes) - 1)) | 1u;
            r.length = __builtin_ctz(~leading);
        }
        r.terms = static_cast<int>(period[start]);
        r.sines = table.sines() + AngleTable::rowOffset(r.terms);
        r.cosines = table.cosines() + AngleTable::rowOffset(r.terms);
        r.sine = r.cosine = V{};
        return r;
    };
    auto addTerm = [&](Run& r, int n) {
        V price = loadSome<V>(mid + r.start - n, r.lanes);
        keepInRegister(price);  // one load for both products
        r.sine += r.sines[n] * price;
        r.cosine += r.cosines[n] * price;
    };
    auto finish = [&](Run& r, int from) {
        for (int n = from; n < r.terms; ++n) addTerm(r, n);
        storeSome(sineSums + r.start, r.sine, r.length);
        storeSome(cosineSums + r.start, r.cosine, r.length);
    };
    for (int k = 0; k < count;) {
        Run a = runAt(k);
        k += a.length;
        if (k == count) {
            finish(a, 0);
            break;
        }
        Run b = runAt(k);
        k += b.length;
        const int both = a.terms < b.terms ? a.terms : b.terms;
        for (int n = 0; n < both; ++n) {
            addTerm(a, n);
            addTerm(b, n);
        }
        finish(a, both);
        finish(b, both);
    }
}

// The cycle phase of a vector of bars from their correlation sums and lag
// compensation (0 where none applies: adding it changes only a -0, and the
// next step adds 90), with the fast arctangent; `doubt` gets the bars whose
// fold test at 315 is in doubt or whose phase is out of the fast sine's range.
template <class V>
inline V cyclePhaseOf(V sineSum, V cosineSum, V compensation, MaskOf<V>& doubt) {
    const MaskOf<V> fromArctangent = greaterThan(absolute(cosineSum), V{} + 0.001);
    const V signOfRatio = asDoubles<V>(asBits(sineSum) ^ asBits(cosineSum));
    const V arctangent = fastAtanOfQuotient(absolute(sineSum), absolute(cosineSum));
    const V rightAngle = keepWhere(isNotZero(sineSum), withSignOf(V{} + 90.0, sineSum));
    V phase = select(fromArctangent, withSignOf(arctangent, signOfRatio) * kDegreesPerRadian, rightAngle);
    phase = (phase + compensation) + 90.0;
    phase = select(lessThan(cosineSum, V{}), phase + 180.0, phase);
    doubt = fromArctangent & within(phase, 315.0, kFoldBand);
    phase = select(greaterThan(phase, V{} + 315.0), phase - 360.0, phase);
    doubt |= ~(absolute(phase) < kCyclePhaseLimit);
    return phase;
}

// The fast sine of phases in degrees; `doubt` gains the bars whose float it
// cannot vouch for.
template <class V>
inline V sineOf(V degrees, MaskOf<V>& doubt) {
    const V value = fastSine(degrees * kRadiansPerDegree);
    doubt |= ~roundsLikeNeighbours(value, kSineOutputBand);
    return value;
}

// One output's floats from the cycle phases plus `offset` degrees (0 or 45;
// the phase is never -0, see below, so adding 0 changes nothing), and the
// bars whose float the fast sine cannot vouch for. The sines are all
// computed before any is checked and stored: each pass's steps per vector
// are then few enough for the processor to run several vectors' chains at
// once (measured a third faster than one pass through arctangent, sine and
// check).
template <class V>
std::uint64_t storedSinesOf(const double* phases, double offset, int count, float* out) {
    double values[kKernelBars];
    forEachVector<V>(count, [&](int k, int lanes) {
        storeSome(values + k, fastSine((loadSome<V>(phases + k, lanes) + offset) * kRadiansPerDegree), lanes);
    });
    std::uint64_t doubts = 0;
    forEachVector<V>(count, [&](int k, int lanes) {
        const V value = loadSome<V>(values + k, lanes);
        storeFloats(out + k, value, lanes);
        const MaskOf<V> doubt = ~roundsLikeNeighbours(value, kSineOutputBand);
        doubts |= static_cast<std::uint64_t>(laneBits<V>(doubt & firstLanes<V>(lanes))) << k;
    });
    return doubts;
}

// Modes 3 and 4 from the correlation sums (at most kKernelBars bars), with
// the fast arctangent and sine; bars whose stored float the fast path cannot
// vouch for get a doubt bit.
template <class V>
std::uint64_t phaseOutputsOf(const double* sineSums, const double* cosineSums, const double* compensation,
                             int count, float* sineOut, float* leadSineOut) {
    double phases[kKernelBars];
    std::uint64_t doubts = 0;
    forEachVector<V>(count, [&](int k, int lanes) {
        MaskOf<V> doubt;
        storeSome(phases + k,
                  cyclePhaseOf(loadSome<V>(sineSums + k, lanes), loadSome<V>(cosineSums + k, lanes),
                               loadSome<V>(compensation + k, lanes), doubt),
                  lanes);
        doubts |= static_cast<std::uint64_t>(laneBits<V>(doubt & firstLanes<V>(lanes))) << k;
    });
    if (sineOut) doubts |= storedSinesOf<V>(phases, 0.0, count, sineOut);
    if (leadSineOut) doubts |= storedSinesOf<V>(phases, 45.0, count, leadSineOut);
    return doubts;
}

// Both outputs of one bar (the streaming object), the sine in lane 0 and
// the lead sine in lane 1 of one vector: the same steps as phaseOutputsOf,
// with half the sines. The phase is never -0 (90 is added last but for the
// fold, which cannot give -0 either), so adding 0 in lane 0 changes nothing.
template <class V>
bool phaseOutputsOfOneBar(double sineSum, double cosineSum, double compensation, float* sineOut,
                          float* leadSineOut) {
    MaskOf<V> doubt;
    const V phase = cyclePhaseOf(V{} + sineSum, V{} + cosineSum, V{} + compensation, doubt);
    V lead = {};
    lead[1] = 45.0;
    const FloatsOf<V> floats = __builtin_convertvector(sineOf(phase + lead, doubt), FloatsOf<V>);
    *sineOut = floats[0];
    *leadSineOut = floats[1];
    return laneBits<V>(doubt) != 0;
}

template <class V>
void approximationsOf(const double* x, int count, double* atanOut, double* sineOut) {
    forEachVector<V>(count, [&](int k, int lanes) {
        const V v = loadSome<V>(x + k, lanes);
        storeSome(atanOut + k, fastAtanOfQuotient(absolute(v), V{} + 1.0), lanes);
        storeSome(sineOut + k, fastSine(v), lanes);
    });
}

}  // namespace

// One instruction set's table of kernels.
// The correlation keeps runs of neighbours that share a period, rarely
// longer than four bars: AVX-512 computes it with four lanes.
#define ZORVANE_KERNELS(V, label)                                                                   \
    Kernels{label, phaseAnglesOf<V>, filteredAnglesOf<V>, phaseChangesOf<V>, rawPeriodsOf<V>,     \
            correlationsOf<std::conditional_t<kLanes<V> == 8, Quad, V>>, phaseOutputsOf<V>, averagesOf<V>,  \
            angleAndChangeOfOneBar<Pair>, phaseOutputsOfOneBar<Pair>,    \
            approximationsOf<V>}

}  // namespace zorvane::detail
