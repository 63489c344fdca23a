// The one-pass compute against the module's call for each mode, bit for
// bit, for every subset of the four outputs over the generated series, and
// its period range against what a streaming object reports bar by bar; for
// half the sets with progress told, whose bars must be final when told.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "series_generator.hpp"
#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

using testing_support::firstDifference;
using testing_support::generateSeries;

namespace {

zorvane::PeriodRange streamedRange(const testing_support::PriceSeries& s) {
    zorvane::Oscillator oscillator;
    zorvane::PeriodRange range;
    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
        oscillator.push(s.priceA[i], s.priceB[i]);
        const int period = oscillator.period();
        if (period == 0) continue;
        range.lowest = range.lowest == 0 || period < range.lowest ? period : range.lowest;
        range.highest = period > range.highest ? period : range.highest;
    }
    return range;
}

// The parameter is a set of modes, bit m - 1 for mode m.
class OnePass : public ::testing::TestWithParam<int> {};

TEST_P(OnePass, EachOutputIsTheModulesCallForItsMode) {
    const int wanted = GetParam();
    std::vector<testing_support::PriceSeries> series;
    for (int variant = 0; variant < 384; ++variant) series.push_back(generateSeries(variant));
    for (int count : {5, 6, 7, 300, 577, 1089, 30011}) series.push_back(generateSeries(count % 40, count));
    for (const auto& s : series) {
        const std::size_t count = s.priceA.size();
        std::vector<float> mine[4];
        zorvane::Outputs outputs;
        float** slots[4] = {&outputs.cycleAverage, &outputs.smoothedPrice, &outputs.sine, &outputs.leadSine};
        for (int m = 0; m < 4; ++m)
            if (wanted >> m & 1) *slots[m] = (mine[m] = std::vector<float>(count, 7.0f)).data();
        // Progress: each count told, and a hash of each output's bars below it then.
        std::vector<std::pair<std::size_t, std::uint64_t>> told;
        auto hashBelow = [&](std::size_t bars) {
            std::uint64_t hash = 14695981039346656037u;
            for (int m = 0; m < 4; ++m)
                for (std::size_t i = 0; i < bars && !mine[m].empty(); ++i) {
                    std::uint32_t bits;
                    std::memcpy(&bits, &mine[m][i], 4);
                    hash = (hash ^ bits) * 1099511628211u;
                }
            return hash;
        };
        const zorvane::PeriodRange range =
            wanted % 2 ? zorvane::compute(s.priceA.data(), s.priceB.data(), count, outputs,
                                          [&](std::size_t bars) { told.push_back({bars, hashBelow(bars)}); })
                       : zorvane::compute(s.priceA.data(), s.priceB.data(), count, outputs);
        for (std::size_t k = 0; k < told.size(); ++k) {
            ASSERT_TRUE(k == 0 || told[k].first > told[k - 1].first) << s.name;
            ASSERT_EQ(told[k].second, hashBelow(told[k].first)) << s.name << " bars below " << told[k].first;
        }
        if (wanted % 2) {
            ASSERT_TRUE(!told.empty() && told.back().first == count) << s.name;
        }
        for (int m = 0; m < 4; ++m) {
            if (!(wanted >> m & 1)) continue;
            std::vector<float> module(count, 7.0f);
            ZorvaneOscillator(s.priceA.data(), s.priceB.data(), m + 1, static_cast<int32_t>(count), module.data());
            const long at = firstDifference(mine[m], module);
            ASSERT_EQ(at, -1) << s.name << " (" << count << " bars) mode " << m + 1 << " first differs at " << at;
        }
        if (wanted == 0 || wanted == 15) {
            const zorvane::PeriodRange streamed = streamedRange(s);
            ASSERT_EQ(range.lowest, streamed.lowest) << s.name;
            ASSERT_EQ(range.highest, streamed.highest) << s.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ModeSets, OnePass, ::testing::Range(0, 16));

TEST(OnePassArguments, OverlapsAndNullPricesAreRefused) {
    std::vector<float> prices(64, 100.0f), out(64);
    zorvane::Outputs aliased;
    aliased.sine = prices.data() + 3;
    EXPECT_THROW(zorvane::compute(prices.data(), prices.data(), 64, aliased), std::invalid_argument);
    zorvane::Outputs twice;
    twice.sine = twice.leadSine = out.data();
    EXPECT_THROW(zorvane::compute(prices.data(), prices.data(), 64, twice), std::invalid_argument);
    EXPECT_THROW(zorvane::compute(nullptr, prices.data(), 64, zorvane::Outputs{}), std::invalid_argument);
}

}  // namespace
