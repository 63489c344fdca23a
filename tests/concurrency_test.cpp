// Many callers at once, each on its own arrays: every result must be
// bit-identical to the same call made alone. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "series_generator.hpp"
#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

namespace {

std::vector<float> compute(const testing_support::PriceSeries& s, int mode) {
    std::vector<float> out(s.priceA.size());
    ZorvaneOscillator(s.priceA.data(), s.priceB.data(), mode, static_cast<int32_t>(out.size()), out.data());
    return out;
}

TEST(Concurrency, ParallelCallersGetTheSingleThreadedBits) {
    constexpr int kThreads = 8, kSeries = 24;
    std::vector<testing_support::PriceSeries> series;
    std::vector<std::vector<float>> expected;
    for (int v = 0; v < kSeries; ++v) {
        series.push_back(testing_support::generateSeries(v, v % 3 == 0 ? 9000 : 0));
        for (int mode = 1; mode <= 4; ++mode) expected.push_back(compute(series.back(), mode));
    }
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (int v = t % kSeries; v < kSeries; v += kThreads) {
                    const auto& s = series[v];
                    for (int mode = 1; mode <= 4; ++mode)
                        failures[t] += testing_support::firstDifference(compute(s, mode), expected[4 * v + mode - 1]) != -1;
                    // A streaming object of this thread's own, bar by bar.
                    zorvane::Oscillator oscillator;
                    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
                        const auto bar = oscillator.push(s.priceA[i], s.priceB[i]);
                        failures[t] += testing_support::bitsOf(bar.sine) !=
                                       testing_support::bitsOf(expected[4 * v + 2][i]);
                    }
                }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
