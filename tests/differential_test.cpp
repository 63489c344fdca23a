// The module against the literal implementation, bit for bit, over a few
// hundred generated series in every mode.
#include <gtest/gtest.h>

#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

using testing_support::firstDifference;
using testing_support::generateSeries;

namespace {

constexpr int kSeries = 384;

class Differential : public ::testing::TestWithParam<int> {};

TEST_P(Differential, EveryModeMatchesTheLiteralImplementation) {
    const int mode = GetParam();
    for (int variant = 0; variant < kSeries; ++variant) {
        const auto s = generateSeries(variant);
        const auto count = static_cast<int32_t>(s.priceA.size());
        std::vector<float> mine(count, 7.0f), theirs(count, 7.0f);
        ZorvaneOscillator(s.priceA.data(), s.priceB.data(), mode, count, mine.data());
        reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, count, theirs.data());
        const long at = firstDifference(mine, theirs);
        ASSERT_EQ(at, -1) << s.name << " mode " << mode << " first differs at bar " << at;
    }
}

TEST_P(Differential, OutputInPlaceOfAPriceArrayMatches) {
    const int mode = GetParam();
    for (int variant = 0; variant < kSeries; variant += 5) {
        const auto s = generateSeries(variant);
        const auto count = static_cast<int32_t>(s.priceA.size());
        auto mineA = s.priceA, theirsA = s.priceA;
        ZorvaneOscillator(mineA.data(), s.priceB.data(), mode, count, mineA.data());
        reference::literalOscillator(theirsA.data(), s.priceB.data(), mode, count, theirsA.data());
        ASSERT_EQ(firstDifference(mineA, theirsA), -1) << s.name << " mode " << mode;
    }
}

// Long inputs are computed in chunks; lengths around the chunk edges and a
// long mixed series must give the same bits.
TEST_P(Differential, LongSeriesAcrossChunkEdgesMatch) {
    const int mode = GetParam();
    for (int count : {576, 577, 1088, 1089, 4159, 5183, 5184, 30011}) {
        for (int variant : {0, 2, 10, 39}) {
            const auto s = generateSeries(variant, count);
            std::vector<float> mine(count, 7.0f), theirs(count, 7.0f);
            ZorvaneOscillator(s.priceA.data(), s.priceB.data(), mode, count, mine.data());
            reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, count, theirs.data());
            const long at = firstDifference(mine, theirs);
            ASSERT_EQ(at, -1) << s.name << " count " << count << " mode " << mode << " at " << at;
            auto mineInPlace = s.priceB;
            ZorvaneOscillator(s.priceA.data(), mineInPlace.data(), mode, count, mineInPlace.data());
            auto theirsInPlace = s.priceB;
            reference::literalOscillator(s.priceA.data(), theirsInPlace.data(), mode, count,
                                         theirsInPlace.data());
            ASSERT_EQ(firstDifference(mineInPlace, theirsInPlace), -1) << s.name << " in place";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Differential, ::testing::Values(0, 1, 2, 3, 4, 5));

}  // namespace
