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

// A 12-bar cycle: its phase changes often add up to 360 give or take
// rounding, and a push then also makes earlier bars' phase values exact.
testing_support::PriceSeries nearFullTurns() {
    testing_support::PriceSeries s{"near-full-turns", {}, {}};
    for (int l = 0; l < 3000; ++l) {
        const double price = 100 + 5 * std::sin(2 * M_PI * l / 12 + 0.3);
        s.priceA.push_back(static_cast<float>(price + 0.5));
        s.priceB.push_back(static_cast<float>(price - 0.5));
    }
    return s;
}

TEST(Revise, EqualsPushingTheFinalPricesFirst) {
    // Every bar is first pushed with other prices (NaN among them, and
    // prices a hair off the real ones) and then revised up to three times,
    // the last time to the real prices.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int variant = 0; variant < testing_support::seriesVariantCount(); variant += 3) {
        const auto s = generateSeries(variant);
        zorvane::Oscillator direct, revised;
        for (std::size_t i = 0; i < s.priceA.size(); ++i) {
            const float a = s.priceA[i], b = s.priceB[i];
            const auto expected = direct.push(a, b);
            revised.push(i % 7 == 3 ? nan : a * 1.01f, b + 3.0f);
            for (std::size_t extra = i % 4; extra > 0; --extra)
                revised.revise(extra == 1 ? std::nextafter(a, 0.0f) : b, extra == 1 ? b : -a);
            const auto got = revised.revise(a, b);
            expectSameBar(got, expected, s.name + " bar " + std::to_string(i));
            ASSERT_EQ(revised.period(), direct.period());
            ASSERT_EQ(revised.toBytes(), direct.toBytes()) << s.name << " bar " << i;  // nothing else differs
        }
    }
}

TEST(Revise, UndoesEverythingThePushChanged) {
    // From the same state, pushing the real prices and revising them to
    // others must leave what pushing the others leaves, to the last word.
    const auto s = nearFullTurns();
    zorvane::Oscillator history;
    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
        const float a = s.priceA[i], b = s.priceB[i];
        zorvane::Oscillator revised = history, reference = history;
        revised.push(a, b);
        expectSameBar(revised.revise(a + 1.0f, b + 1.0f), reference.push(a + 1.0f, b + 1.0f),
                      "bar " + std::to_string(i));
        ASSERT_EQ(revised.toBytes(), reference.toBytes()) << "bar " << i;
        history.push(a, b);
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
    // Valid framing around values no object can reach: a period of 1e9, an
    // unknown certainty bit, a negative bar count, one push cannot follow,
    // a journal longer than any push makes or one that would write outside
    // the angle, change and certainty rings. The words: the bar count, 64
    // per series with period the eighth, 64 of certainty, 64 of change
    // totals, then the journal's length and its (offset, value) pairs.
    using Words = std::vector<std::uint64_t>;
    constexpr std::size_t kJournal = 1 + 11 * 64;
    expectRefused(reframed(good, 1, [](Words& w) { w[1 + 7 * 64 + 5] = zorvane::detail::toWord(1e9); }),
                  "impossible values");
    expectRefused(reframed(good, 1, [](Words& w) { w[1 + 9 * 64 + 3] |= 8; }), "impossible values");
    expectRefused(reframed(good, 1, [](Words& w) { w[0] = zorvane::detail::toWord(std::int64_t{-1}); }),
                  "impossible values");
    expectRefused(reframed(good, 1,
                           [](Words& w) { w[0] = zorvane::detail::toWord(std::numeric_limits<std::int64_t>::max()); }),
                  "impossible values");
    expectRefused(reframed(good, 1, [](Words& w) { w[kJournal] = 100000; }), "impossible values");
    expectRefused(reframed(good, 1,
                           [](Words& w) {
                               w[kJournal] = 1;
                               w[kJournal + 1] = 0;  // the bar count's word
                           }),
                  "impossible values");
}

}  // namespace
