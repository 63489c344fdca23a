// Hand-worked cases for the per-bar stages, at the boundaries where an
// off-by-one, a wrong comparison or a rounding slip would show.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "cycle_measurement.hpp"
#include "phase_outputs.hpp"
#include "price_following.hpp"

namespace zd = zorvane::detail;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Nine zeroed series of n bars, indexed directly, whose phase values count
// as exact.
struct Workspace {
    explicit Workspace(int n)
        : data(9, std::vector<double>(n, 0.0)), certainty(n, zd::kExactPhase | zd::kExactChange) {}
    zd::WorkingSeries series() {
        auto at = [this](int i) { return zd::WindowSeries{data[i].data()}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {certainty.data()}, {}};
    }
    std::vector<std::vector<double>> data;
    std::vector<zd::Certainty> certainty;
    zd::StageContext context{zd::baselineKernels()};
};

TEST(PhaseChange, WrapsOnlyFromBelow90ToAbove270) {
    EXPECT_EQ(zd::clampedPhaseChange(80, 300), 60);   // 140, clamped
    EXPECT_EQ(zd::clampedPhaseChange(80, 260), 1);    // -180, no wrap
    EXPECT_EQ(zd::clampedPhaseChange(300, 20), 60);   // 280, clamped
    EXPECT_EQ(zd::clampedPhaseChange(90, 300), 1);    // 90 is not below 90
    EXPECT_EQ(zd::clampedPhaseChange(89, 271), 60);   // wrap: 178
    EXPECT_EQ(zd::clampedPhaseChange(10, 359), 11);   // wrap: 11, inside the clamp
    EXPECT_EQ(zd::clampedPhaseChange(30, 5), 25);
    EXPECT_EQ(zd::clampedPhaseChange(30, 29.5), 1);   // below 1
}

TEST(PhaseChange, NotANumberBecomesOne) {
    EXPECT_EQ(zd::clampedPhaseChange(kNaN, 300), 1);  // wraps, then NaN is below 1
    EXPECT_EQ(zd::clampedPhaseChange(20, kNaN), 1);
    EXPECT_EQ(zd::clampedPhaseChange(kNaN, kNaN), 1);
}

TEST(PhaseAngle, QuadrantsFromTheCurrentComponents) {
    const double a = std::atan(1.0) * zd::kDegreesPerRadian;  // |(1+1)/(1+1)|
    EXPECT_EQ(zd::phaseAngle(1, 1, 1, 1), a);
    EXPECT_EQ(zd::phaseAngle(-1, -1, 1, 1), 180 - a);
    EXPECT_EQ(zd::phaseAngle(-1, -1, -1, -1), a + 180);
    EXPECT_EQ(zd::phaseAngle(1, 1, -1, -1), 360 - a);
    // Edges that stay as computed: I = 0 with Q < 0, I < 0 with Q = 0.
    EXPECT_EQ(zd::phaseAngle(0.0, 2, -1, -1), a);
    EXPECT_EQ(zd::phaseAngle(-1, -1, -0.0, 0.0), 0.0);
}

TEST(PhaseAngle, ZeroSumStillGetsTheQuadrant) {
    // I now + I before is zero: the angle is 0 before the correction.
    EXPECT_EQ(zd::phaseAngle(-1, 1, 3, 3), 180);
    EXPECT_EQ(zd::phaseAngle(-1, 1, -3, 3), 180);
    EXPECT_EQ(zd::phaseAngle(1, -1, -3, 3), 360);
    EXPECT_EQ(zd::phaseAngle(-0.0, 0.0, 5, 5), 0);  // -0 is zero, not below it
}

TEST(PhaseAngle, NotANumberFollowsTheRule) {
    EXPECT_EQ(zd::phaseAngle(kNaN, 1, 2, 2), 180);       // sum NaN counts as zero; I below 0
    EXPECT_EQ(zd::phaseAngle(kNaN, 1, kNaN, 2), 180);    // I and Q below 0: 0 + 180
    EXPECT_TRUE(std::isnan(zd::phaseAngle(1, 1, kNaN, 2)));  // atan(NaN), then 360 - NaN
    EXPECT_EQ(zd::phaseAngle(1, 1, std::numeric_limits<double>::infinity(), 0),
              std::atan(std::numeric_limits<double>::infinity()) * zd::kDegreesPerRadian);
}

