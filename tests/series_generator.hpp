// Generated price series that exercise the indicator's branches: random
// walks, pure and mixed cycles, spikes, steps, zigzags, extreme magnitudes
// and non-finite prices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct PriceSeries {
    std::string name;
    std::vector<float> priceA, priceB;
};

// A family of deterministic series; `variant` picks the seed and shape, and
// the length unless `count` gives one.
PriceSeries generateSeries(int variant, int count = 0);

// How many distinct variants generateSeries covers before repeating shapes.
int seriesVariantCount();

// Bits of a float, for exact comparisons that also cover NaN and -0.
std::uint32_t bitsOf(float value);

// Index of the first entry whose bits differ, or -1. Any NaN equals any
// NaN: which of two NaN operands an operation passes on (and so the payload
// and sign) depends on the operand order a compiler picks.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b);

}  // namespace testing_support
