// The fast path against the library where it matters: the error bounds of
// the fast functions, every instruction set's kernels against the literal
// implementation, and inputs built to sit on the decisions and float
// rounding boundaries where a fast value could mislead.
//
// Built three times: as is (with a count of the fallbacks), with every fast
// result moved by its claimed bound (nothing may change), and moved by far
// more (then the same checks must find differences, or they prove nothing).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bar_loop.hpp"
#include "certification.hpp"
#include "cycle_measurement.hpp"
#include "fast_atan.hpp"
#include "fast_sine.hpp"
#include "kernels.hpp"
#include "phase_outputs.hpp"
#include "phase_rotation.hpp"
#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"

namespace zd = zorvane::detail;
using testing_support::firstDifference;

namespace {

#if defined(ZORVANE_APPROXIMATION_PERTURBATION) && ZORVANE_APPROXIMATION_PERTURBATION > 1
constexpr bool kFarPerturbed = true;
#else
constexpr bool kFarPerturbed = false;
#endif

// Differences are errors, except in the far-perturbed build, where their
// absence is: checks that cannot see a broken fast function check nothing.
void expectFaithful(long differences, const std::string& what) {
    if (kFarPerturbed)
        EXPECT_GT(differences, 0) << what << ": fast functions far off their bounds went unnoticed";
    else
        EXPECT_EQ(differences, 0) << what;
}

std::vector<const zd::Kernels*> kernelSets() {
    const zd::Kernels* sets[zd::kMostKernelSets];
    const int count = zd::kernelsThisMachineRuns(sets);
    return {sets, sets + count};
}

std::vector<float> run(const zd::Kernels& kernels, const testing_support::PriceSeries& s, int mode,
                       zd::FallbackCounts* counts = nullptr) {
    std::vector<float> out(s.priceA.size(), 7.0f);
    zd::runOscillator(s.priceA.data(), s.priceB.data(), mode, static_cast<zd::Bar>(out.size()), out.data(),
                      zd::heapAllocator(), &kernels, counts);
    return out;
}

std::vector<float> literal(const testing_support::PriceSeries& s, int mode) {
    std::vector<float> out(s.priceA.size(), 7.0f);
    reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, static_cast<std::int32_t>(out.size()),
                                 out.data());
    return out;
}

double stepUlps(double x, long ulps) {
    std::int64_t bits;
    std::memcpy(&bits, &x, 8);
    bits += x >= 0 ? ulps : -ulps;
    std::memcpy(&x, &bits, 8);
    return x;
}

#if !defined(ZORVANE_APPROXIMATION_PERTURBATION)
// Against long double arguments' results (64-bit significands), over
// magnitudes from 1e-20 to 1e20, the reduction thresholds and a few ulps
// around them, for each instruction set's evaluation.
TEST(FastFunctions, StayWithinTheirClaimedBounds) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> exponent(-20, 20), angle(-zd::kFastSineRange, zd::kFastSineRange);
    std::vector<double> atanArguments, sineArguments;
    for (int i = 0; i < 400000; ++i) {
        atanArguments.push_back(std::pow(10.0, exponent(rng)));
        sineArguments.push_back(angle(rng));
    }
    for (double edge : {0.41421356237309503, 2.4142135623730949, 1.0})
        for (long u = -2000; u <= 2000; ++u) atanArguments.push_back(stepUlps(edge, u));
    for (int quarter = -81; quarter <= 81; ++quarter)
        for (long u = -300; u <= 300; u += 3) sineArguments.push_back(stepUlps(quarter * M_PI / 4, u));
    atanArguments.insert(atanArguments.end(), {0.0, 1e-300, 1e300, HUGE_VAL});
    sineArguments.insert(sineArguments.end(), {0.0, 1e-300, -1e-300});
    sineArguments.resize(atanArguments.size(), 0.5);
    atanArguments.resize(sineArguments.size(), 0.5);
    for (const zd::Kernels* kernels : kernelSets()) {
        std::vector<double> atans(atanArguments.size()), sines(sineArguments.size()), unused(sines.size());
        kernels->approximations(atanArguments.data(), static_cast<int>(atanArguments.size()), atans.data(),
                                unused.data());
        kernels->approximations(sineArguments.data(), static_cast<int>(sineArguments.size()), unused.data(),
                                sines.data());
        long double worstAtan = 0, worstSine = 0;
        for (std::size_t i = 0; i < atans.size(); ++i) {
            worstAtan = std::max(worstAtan, std::fabs(atans[i] - std::atan(static_cast<long double>(atanArguments[i]))));
            worstSine = std::max(worstSine, std::fabs(sines[i] - std::sin(static_cast<long double>(sineArguments[i]))));
        }
        EXPECT_LE(worstAtan, zd::kFastAtanBound) << kernels->name;
        EXPECT_LE(worstSine, zd::kFastSineBound) << kernels->name;
        std::printf("[ %s ] largest errors: arctangent %.3Lg, sine %.3Lg (bounds %.3g)\n", kernels->name,
                    worstAtan, worstSine, zd::kFastAtanBound);
    }
    // The turning table's sine and cosine, the quarter turns included.
    long double worst = 0;
    for (std::size_t i = 0; i < sineArguments.size(); i += 7) {
        const zd::SineAndCosine got = zd::sineAndCosineOf(sineArguments[i]);
        const long double x = sineArguments[i];
        worst = std::max({worst, std::fabs(got.sine - std::sin(x)), std::fabs(got.cosine - std::cos(x))});
    }
    EXPECT_LE(worst, 0x1p-51) << "the turning table's sine and cosine";
}
#endif