// Raw period search over a hand-made deltaPhase series.
int rawPeriodAt(const std::vector<double>& deltaPhase, int bar, double previous = 0) {
    Workspace w(static_cast<int>(deltaPhase.size()));
    w.data[5] = deltaPhase;
    w.data[6][bar - 1] = previous;
    zd::searchRawPeriods(w.series(), bar, bar + 1, w.context);
    return static_cast<int>(w.data[6][bar]);
}

TEST(RawPeriod, RecordsTheCountMinusOneOnceStrictlyAbove360) {
    std::vector<double> dp(60, 0.0);
    for (int i = 6; i < 60; ++i) dp[i] = 60;
    EXPECT_EQ(rawPeriodAt(dp, 12), 6);          // 7 terms: 420; 6 terms make exactly 360
    EXPECT_EQ(rawPeriodAt(dp, 11, 9), 9);       // 6 terms of 60 are not above 360
}

TEST(RawPeriod, StopsAfterFortyOneTerms) {
    std::vector<double> dp(100, 9.0);
    EXPECT_EQ(rawPeriodAt(dp, 80), 40);          // 41 x 9 = 369
    std::fill(dp.begin(), dp.end(), 8.78);       // 41 x 8.78 < 360
    EXPECT_EQ(rawPeriodAt(dp, 80, 17), 17);      // repeats the previous bar
}

TEST(RawPeriod, NoCycleBeforeBar14FromTheWarmUp) {
    // Bars 6 to 8 always move by 1 (their in-phase sums are still zero).
    std::vector<double> dp(30, 0.0);
    for (int i = 6; i < 30; ++i) dp[i] = i < 9 ? 1 : 60;
    EXPECT_EQ(rawPeriodAt(dp, 13), 0);           // 5 x 60 + 3 = 303
    EXPECT_EQ(rawPeriodAt(dp, 14), 6);           // 6 x 60 = 360 is not above; + 1 is
}

// Whole ranges decide most bars from exact sums; single bars always add up
// the rounded terms. Patterns that put the sum at or next to 360 must agree.
TEST(RawPeriod, RangeAndSingleBarSearchesAgree) {
    const std::vector<double (*)(int)> patterns = {
        [](int i) { return 1 + std::fmod(i * 7.31, 59.0); },
        [](int) { return 60.0; },                                 // exactly 360 after six
        [](int) { return 360.0 / 7; },                            // rounds either side of 360
        [](int i) { return i % 2 ? 360.0 / 9 : 360.0 / 11; },
        [](int i) { return i % 50 < 25 ? 1.0 : 9.0 - 1e-15 * (i % 3); },
        [](int i) { return 1 + 1e-13 * i; },
        [](int i) { return i % 13 == 0 ? 60.0 : 8.780487804878049; },  // 41 terms near 360
    };
    for (auto pattern : patterns) {
        Workspace range(300), single(300);
        for (int i = 6; i < 300; ++i) range.data[5][i] = single.data[5][i] = pattern(i);
        zd::searchRawPeriods(range.series(), 6, 300, range.context);
        for (int l = 6; l < 300; ++l) zd::searchRawPeriods(single.series(), l, l + 1, single.context);
        EXPECT_EQ(range.data[6], single.data[6]);
    }
}

TEST(SmoothedPeriod, TruncatesAndSettlesBelowASteadyRawPeriod) {
    Workspace w(80);
    auto s = w.series();
    w.data[7][9] = 5;
    w.data[6][10] = 16;
    zd::smoothPeriods(s, 10, 11);
    EXPECT_EQ(zd::unroundedPeriod(s, 10), 7.75);
    EXPECT_EQ(w.data[7][10], 7);
    for (int l = 11; l < 80; ++l) w.data[6][l] = l < 50 ? 20 : 40;
    zd::smoothPeriods(s, 11, 80);
    EXPECT_EQ(w.data[7][49], 17);
    EXPECT_EQ(w.data[7][79], 37);
}

