// The calling contract seen from a host: warm-up, counts, modes, bad
// arguments, aliasing and the absence of state between calls.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

using testing_support::bitsOf;
using testing_support::firstDifference;
using testing_support::generateSeries;

namespace {

constexpr float kSentinel = -12345.5f;

std::vector<float> run(const std::vector<float>& a, const std::vector<float>& b, int mode,
                       std::size_t slack = 0) {
    std::vector<float> out(a.size() + slack, kSentinel);
    ZorvaneOscillator(a.data(), b.data(), mode, static_cast<int32_t>(a.size()), out.data());
    return out;
}

std::vector<float> ramp(int count, float start = 100.0f) {
    std::vector<float> v(count);
    for (int i = 0; i < count; ++i) v[i] = start + static_cast<float>(i % 17) * 0.25f;
    return v;
}

TEST(Contract, CountOfSixWritesOnlyTheMarkers) {
    for (int mode = -1; mode <= 5; ++mode) {
        const auto out = run(ramp(6), ramp(6, 90.0f), mode, 3);
        for (int j = 0; j < 6; ++j) EXPECT_EQ(bitsOf(out[j]), ZORVANE_NO_VALUE_BITS);
        for (int j = 6; j < 9; ++j) EXPECT_EQ(out[j], kSentinel);
    }
}

TEST(Contract, CountOfSevenInPriceModesGivesTheMeanPrice) {
    std::vector<float> a = ramp(7), b = ramp(7, 90.0f);
    a[6] = 101.3f;
    b[6] = 99.9f;
    const float mean = static_cast<float>((static_cast<double>(a[6]) + b[6]) * 0.5);
    EXPECT_EQ(run(a, b, CycleAverage)[6], mean);
    EXPECT_EQ(run(a, b, SmoothedPrice)[6], mean);
}

TEST(Contract, OtherModesKeepTheCallersEntries) {
    for (int mode : {0, 5, -1, 1 << 30}) {
        const auto out = run(ramp(100), ramp(100, 95.0f), mode);
        for (int j = 0; j < 6; ++j) EXPECT_EQ(bitsOf(out[j]), ZORVANE_NO_VALUE_BITS);
        for (int j = 6; j < 100; ++j) ASSERT_EQ(out[j], kSentinel) << "mode " << mode << " bar " << j;
    }
}

TEST(Contract, ShortAndNonPositiveCountsStayWithinCount) {
    const auto a = ramp(8), b = ramp(8);
    for (int count = -3; count < 6; ++count) {
        std::vector<float> out(8, kSentinel);
        ZorvaneOscillator(a.data(), b.data(), Sine, count, out.data());
        for (int j = 0; j < 8; ++j) {
            if (j < count)
                EXPECT_EQ(bitsOf(out[j]), ZORVANE_NO_VALUE_BITS);
            else
                EXPECT_EQ(out[j], kSentinel) << "count " << count;
        }
    }
}

TEST(Contract, NullArraysTouchNothing) {
    auto a = ramp(50), b = ramp(50);
    std::vector<float> out(50, kSentinel);
    ZorvaneOscillator(nullptr, b.data(), Sine, 50, out.data());
    ZorvaneOscillator(a.data(), nullptr, Sine, 50, out.data());
    for (float v : out) EXPECT_EQ(v, kSentinel);
    ZorvaneOscillator(a.data(), b.data(), Sine, 50, nullptr);  // must not crash
}

TEST(Contract, SwappingThePricesChangesNoBit) {
    for (int variant = 0; variant < 24; ++variant) {
        const auto s = generateSeries(variant);
        for (int mode = 1; mode <= 4; ++mode)
            EXPECT_EQ(firstDifference(run(s.priceA, s.priceB, mode), run(s.priceB, s.priceA, mode)), -1)
                << s.name << " mode " << mode;
    }
}

TEST(Contract, RepeatedCallsAreIdentical) {
    const auto s = generateSeries(13);
    for (int mode = 1; mode <= 4; ++mode) {
        const auto first = run(s.priceA, s.priceB, mode);
        run(generateSeries(14).priceA, generateSeries(14).priceB, mode);  // something in between
        EXPECT_EQ(firstDifference(first, run(s.priceA, s.priceB, mode)), -1);
    }
}

TEST(Contract, ConstantPricesGiveFixedValues) {
    const std::vector<float> p(100, 42.25f);
    const float leadAt90 = static_cast<float>(std::sin((90.0 + 45.0) * 0.017453292519444445));
    const auto average = run(p, p, CycleAverage), smoothed = run(p, p, SmoothedPrice);
    const auto sine = run(p, p, Sine), lead = run(p, p, LeadSine);
    for (int j = 6; j < 100; ++j) {
        EXPECT_EQ(average[j], 42.25f);
        EXPECT_EQ(smoothed[j], 42.25f);
        EXPECT_EQ(sine[j], 1.0f);
        EXPECT_EQ(lead[j], leadAt90);
    }
}

// Before bar 14 no cycle can be found, so the phase outputs are fixed; a
// wave whose phase changes never pass 360 within 41 bars keeps the period
// at 0, and the cycle average is then the mean of two bars.
TEST(Contract, NoCycleMeansFixedPhaseAndTwoBarAverage) {
    const float leadAt90 = static_cast<float>(std::sin((90.0 + 45.0) * 0.017453292519444445));
    for (int variant = 0; variant < 12; ++variant) {
        const auto s = generateSeries(variant, 40);
        const auto sine = run(s.priceA, s.priceB, Sine), lead = run(s.priceA, s.priceB, LeadSine);
        for (int l = 6; l < 14; ++l) {
            EXPECT_EQ(sine[l], 1.0f) << s.name << " bar " << l;
            EXPECT_EQ(lead[l], leadAt90) << s.name << " bar " << l;
        }
    }
    for (double barsPerCycle : {80.0, 3.0}) {
        std::vector<float> p(300);
        for (int i = 0; i < 300; ++i) p[i] = static_cast<float>(100 + 7 * std::sin(2 * M_PI * (i + 0.3) / barsPerCycle));
        const auto average = run(p, p, CycleAverage);
        for (int l = 25; l < 300; ++l)
            ASSERT_EQ(average[l], static_cast<float>((0.0 + p[l] + p[l - 1]) / 2)) << barsPerCycle << " bar " << l;
    }
}

// Output sharing storage with a price array, exactly or at an offset: the
// bar-by-bar order of reads and stores decides the values.
TEST(Contract, OutputAliasingFollowsTheBarOrder) {
    const auto s = generateSeries(2);
    const int count = static_cast<int>(s.priceA.size());
    for (int mode = 0; mode <= 4; ++mode)
        for (int offset : {0, 1, 3, 7, -2, -9}) {
            for (bool aliasA : {true, false}) {
                const int pad = 16;
                std::vector<float> mine(count + 2 * pad, kSentinel), theirs;
                std::copy(s.priceA.begin(), s.priceA.end(), mine.begin() + pad);
                std::vector<float> other = s.priceB;
                theirs = mine;
                std::vector<float> otherRef = other;
                float* price = mine.data() + pad;
                float* priceRef = theirs.data() + pad;
                if (aliasA) {
                    ZorvaneOscillator(price, other.data(), mode, count, price + offset);
                    reference::literalOscillator(priceRef, otherRef.data(), mode, count, priceRef + offset);
                } else {
                    ZorvaneOscillator(other.data(), price, mode, count, price + offset);
                    reference::literalOscillator(otherRef.data(), priceRef, mode, count, priceRef + offset);
                }
                ASSERT_EQ(firstDifference(mine, theirs), -1)
                    << "mode " << mode << " offset " << offset << (aliasA ? " on A" : " on B");
            }
        }
}

// Arrays that end right before an inaccessible page: any access at or beyond
// `count` faults the test.
class GuardedArray {
public:
    explicit GuardedArray(int count) {
        const long page = sysconf(_SC_PAGESIZE);
        const std::size_t bytes = static_cast<std::size_t>(std::max(count, 0)) * sizeof(float);
        size_ = ((bytes + page - 1) / page + 1) * page;
        base_ = static_cast<char*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE,
                                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + size_ - page, page, PROT_NONE);
        data_ = reinterpret_cast<float*>(base_ + size_ - page - bytes);
        for (int i = 0; i < count; ++i) data_[i] = 100.0f + static_cast<float>(i % 9);
    }
    ~GuardedArray() { munmap(base_, size_); }
    float* data() { return data_; }

private:
    char* base_;
    std::size_t size_;
    float* data_;
};

TEST(Contract, NoAccessAtOrBeyondCount) {
    for (int count : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 40, 333, 577, 4161, 9000})
        for (int mode = -1; mode <= 5; ++mode) {
            GuardedArray a(count), b(count), out(count);
            ZorvaneOscillator(a.data(), b.data(), mode, count, out.data());
            ZorvaneOscillator(a.data(), b.data(), mode, count, a.data());
            ZorvaneOscillator(a.data(), b.data(), mode, count, b.data());
            // Output overlapping a price array at an offset, still within count.
            if (count > 2) ZorvaneOscillator(a.data(), b.data(), mode, count - 2, a.data() + 2);
        }
    SUCCEED();
}

}  // namespace
