// The kernels of kernels.hpp, written once over a vector type V and compiled
// by each kernels_*.cpp for its instruction set. Internal linkage throughout
// (see lanes.hpp): include only from those files.
#pragma once

#include <cmath>
#include <cstring>

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

template <class V>
void phaseAnglesOf(const double* inPhase, const double* quadrature, int count, double* phase,
                   Certainty* certainty) {
    forEachVector<V>(count, [&](int k, int lanes) {
        const V i = loadSome<V>(inPhase + k, lanes), iBefore = loadSome<V>(inPhase + k - 1, lanes);
        const V q = loadSome<V>(quadrature + k, lanes), qBefore = loadSome<V>(quadrature + k - 1, lanes);
        const V s = iBefore + i;
        const MaskOf<V> sumIsZero = isZero(s);
        const V ratio = absolute((q + qBefore) / s);
        // Where the sum is zero the angle is 0 before the quadrant rules.
        V angle = keepWhere(~sumIsZero, fastAtan(ratio) * kDegreesPerRadian);
        angle = select(lessThan(i, V{}) & greaterThan(q, V{}), 180.0 - angle, angle);
        angle = select(lessThan(i, V{}) & lessThan(q, V{}), angle + 180.0, angle);
        angle = select(greaterThan(i, V{}) & lessThan(q, V{}), 360.0 - angle, angle);
        storeSome(phase + k, angle, lanes);
        // No arctangent (or one of 0, which is exact): the library's angle.
        storeMask<V>(certainty + k, (sumIsZero | (ratio == 0.0)) & kExactPhase, lanes);
    });
}

template <class V>
bool phaseChangesOf(const double* phase, int count, double* deltaPhase, Certainty* certainty) {
    MaskOf<V> anyDoubt = {};
    forEachVector<V>(count, [&](int k, int lanes) {
        const V before = loadSome<V>(phase + k - 1, lanes), now = loadSome<V>(phase + k, lanes);
        const MaskOf<V> certainBefore = loadMask<V>(certainty + k - 1, lanes);
        const MaskOf<V> certainNow = loadMask<V>(certainty + k, lanes);
        const MaskOf<V> wraps = lessThan(before, V{} + 90.0) & greaterThan(now, V{} + 270.0);
        const V change = select(wraps, (before + 360.0) - now, before - now);
        const V clamped = lowerTo(60.0, raiseTo(1.0, change));
        const MaskOf<V> bothExact = bitIsSet<V>(certainBefore & certainNow, 0);  // kExactPhase
        const MaskOf<V> wrapNearBound = within(before, 90.0, kWrapBand) | within(now, 270.0, kWrapBand);
        // Far outside [1, 60] (or NaN) both paths clamp to the same bound.
        const MaskOf<V> clampedForCertain = ~((change >= 1.0 - kClampBand) & (change <= 60.0 + kClampBand));
        const MaskOf<V> exactChange = bothExact | (clampedForCertain & ~wrapNearBound);
        const MaskOf<V> doubt = wrapNearBound & ~bothExact;
        storeSome(deltaPhase + k, clamped, lanes);
        storeMask<V>(certainty + k, (certainNow & kExactPhase) | (exactChange & kExactChange) | (doubt & kWrapInDoubt),
                     lanes);
        anyDoubt |= doubt;
    });
    return anyLane<V>(anyDoubt);
}

// The raw period search of neighbouring bars at once, each lane a bar adding
// its changes newest first in rounded doubles, exactly as the search does.
// With changes from fast angles a sum may differ from the one of exact
// changes by a little (certification.hpp); the sums only grow, so a lane is
// in doubt only if its stopping sum or the sum just before lies within the
// margin of 360 (or, without a stop, its last sum). Four vectors run side by
// side so that their chains of additions overlap. No change exceeds 60, so
// no search stops before its seventh term.
template <class V>
std::uint64_t rawPeriodsOf(const double* deltaPhase, int count, double* found) {
    constexpr int W = kLanes<V>, kVectors = 4, kFewestTerms = 7;
    std::uint64_t doubts = 0;
    for (int k = 0; k < count; k += kVectors * W) {
        int lanes[kVectors];
        MaskOf<V> searching[kVectors], any = {};
        V sum[kVectors], crossing[kVectors], before[kVectors], stop[kVectors];
        for (int h = 0; h < kVectors; ++h) {
            const int left = count - k - h * W;
            lanes[h] = left < 0 ? 0 : left < W ? left : W;
            searching[h] = firstLanes<V>(lanes[h]);
            any |= searching[h];
            sum[h] = crossing[h] = before[h] = stop[h] = V{};
            for (int m = 0; m < kFewestTerms - 1; ++m) sum[h] += loadSome<V>(deltaPhase + k + h * W - m, lanes[h]);
        }
        V term = V{} + (kFewestTerms - 1);
        for (int m = kFewestTerms - 1; m <= kSearchLimit && anyLane<V>(any); ++m, term += 1.0) {
            any = MaskOf<V>{};
            for (int h = 0; h < kVectors; ++h) {
                const V previous = sum[h];
                sum[h] += loadSome<V>(deltaPhase + k + h * W - m, lanes[h]);
                const MaskOf<V> passes = searching[h] & greaterThan(sum[h], V{} + 360.0);
                crossing[h] = select(passes, sum[h], crossing[h]);
                before[h] = select(passes, previous, before[h]);
                stop[h] = select(passes, term, stop[h]);
                searching[h] &= ~passes;
                any |= searching[h];
            }
        }
        for (int h = 0; h < kVectors && lanes[h] > 0; ++h) {
            // A lane still searching ends on its last sum, below 360.
            const V last = select(searching[h], sum[h], crossing[h]);
            const MaskOf<V> doubt = firstLanes<V>(lanes[h]) &
                                    (within(last, 360.0, kSearchMarginDegrees) |
                                     within(before[h], 360.0, kSearchMarginDegrees));
            storeSome(found + k + h * W, stop[h], lanes[h]);
            doubts |= static_cast<std::uint64_t>(laneBits<V>(doubt)) << (k + h * W);
        }
    }
    return doubts;
}

