// The streaming object's revise and saved state: revising the forming bar
// matches pushing the final prices in the first place, and a restored
// object continues bit for bit; damaged or foreign bytes are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "series_generator.hpp"
#include "state_bytes.hpp"
#include "zorvane/oscillator.hpp"

using testing_support::bitsOf;
using testing_support::generateSeries;

namespace {

void expectSameBar(const zorvane::BarOutputs& a, const zorvane::BarOutputs& b, const std::string& where) {
    ASSERT_EQ(bitsOf(a.cycleAverage), bitsOf(b.cycleAverage)) << where;
    ASSERT_EQ(bitsOf(a.smoothedPrice), bitsOf(b.smoothedPrice)) << where;
    ASSERT_EQ(bitsOf(a.sine), bitsOf(b.sine)) << where;
    ASSERT_EQ(bitsOf(a.leadSine), bitsOf(b.leadSine)) << where;
}

TEST(Revise, EqualsPushingTheFinalPricesFirst) {
    // Every bar is first pushed with other prices (NaN among them) and then
    // revised up to three times, the last time to the real prices.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int variant = 0; variant < testing_support::seriesVariantCount(); variant += 3) {
        const auto s = generateSeries(variant);
        zorvane::Oscillator direct, revised;
        for (std::size_t i = 0; i < s.priceA.size(); ++i) {
            const auto expected = direct.push(s.priceA[i], s.priceB[i]);
            revised.push(i % 7 == 3 ? nan : s.priceA[i] * 1.01f, s.priceB[i] + 3.0f);
            for (std::size_t extra = i % 3; extra > 0; --extra) revised.revise(s.priceB[i], -s.priceA[i]);
            const auto got = revised.revise(s.priceA[i], s.priceB[i]);
            expectSameBar(got, expected, s.name + " bar " + std::to_string(i));
            ASSERT_EQ(revised.period(), direct.period());
            ASSERT_EQ(revised.bars(), direct.bars());
        }
        ASSERT_EQ(revised.toBytes(), direct.toBytes()) << s.name;  // nothing else differs either
    }
}

TEST(Revise, NeedsABar) {
    zorvane::Oscillator oscillator;
    EXPECT_THROW(oscillator.revise(1, 2), std::logic_error);
    oscillator.push(1, 2);
    oscillator.reset();
    EXPECT_THROW(oscillator.revise(1, 2), std::logic_error);
}

TEST(SavedState, RestoredObjectContinuesBitForBit) {
    const auto s = generateSeries(2, 700);
    for (std::size_t savedAt : {0, 3, 6, 15, 64, 65, 500}) {
        zorvane::Oscillator original;
        for (std::size_t i = 0; i < savedAt; ++i) original.push(s.priceA[i], s.priceB[i]);
        const auto bytes = original.toBytes();
        zorvane::Oscillator restored = zorvane::Oscillator::fromBytes(bytes.data(), bytes.size());
        ASSERT_EQ(restored.bars(), original.bars());
        ASSERT_EQ(restored.period(), original.period());
        const std::string where = "saved at " + std::to_string(savedAt);
        if (savedAt > 0) expectSameBar(restored.revise(7, 8), original.revise(7, 8), where + ", revised");
        for (std::size_t i = savedAt; i < s.priceA.size(); ++i)
            expectSameBar(restored.push(s.priceA[i], s.priceB[i]), original.push(s.priceA[i], s.priceB[i]),
                          where);
    }
}

// The saved words of a state, re-framed with another version or payload.
std::vector<unsigned char> reframed(const std::vector<unsigned char>& bytes, std::uint32_t version,
                                    void (*edit)(std::vector<std::uint64_t>&)) {
    const std::size_t words = (bytes.size() - 24) / 8;
    auto payload = zorvane::detail::decodeState(bytes.data(), bytes.size(), 1, words);
    edit(payload);
    return zorvane::detail::encodeState(version, payload);
}

void expectRefused(const std::vector<unsigned char>& bytes, const char* reason) {
    try {
        zorvane::Oscillator::fromBytes(bytes.data(), bytes.size());
        ADD_FAILURE() << "accepted: " << reason;
    } catch (const zorvane::StateError& e) {
        EXPECT_NE(std::strstr(e.what(), reason), nullptr) << e.what();
    }
}

TEST(SavedState, DamagedOrForeignBytesAreRefused) {
    zorvane::Oscillator oscillator;
    const auto s = generateSeries(1);
    for (std::size_t i = 0; i < s.priceA.size(); ++i) oscillator.push(s.priceA[i], s.priceB[i]);
    const auto good = oscillator.toBytes();
    ASSERT_NO_THROW(zorvane::Oscillator::fromBytes(good.data(), good.size()));

    expectRefused({}, "not a saved oscillator state");
    expectRefused({'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "not a saved oscillator state");
    expectRefused(std::vector<unsigned char>(good.begin(), good.end() - 1), "truncated");
    auto longer = good;
    longer.push_back(0);
    expectRefused(longer, "truncated or extended");
    for (std::size_t at = 8; at < good.size(); ++at) {  // after the magic, every byte matters
        auto damaged = good;
        damaged[at] ^= static_cast<unsigned char>(1u << (at % 8));
        ASSERT_THROW(zorvane::Oscillator::fromBytes(damaged.data(), damaged.size()), zorvane::StateError)
            << at;
    }
    expectRefused(reframed(good, 2, [](std::vector<std::uint64_t>&) {}), "format version 2");
    expectRefused(reframed(good, 1, [](std::vector<std::uint64_t>& w) { w.pop_back(); }), "payload of");
    // Valid framing around values no object can reach: a period of 1e9 (word
    // 0 is the bar count, then 64 words per series, period the eighth, then
    // the undo record), a negative bar count, one push cannot follow.
    using Words = std::vector<std::uint64_t>;
    expectRefused(reframed(good, 1, [](Words& w) { w[1 + 7 * 64 + 5] = zorvane::detail::toWord(1e9); }),
                  "impossible values");
    expectRefused(reframed(good, 1, [](Words& w) { w[0] = zorvane::detail::toWord(std::int64_t{-1}); }),
                  "impossible values");
    expectRefused(reframed(good, 1,
                           [](Words& w) {
                               w[0] = zorvane::detail::toWord(std::numeric_limits<std::int64_t>::max());
                               w[1 + 9 * 64] = w[0] - 1;  // the undo record's bar count, one less
                           }),
                  "impossible values");
}

}  // namespace