TEST(Kernels, EveryInstructionSetMatchesTheLiteralImplementation) {
    for (const zd::Kernels* kernels : kernelSets()) {
        long differing = 0;
        for (int variant = 0; variant < 2 * testing_support::seriesVariantCount(); ++variant) {
            const auto s = testing_support::generateSeries(variant, variant % 7 == 0 ? 6000 : 0);
            for (int mode = 1; mode <= 4; ++mode) differing += firstDifference(run(*kernels, s, mode), literal(s, mode)) != -1;
        }
        expectFaithful(differing, std::string(kernels->name) + ": runs differing from the literal implementation");
    }
}

#if !defined(ZORVANE_APPROXIMATION_PERTURBATION) && !defined(ZORVANE_BASELINE_KERNELS_ONLY)
// A call gets the widest kernels the processor runs; on aarch64, NEON's.
TEST(Kernels, TheWidestThisMachineRunsAreChosen) {
    std::printf("[ chosen ] %s; for one bar at a time: %s\n", zd::kernelsForThisMachine().name,
                zd::kernelsForOneBar().name);
    EXPECT_EQ(&zd::kernelsForThisMachine(), kernelSets().back());
#if defined(__aarch64__)
    EXPECT_STREQ(zd::kernelsForThisMachine().name, "neon");
    EXPECT_STREQ(zd::kernelsForOneBar().name, "neon");
#endif
}
#endif

