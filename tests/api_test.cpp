// The C++ library: the streaming object and the batch call against the
// module, bit for bit, on every generated series.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "series_generator.hpp"
#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

using testing_support::firstDifference;
using testing_support::generateSeries;
using testing_support::PriceSeries;

namespace {

struct Streamed {
    std::vector<float> byMode[4];
};

Streamed stream(zorvane::Oscillator& oscillator, const PriceSeries& s) {
    Streamed out;
    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
        const zorvane::BarOutputs bar = oscillator.push(s.priceA[i], s.priceB[i]);
        out.byMode[0].push_back(bar.cycleAverage);
        out.byMode[1].push_back(bar.smoothedPrice);
        out.byMode[2].push_back(bar.sine);
        out.byMode[3].push_back(bar.leadSine);
    }
    return out;
}

std::vector<float> module(const PriceSeries& s, int mode) {
    std::vector<float> out(s.priceA.size());
    ZorvaneOscillator(s.priceA.data(), s.priceB.data(), mode, static_cast<int32_t>(out.size()), out.data());
    return out;
}

void expectSameAsModule(const Streamed& streamed, const PriceSeries& s) {
    for (int mode = 1; mode <= 4; ++mode) {
        const auto expected = module(s, mode);
        ASSERT_EQ(firstDifference(streamed.byMode[mode - 1], expected), -1) << s.name << " mode " << mode;
        const auto batch = zorvane::compute(s.priceA.data(), s.priceB.data(), s.priceA.size(),
                                            static_cast<zorvane::Mode>(mode));
        ASSERT_EQ(firstDifference(batch, expected), -1) << s.name << " batch mode " << mode;
    }
}

TEST(Streaming, EveryGeneratedSeriesMatchesTheModule) {
    for (int variant = 0; variant < 2 * testing_support::seriesVariantCount(); ++variant) {
        const auto s = generateSeries(variant);
        zorvane::Oscillator oscillator;
        expectSameAsModule(stream(oscillator, s), s);
    }
}

TEST(Streaming, LongHistoryKeepsMatching) {
    // Far more bars than the object keeps, and past the batch call's chunks.
    for (int variant : {0, 10, 39}) {
        const auto s = generateSeries(variant, 50000);
        zorvane::Oscillator oscillator;
        expectSameAsModule(stream(oscillator, s), s);
    }
}

TEST(Streaming, WarmUpBarsHoldTheMarker) {
    zorvane::Oscillator oscillator;
    for (int i = 0; i < 6; ++i) {
        const auto bar = oscillator.push(100.0f + i, 99.0f);
        EXPECT_TRUE(zorvane::isNoValue(bar.cycleAverage) && zorvane::isNoValue(bar.smoothedPrice) &&
                    zorvane::isNoValue(bar.sine) && zorvane::isNoValue(bar.leadSine));
    }
    EXPECT_FALSE(zorvane::isNoValue(oscillator.push(101.0f, 99.0f).sine));
    EXPECT_EQ(oscillator.bars(), 7);
    EXPECT_EQ(oscillator.period(), 0);
}

TEST(Streaming, ResetAndCopiesBehaveLikeFreshObjects) {
    const auto s = generateSeries(4), t = generateSeries(5);
    zorvane::Oscillator oscillator;
    stream(oscillator, t);
    oscillator.reset();
    EXPECT_EQ(oscillator.bars(), 0);
    expectSameAsModule(stream(oscillator, s), s);

    // A copy taken halfway continues exactly like the original.
    zorvane::Oscillator original;
    const std::size_t half = s.priceA.size() / 2;
    for (std::size_t i = 0; i < half; ++i) original.push(s.priceA[i], s.priceB[i]);
    zorvane::Oscillator copy = original;
    zorvane::Oscillator moved = std::move(original);
    original = moved;  // a moved-from object can be assigned again
    for (std::size_t i = half; i < s.priceA.size(); ++i) {
        const auto a = original.push(s.priceA[i], s.priceB[i]);
        const auto b = copy.push(s.priceA[i], s.priceB[i]);
        ASSERT_EQ(testing_support::bitsOf(a.leadSine), testing_support::bitsOf(b.leadSine));
    }
}

TEST(Streaming, PeriodFollowsAPureCycle) {
    // A 20-bar cycle: the raw period settles at 20 and the smoothed period,
    // truncated, three below it.
    zorvane::Oscillator oscillator;
    for (int i = 0; i < 400; ++i) {
        const float price = 100.0f + 5.0f * static_cast<float>(std::sin(2 * M_PI * i / 20.0));
        oscillator.push(price, price);
        if (i < 14) {
            EXPECT_EQ(oscillator.period(), 0);
        }
    }
    EXPECT_GE(oscillator.period(), 15);
    EXPECT_LE(oscillator.period(), 20);
}

TEST(Batch, RefusesWhatTheModuleWouldSilentlyIgnore) {
    const float prices[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_THROW(zorvane::compute(prices, prices, 8, static_cast<zorvane::Mode>(5)), std::invalid_argument);
    EXPECT_THROW(zorvane::compute(nullptr, prices, 8, zorvane::Mode::Sine), std::invalid_argument);
    EXPECT_TRUE(zorvane::compute(nullptr, nullptr, 0, zorvane::Mode::Sine).empty());
    const auto shortRun = zorvane::compute(prices, prices, 3, zorvane::Mode::Sine);
    ASSERT_EQ(shortRun.size(), 3u);
    for (float v : shortRun) EXPECT_TRUE(zorvane::isNoValue(v));
}

}  // namespace