// Correlation sums, a vector of neighbouring bars at a time, each lane a bar
// adding its own terms in the order of the formula. A vector starts at a
// run of bars that share their period (neighbours usually do) and keeps the
// lanes of that run; the others are computed again with their own period.
template <class V>
void correlationsOf(const double* mid, const double* period, int count, const AngleTable& table,
                    double* sineSums, double* cosineSums) {
    constexpr int W = kLanes<V>;
    for (int k = 0; k < count;) {
        const int lanes = count - k < W ? count - k : W;
        int run = 1;
        while (run < lanes && period[k + run] == period[k]) ++run;
        const int p = static_cast<int>(period[k]);
        const double* sines = table.sines() + AngleTable::rowOffset(p);
        const double* cosines = table.cosines() + AngleTable::rowOffset(p);
        V sine = {}, cosine = {};
        for (int n = 0; n < p; ++n) {
            const V price = loadSome<V>(mid + k - n, lanes);
            sine += sines[n] * price;
            cosine += cosines[n] * price;
        }
        storeSome(sineSums + k, sine, run);
        storeSome(cosineSums + k, cosine, run);
        k += run;
    }
}

// Modes 3 and 4 from the correlation sums, with the fast arctangent and sine;
// bars whose stored float the fast path cannot vouch for get a doubt bit.
template <class V>
std::uint64_t phaseOutputsOf(const double* sineSums, const double* cosineSums, const double* period,
                             const double* unrounded, int count, float* sineOut, float* leadSineOut) {
    std::uint64_t doubts = 0;
    forEachVector<V>(count, [&](int k, int lanes) {
        const V sineSum = loadSome<V>(sineSums + k, lanes), cosineSum = loadSome<V>(cosineSums + k, lanes);
        const V p = loadSome<V>(period + k, lanes), u = loadSome<V>(unrounded + k, lanes);
        const MaskOf<V> fromArctangent = greaterThan(absolute(cosineSum), V{} + 0.001);
        const V ratio = sineSum / cosineSum;
        const V rightAngle = keepWhere(isNotZero(sineSum), withSignOf(V{} + 90.0, sineSum));
        V phase = select(fromArctangent, withSignOf(fastAtan(absolute(ratio)), ratio) * kDegreesPerRadian,
                         rightAngle);
        const MaskOf<V> compensated = lessThan(p, V{} + 30.0) & greaterThan(u, V{});
        phase = select(compensated, phase + (6.818 / u - 0.227) * 360.0, phase);
        phase = phase + 90.0;
        phase = select(lessThan(cosineSum, V{}), phase + 180.0, phase);
        MaskOf<V> doubt = fromArctangent & within(phase, 315.0, kFoldBand);
        phase = select(greaterThan(phase, V{} + 315.0), phase - 360.0, phase);
        doubt |= ~(absolute(phase) < kCyclePhaseLimit);
        if (sineOut) {
            const V value = fastSine(phase * kRadiansPerDegree);
            doubt |= ~roundsLikeNeighbours(value, kSineOutputBand);
            storeFloats(sineOut + k, value, lanes);
        }
        if (leadSineOut) {
            const V value = fastSine((phase + 45.0) * kRadiansPerDegree);
            doubt |= ~roundsLikeNeighbours(value, kSineOutputBand);
            storeFloats(leadSineOut + k, value, lanes);
        }
        doubts |= static_cast<std::uint64_t>(laneBits<V>(doubt & firstLanes<V>(lanes))) << k;
    });
    return doubts;
}

template <class V>
void approximationsOf(const double* x, int count, double* atanOut, double* sineOut) {
    forEachVector<V>(count, [&](int k, int lanes) {
        const V v = loadSome<V>(x + k, lanes);
        storeSome(atanOut + k, fastAtan(absolute(v)), lanes);
        storeSome(sineOut + k, fastSine(v), lanes);
    });
}

}  // namespace

// One instruction set's table of kernels. With two lanes the rounded search
// adds more than exact sums cost: SSE2 leaves the search to those
// (cycle_measurement.cpp).
#define ZORVANE_KERNELS(V, label)                                                                   \
    Kernels{label, phaseAnglesOf<V>, phaseChangesOf<V>, kLanes<V> > 2 ? rawPeriodsOf<V> : nullptr,     \
            correlationsOf<V>, phaseOutputsOf<V>, approximationsOf<V>}

}  // namespace zorvane::detail
