// Non-finite prices at chosen bars: what the comparison rule implies for
// each mode, and that the module agrees with the literal implementation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

using testing_support::firstDifference;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<float> cycle(int count) {
    std::vector<float> v(count);
    for (int i = 0; i < count; ++i) v[i] = 100.0f + 5.0f * std::sin(2 * M_PI * i / 18.0);
    return v;
}

std::vector<float> run(const std::vector<float>& a, int mode) {
    std::vector<float> out(a.size());
    ZorvaneOscillator(a.data(), a.data(), mode, static_cast<int32_t>(a.size()), out.data());
    return out;
}

std::vector<float> runReference(const std::vector<float>& a, int mode) {
    std::vector<float> out(a.size());
    reference::literalOscillator(a.data(), a.data(), mode, static_cast<int32_t>(a.size()), out.data());
    return out;
}

TEST(NonFinite, EarlyBarsInPriceModesCarryTheValueThrough) {
    auto a = cycle(60);
    a[10] = kNaN;
    a[12] = kInf;
    for (int mode : {CycleAverage, SmoothedPrice}) {
        const auto out = run(a, mode);
        EXPECT_TRUE(std::isnan(out[10]));
        EXPECT_EQ(out[12], kInf);
        EXPECT_TRUE(std::isfinite(out[11]));
    }
}

TEST(NonFinite, SmoothedPriceStaysNaNOnceReached) {
    auto a = cycle(120);
    a[40] = kNaN;
    const auto out = run(a, SmoothedPrice);
    EXPECT_TRUE(std::isfinite(out[39]));
    for (int l = 40; l < 120; ++l) EXPECT_TRUE(std::isnan(out[l])) << l;
}

TEST(NonFinite, PhaseModesStayFiniteForNaNButNotForInfinity) {
    // A NaN in the window makes both sums NaN: the raw phase counts as 0 and
    // the cosine as negative, so the sine is finite. An infinity at the
    // current bar makes the sine sum 0 x inf = NaN while the cosine sum is
    // infinite, and the arctangent of their ratio is NaN.
    auto withNaN = cycle(200), withInf = cycle(200);
    withNaN[150] = kNaN;
    withInf[150] = kInf;
    for (int mode : {Sine, LeadSine}) {
        for (float v : run(withNaN, mode)) EXPECT_TRUE(std::isfinite(v));
        EXPECT_TRUE(std::isnan(run(withInf, mode)[150]));
    }
}

TEST(NonFinite, PeriodStaysFiniteWhateverThePrices) {
    // A flood of NaN prices: every phase change becomes 1, the sums of 41
    // terms never pass 360, and the period holds its last value. With the
    // period kept, modes 1 and 3 keep producing their fallback values.
    auto a = cycle(300);
    for (int i = 100; i < 300; ++i) a[i] = kNaN;
    const auto sine = run(a, Sine);
    for (int l = 150; l < 300; ++l) EXPECT_TRUE(std::isfinite(sine[l])) << l;
}

TEST(NonFinite, AgreesWithTheLiteralImplementationBitForBit) {
    const float specials[] = {kNaN, kInf, -kInf, -kNaN, std::numeric_limits<float>::max(),
                              -0.0f, std::numeric_limits<float>::denorm_min()};
    for (int bar : {0, 3, 5, 6, 8, 13, 14, 24, 25, 26, 60}) {
        for (float special : specials) {
            auto a = cycle(120);
            a[bar] = special;
            for (int mode = 1; mode <= 4; ++mode)
                ASSERT_EQ(firstDifference(run(a, mode), runReference(a, mode)), -1)
                    << "bar " << bar << " value " << special << " mode " << mode;
        }
    }
}

}  // namespace