// Correlation sums whose literal chain lands its stored sine within a few
// ulps of a float rounding boundary, or its phase next to the fold at 315:
// wherever a kernel vouches for its float, the float must be the library's.
TEST(Kernels, PhaseOutputsNextToFloatBoundariesAndTheFold) {
    constexpr double kPeriod = 10, kUnrounded = 10.25;
    const double compensation = (6.818 / kUnrounded - 0.227) * 360.0;
    std::vector<double> sineSums, cosineSums;
    // A sine sum (over a cosine sum of +1 or -1) whose literal phase is about
    // `phase`, if one reaches it: the raw phase must lie inside (-90, 90).
    auto add = [&](double phase) {
        for (double cosine : {1.0, -1.0})
            for (double beforeFold : {phase, phase + 360.0}) {
                if ((beforeFold > 315.0) != (beforeFold != phase)) continue;
                const double raw = beforeFold - 90.0 - compensation - (cosine < 0 ? 180.0 : 0.0);
                if (std::fabs(raw) >= 89.0) continue;
                sineSums.push_back(cosine * std::tan(raw / zd::kDegreesPerRadian));
                cosineSums.push_back(cosine);
                return true;
            }
        return false;
    };
    auto literalSine = [&](double sineSum, double cosineSum) {
        return std::sin(zd::cyclePhase(sineSum, cosineSum, kPeriod, kUnrounded) * zd::kRadiansPerDegree);
    };
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<float> unit(-0.999f, 0.999f);
    for (int c = 0; c < 300; ++c) {
        // A float midpoint, and the sine sum whose literal sine comes closest.
        const float f = unit(rng);
        const double midpoint = (static_cast<double>(f) + std::nextafter(f, 2.0f)) / 2;
        const double angle = std::asin(midpoint) / zd::kRadiansPerDegree;
        if (!add(angle) && !add(180.0 - angle)) continue;
        const double start = sineSums.back();
        double bestDistance = 1;
        for (long u = -3000; u <= 3000; ++u) {
            const double candidate = stepUlps(start, u);
            const double distance = std::fabs(literalSine(candidate, cosineSums.back()) - midpoint);
            if (distance < bestDistance) sineSums.back() = candidate, bestDistance = distance;
        }
    }
    add(315.0);
    const double fold = sineSums.back();
    for (long u = -40; u <= 40; ++u) sineSums.push_back(stepUlps(fold, 8 * u)), cosineSums.push_back(1.0);
    // And further off, where a fold misplaced by as much changes a float.
    for (double offset : {0.01, 0.1, 1.0}) add(315.0 - offset), add(offset - 45.0);
    const int n = static_cast<int>(sineSums.size());
    const std::vector<double> compensations(n, compensation);

    for (const zd::Kernels* kernels : kernelSets()) {
        long wrong = 0, doubted = 0;
        for (int k = 0; k < n; k += zd::kKernelBars) {
            const int count = std::min(zd::kKernelBars, n - k);
            float sine[zd::kKernelBars], lead[zd::kKernelBars];
            std::uint64_t doubts = kernels->phaseOutputs(sineSums.data() + k, cosineSums.data() + k,
                                                         compensations.data() + k, count, sine, lead);
            for (int i = 0; i < count; ++i, doubts >>= 1) {
                const double phase = zd::cyclePhase(sineSums[k + i], cosineSums[k + i], kPeriod, kUnrounded);
                doubted += doubts & 1;
                if (doubts & 1) continue;
                wrong += sine[i] != static_cast<float>(std::sin(phase * zd::kRadiansPerDegree));
                wrong += lead[i] != static_cast<float>(std::sin((phase + 45) * zd::kRadiansPerDegree));
            }
        }
        // The same for the streaming object's one bar at a time.
        for (int i = 0; i < n; ++i) {
            float sine, lead;
            if (kernels->phaseOutputsOfOneBar(sineSums[i], cosineSums[i], compensation, &sine, &lead)) continue;
            const double phase = zd::cyclePhase(sineSums[i], cosineSums[i], kPeriod, kUnrounded);
            wrong += sine != static_cast<float>(std::sin(phase * zd::kRadiansPerDegree));
            wrong += lead != static_cast<float>(std::sin((phase + 45) * zd::kRadiansPerDegree));
        }
        expectFaithful(wrong, std::string(kernels->name) + ": vouched-for floats that are not the library's");
        std::printf("[ %s ] %d sums built on float boundaries and the fold: %ld handed to the library\n",
                    kernels->name, n, doubted);
        if (!kFarPerturbed) {
            EXPECT_GT(doubted, n / 3) << kernels->name << ": boundary cases not handed back";
        }
    }

    // The streaming object's turned sums (phase_rotation.hpp), at three
    // scales: scaling by a power of two leaves the literal phase as it is.
    const int key = static_cast<int>(kUnrounded * 4);
    ASSERT_EQ(zd::CompensationTable().byQuarters()[key], compensation);
    long wrong = 0, doubted = 0;
    for (double scale : {1.0, 0x1p-9, 0x1p20})
        for (int i = 0; i < n; ++i) {
            const double sineSum = sineSums[i] * scale, cosineSum = cosineSums[i] * scale;
            const zd::PhaseRotation& row = zd::kPhaseRotations.rows[key][std::signbit(cosineSum)];
            float sine, lead;
            const bool doubt = zd::rotatedPhaseOutputs(sineSum, cosineSum, row, &sine, &lead);
            doubted += doubt;
            if (doubt) continue;
            const double phase = zd::cyclePhase(sineSum, cosineSum, kPeriod, kUnrounded);
            wrong += sine != static_cast<float>(std::sin(phase * zd::kRadiansPerDegree));
            wrong += lead != static_cast<float>(std::sin((phase + 45) * zd::kRadiansPerDegree));
        }
    expectFaithful(wrong, "turned sums: vouched-for floats that are not the library's");
    std::printf("[ turned sums ] %d sums at three scales: %ld handed back\n", n, doubted);
    if (!kFarPerturbed) {
        EXPECT_GT(doubted, n) << "turned sums: boundary cases not handed back";
    }
}

// Series of in-phase and quadrature values (so no filter in between) for the
// angle and change stages, and the search after them.
struct Components {
    explicit Components(int n) : data(9, std::vector<double>(n, 0.0)), certainty(n, zd::kExactPhase | zd::kExactChange) {}
    zd::WorkingSeries series() {
        auto at = [this](int i) { return zd::WindowSeries{data[i].data()}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {certainty.data()}, {}};
    }
    void set(int bar, double inPhase, double quadrature) { data[2][bar] = inPhase, data[3][bar] = quadrature; }
    std::vector<std::vector<double>> data;
    std::vector<zd::Certainty> certainty;
};

