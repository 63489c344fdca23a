// A deliberately literal implementation of the indicator, bar by bar and step
// by step, with every library call made where the formula makes it. It is
// slow and obvious on purpose: the module is checked against it bit for bit.
#pragma once

#include <cstdint>

namespace reference {

// The library functions the indicator calls, replaceable so that a run can
// record them or replay another platform's results.
struct MathFunctions {
    double (*sin)(double);
    double (*cos)(double);
    double (*atan)(double);
};
const MathFunctions& standardMath();

// Same contract as ZorvaneOscillator, including the decisions for counts
// below 6 and null arrays.
void literalOscillator(const float* priceA, const float* priceB, std::int32_t mode,
                       std::int32_t count, float* output);
void literalOscillator(const float* priceA, const float* priceB, std::int32_t mode,
                       std::int32_t count, float* output, const MathFunctions& math);

}  // namespace reference