TEST(PriceFollowing, EarlyBarsAreTheMeanAndSmoothingStartsFromBar24) {
    Workspace w(40);
    auto s = w.series();
    for (int l = 0; l < 40; ++l) w.data[0][l] = 100 + l * l * 0.1;
    float smoothed[34], average[34];
    zd::smoothPrices(s, 6, 40, smoothed);
    zd::averageOverCycles(s, 6, 40, average, w.context.kernels);
    for (int l = 6; l < 25; ++l) {
        EXPECT_EQ(smoothed[l - 6], static_cast<float>(w.data[0][l]));
        EXPECT_EQ(average[l - 6], static_cast<float>(w.data[0][l]));
    }
    const auto& mid = w.data[0];
    EXPECT_EQ(smoothed[25 - 6],
              static_cast<float>(0.33 * (mid[25] + 0.5 * (mid[25] - mid[22])) + 0.67 * mid[24]));
    EXPECT_EQ(average[30 - 6], static_cast<float>((mid[30] + mid[29]) / 2));  // period 0
}

TEST(PriceFollowing, AveragesPeriodPlusTwoBarsNewestFirst) {
    Workspace w(60);
    auto s = w.series();
    for (int l = 0; l < 60; ++l) w.data[0][l] = 1e16 + (l % 3) * 1.0 + (l == 40 ? 3.0 : 0.0);
    w.data[7][40] = 10;
    float out[1];
    zd::averageOverCycles(s, 40, 41, out, w.context.kernels);
    double sum = 0;
    for (int l = 40; l >= 29; --l) sum += w.data[0][l];  // 12 bars, this order
    EXPECT_EQ(out[0], static_cast<float>(sum / 12));
}

TEST(CyclePhase, NearZeroBandIsStrict) {
    // |cosineSum| of exactly 0.001 is near zero: raw phase 90 with the sine's sign.
    EXPECT_EQ(zd::cyclePhase(2, 0.001, 0, 0), 180);
    EXPECT_EQ(zd::cyclePhase(-2, 0.001, 0, 0), 0);
    EXPECT_EQ(zd::cyclePhase(0.0, 0.0, 0, 0), 90);
    EXPECT_EQ(zd::cyclePhase(2, 0.0010000000000000002, 0, 0),
              std::atan(2 / 0.0010000000000000002) * zd::kDegreesPerRadian + 90);
    // Slightly negative inside the band still adds 180, then folds once.
    EXPECT_EQ(zd::cyclePhase(2, -0.0005, 0, 0), 0);   // 90 + 90 + 180 - 360
}

TEST(CyclePhase, CompensationBelowPeriod30Only) {
    const double raw = std::atan(0.5) * zd::kDegreesPerRadian;
    EXPECT_EQ(zd::cyclePhase(1, 2, 30, 30.25), raw + 90);
    EXPECT_EQ(zd::cyclePhase(1, 2, 29, 29.25), raw + (6.818 / 29.25 - 0.227) * 360 + 90);
    // Period 1: one term at angle 0, compensation for 1.5, then a single fold.
    const double p1 = 0.0 + (6.818 / 1.5 - 0.227) * 360 + 90 - 360;
    EXPECT_EQ(zd::cyclePhase(0.0, 100, 1, 1.5), p1);
    EXPECT_GT(p1, 315);  // one fold only, however far above
}

TEST(CyclePhase, NotANumberSums) {
    // NaN cosine: not above the band, below zero; NaN sine counts as zero.
    EXPECT_EQ(zd::cyclePhase(kNaN, kNaN, 10, 10.5), (6.818 / 10.5 - 0.227) * 360 + 90 + 180 - 360);
    EXPECT_TRUE(std::isnan(zd::cyclePhase(kNaN, std::numeric_limits<double>::infinity(), 10, 10.5)));
}

TEST(AngleTable, MatchesTheDirectLibraryCalls) {
    // Rows filled from the shortest up (an even one then takes half its
    // entries from its half's row), and each alone.
    zd::AngleTable table;
    for (int p = 1; p <= 37; ++p) {
        zd::AngleTable alone;
        for (const auto row : {table.row(p), alone.row(p)})
            for (int n = 0; n < p; ++n) {
                const double angle = n * 6.283185307 / p;
                EXPECT_EQ(row.sines[n], std::sin(angle));
                EXPECT_EQ(row.cosines[n], std::cos(angle));
            }
    }
}

}  // namespace