// The literal angles, changes and raw periods of those components.
std::vector<double> literalRawPeriods(Components& c, int n, std::vector<double>* changes) {
    std::vector<double> phase(n, 0.0), change(n, 0.0), raw(n, 0.0);
    for (int l = 6; l < n; ++l) {
        phase[l] = zd::phaseAngle(c.data[2][l], c.data[2][l - 1], c.data[3][l], c.data[3][l - 1]);
        change[l] = zd::clampedPhaseChange(phase[l - 1], phase[l]);
        double sum = 0;
        for (int m = 0; m <= 40 && l - m >= 0; ++m)
            if ((sum += change[l - m]) > 360) {
                raw[l] = m;
                break;
            }
        if (raw[l] == 0) raw[l] = raw[l - 1];
    }
    *changes = change;
    return raw;
}

// The stages on components: changes within their bound of the literal ones
// (equal where marked exact), and the same raw periods.
long stageDifferences(const zd::Kernels& kernels, Components& c, int n) {
    std::vector<double> changes;
    const std::vector<double> raw = literalRawPeriods(c, n, &changes);
    zd::StageContext context(kernels);
    for (int l = 6; l < n; ++l) c.certainty[l] = 0;
    zd::measureAnglesAndChanges(c.series(), 6, n, context);
    zd::searchRawPeriods(c.series(), 6, n, context);
#if defined(ZORVANE_COUNT_FALLBACKS)
    std::printf("[ %s ] %d bars built on the decisions: library angles %lld, wrap tests %lld, searches %lld\n",
                kernels.name, n, static_cast<long long>(context.fallbacks.phaseAngles),
                static_cast<long long>(context.fallbacks.wrapTests), static_cast<long long>(context.fallbacks.searches));
#endif
    long differences = 0;
    for (int l = 6; l < n; ++l) {
        const double error = std::fabs(c.data[5][l] - changes[l]);
        differences += error > zd::kPhaseChangeBound || ((c.certainty[l] & zd::kExactChange) && error != 0);
        differences += c.data[6][l] != raw[l];
    }
    return differences;
}

// Angles a few ulps from 90 and 270 next to angles that make the wrap test
// turn on them.
TEST(Stages, WrapTestsNextToTheirBounds) {
    // atan(r) * 57.29577951471995 reaches 90 at about r = 2.2e10.
    double ratio = std::tan(90.0 / zd::kDegreesPerRadian);
    while (std::atan(ratio) * zd::kDegreesPerRadian < 90.0) ratio = stepUlps(ratio, 1);
    constexpr int kCases = 400, kBarsPerCase = 6;
    Components c(6 + kBarsPerCase * kCases);
    for (int k = 0; k < kCases; ++k) {
        const int bar = 6 + kBarsPerCase * k;
        const double r = stepUlps(ratio, k % 40 - 20);
        // Two bars with the same components give an angle next to 90; the
        // next turns to about 297, a wrap if that angle is below 90.
        c.set(bar, 1.0, r);
        c.set(bar + 1, 1.0, r);
        c.set(bar + 2, 4.0, -10.0 - r);
        // An angle of about 27, then one next to 270 (I > 0, Q < 0: 360 - 90),
        // a wrap if that is above 270.
        c.set(bar + 3, 1.0, 0.5);
        c.set(bar + 4, 1.0, 0.5);
        c.set(bar + 5, 1.0, -2 * r - 0.5);
    }
    for (const zd::Kernels* kernels : kernelSets()) {
        Components copy = c;
        expectFaithful(stageDifferences(*kernels, copy, static_cast<int>(c.data[0].size())),
                       std::string(kernels->name) + ": changes or raw periods next to the wrap bounds");
    }
}

// Angles that turn by 360/7, 360/9 or 360/11 a bar, so that 7, 9 or 11
// changes add up to 360 give or take rounding: the searches must come out as
// the literal one's.
TEST(Stages, SearchesNextToAFullTurn) {
    constexpr int kBars = 1500;
    Components c(kBars);
    for (int l = 0; l < kBars; ++l) {
        const double step = 2 * M_PI / (l < 500 ? 7 : l < 1000 ? 9 : 11);
        const double theta = 1.234 - step * l;
        c.set(l, std::cos(theta), std::sin(theta));
    }
    for (const zd::Kernels* kernels : kernelSets()) {
        Components copy = c;
        expectFaithful(stageDifferences(*kernels, copy, kBars),
                       std::string(kernels->name) + ": changes or raw periods next to a full turn");
    }
}

