// Working memory that cannot be obtained: output untouched, every block
// already obtained given back, and the next call unaffected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "bar_loop.hpp"
#include "series_generator.hpp"

namespace zd = zorvane::detail;

namespace {

// Refuses the request numbered `failAt` (from 0) and tracks what is live.
struct CountingAllocator {
    int failAt = -1;
    int requests = 0;
    std::size_t lastBytes = 0;
    std::set<void*> live;

    zd::SeriesAllocator seam() {
        return {[](std::size_t bytes, void* self) -> void* {
                    auto& a = *static_cast<CountingAllocator*>(self);
                    a.lastBytes = bytes;
                    if (a.requests++ == a.failAt) return nullptr;
                    void* block = std::malloc(bytes);
                    a.live.insert(block);
                    return block;
                },
                [](void* block, void* self) {
                    auto& a = *static_cast<CountingAllocator*>(self);
                    EXPECT_EQ(a.live.erase(block), 1u) << "released a block twice or never obtained";
                    std::free(block);
                },
                this};
    }
};

TEST(Allocation, EachRefusalLeavesOutputUntouchedAndLeaksNothing) {
    const auto s = testing_support::generateSeries(1);
    const auto count = static_cast<zd::Bar>(s.priceA.size());
    for (int failAt = 0; failAt < 9; ++failAt) {
        CountingAllocator allocator;
        allocator.failAt = failAt;
        std::vector<float> out(count, 3.0f);
        EXPECT_FALSE(zd::runOscillator(s.priceA.data(), s.priceB.data(), 3, count, out.data(),
                                       allocator.seam()));
        EXPECT_EQ(allocator.requests, failAt + 1);
        EXPECT_TRUE(allocator.live.empty());
        for (float v : out) ASSERT_EQ(v, 3.0f);
    }
}

TEST(Allocation, NineSeriesOfCountDoublesThenAllReturned) {
    const auto s = testing_support::generateSeries(5);
    const auto count = static_cast<zd::Bar>(s.priceA.size());
    CountingAllocator allocator;
    std::vector<float> out(count);
    EXPECT_TRUE(zd::runOscillator(s.priceA.data(), s.priceB.data(), 1, count, out.data(),
                                  allocator.seam()));
    EXPECT_EQ(allocator.requests, 9);
    EXPECT_EQ(allocator.lastBytes, static_cast<std::size_t>(count) * sizeof(double));
    EXPECT_TRUE(allocator.live.empty());
}

TEST(Allocation, ACallAfterARefusalWorksNormally) {
    const auto s = testing_support::generateSeries(9);
    const auto count = static_cast<zd::Bar>(s.priceA.size());
    std::vector<float> expected(count), out(count);
    CountingAllocator normal;
    zd::runOscillator(s.priceA.data(), s.priceB.data(), 4, count, expected.data(), normal.seam());
    for (int failAt = 0; failAt < 9; ++failAt) {
        CountingAllocator refusing;
        refusing.failAt = failAt;
        zd::runOscillator(s.priceA.data(), s.priceB.data(), 4, count, out.data(), refusing.seam());
        CountingAllocator again;
        EXPECT_TRUE(zd::runOscillator(s.priceA.data(), s.priceB.data(), 4, count, out.data(), again.seam()));
        EXPECT_EQ(testing_support::firstDifference(out, expected), -1);
    }
}

TEST(Allocation, SizesBeyondTheAddressSpaceAreRefusedBeforeAsking) {
    // Nine series of this many doubles cannot be addressed; nothing is
    // requested, read or written (the arrays here are far shorter).
    const float prices[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    float out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    CountingAllocator allocator;
    const zd::Bar huge = static_cast<zd::Bar>(SIZE_MAX / (9 * sizeof(double)) + 1);
    EXPECT_FALSE(zd::runOscillator(prices, prices, 1, huge, out, allocator.seam()));
    EXPECT_EQ(allocator.requests, 0);
    for (float v : out) EXPECT_EQ(v, 9.0f);
}

TEST(Allocation, ShortCallsNeedNoMemory) {
    const float prices[5] = {1, 2, 3, 4, 5};
    float out[5];
    CountingAllocator allocator;
    allocator.failAt = 0;
    EXPECT_TRUE(zd::runOscillator(prices, prices, 1, 5, out, allocator.seam()));
    EXPECT_EQ(allocator.requests, 0);
}

}  // namespace