// The batch search next to its decision bands. Runs of changes repeat a
// pattern of n (so every window of n sums alike) whose exact sum lies a few
// 2^-20-degree units from 360: either each change just below a whole unit
// (truncation loses nearly a unit each, so the units' sum U lies up to n
// below the true sum) or just above one (U is the true sum's floor). Every
// bar the kernel does not hand back must get the literal search's result.
TEST(Stages, BatchSearchNextToAFullTurnInUnits) {
    constexpr int kBars = 41 + 16 * zd::kChunkBars;
    constexpr double kUnit = 0x1p-20;
    constexpr long kTurn = 360L << 20;
    std::mt19937_64 rng(11);
    auto between = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    std::vector<double> changes;
    while (changes.size() < kBars) {
        // Just below: long windows, whose truncation loses the most.
        const bool justBelow = between(0, 1) == 1;
        const int n = justBelow ? between(34, 41) : between(7, 41);
        // Whole units summing to kTurn - n + j (just below) or kTurn + j.
        const long wholeSum = justBelow ? kTurn - n + between(0, 3) : kTurn + between(-3, 3);
        std::vector<double> pattern(n);
        for (int i = 0; i < n; ++i) {
            const long whole = wholeSum / n + (i < wholeSum % n ? 1 : 0);
            const double tiny = std::ldexp(1.0, -between(10, 30));
            pattern[i] = (static_cast<double>(whole) + (justBelow ? 1.0 - tiny : tiny)) * kUnit;
        }
        for (int k = 0; k < 3 * n; ++k) changes.push_back(pattern[k % n]);
    }
    changes.resize(kBars);
    auto literalSearch = [&](int bar) {
        double sum = 0.0;
        for (int m = 0; m <= zd::kSearchLimit; ++m)
            if ((sum += changes[bar - m]) > 360.0) return m;
        return 0;
    };
    for (const zd::Kernels* kernels : kernelSets()) {
        long wrong = 0, decidedInBand = 0;
        for (int first = 41; first < kBars; first += zd::kChunkBars) {
            const int n = std::min(zd::kChunkBars, kBars - first);
            std::int32_t found[zd::kChunkBars];
            std::uint64_t doubts[zd::kChunkBars / 64];
            kernels->rawPeriods(changes.data() + first, n, 20, found, doubts);
            for (int k = 0; k < n; ++k) {
                if (doubts[k / 64] >> (k % 64) & 1) continue;
                const int expected = literalSearch(first + k);
                wrong += found[k] != expected;
                double sum = 0.0;
                for (int m = 0; m <= expected; ++m) sum += changes[first + k - m];
                decidedInBand += expected > 0 && std::fabs(sum - 360.0) < 64 * kUnit;
            }
        }
        EXPECT_EQ(wrong, 0) << kernels->name;
        EXPECT_GT(decidedInBand, kBars / 20) << kernels->name;
    }
}

#if defined(ZORVANE_COUNT_FALLBACKS)
// How often the fast path hands a bar back to the library, on bars like real
// ones and on series that sit on the decisions all the time.
TEST(Fallbacks, AreRareOnRealisticBars) {
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 0.4);
    testing_support::PriceSeries realistic{"realistic", {}, {}};
    double walk = 100;
    for (int i = 0; i < 200000; ++i) {
        walk += noise(rng) * 0.5;
        const double mid = walk + 2.5 * std::sin(2 * M_PI * i / (22 + 10 * std::sin(i / 300.0))) + noise(rng);
        realistic.priceA.push_back(static_cast<float>(mid + 0.5));
        realistic.priceB.push_back(static_cast<float>(mid - 0.5));
    }
    for (const zd::Kernels* kernels : kernelSets()) {
        for (const auto& s : {realistic, testing_support::generateSeries(5, 20000), testing_support::generateSeries(4, 20000)}) {
            zd::FallbackCounts counts;
            long bars = 0;
            for (int mode = 1; mode <= 4; ++mode, bars += static_cast<long>(s.priceA.size())) run(*kernels, s, mode, &counts);
            std::printf("[ %s ] %s, %ld bars: library angles %.2g, wrap tests %.2g, searches %.2g, outputs %.2g per bar\n",
                        kernels->name, s.name.c_str(), bars, double(counts.phaseAngles) / bars,
                        double(counts.wrapTests) / bars, double(counts.searches) / bars, double(counts.phaseOutputs) / bars);
            if (s.name == "realistic") {
                EXPECT_LT(counts.phaseAngles + counts.wrapTests + counts.searches + counts.phaseOutputs, bars / 1000)
                    << kernels->name;
            }
        }
    }
}
#endif

}  // namespace
