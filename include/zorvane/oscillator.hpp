// Zorvane Oscillator for C++: the batch computation and a streaming object
// that takes one bar at a time. Both give, bit for bit, what the module's
// exported ZorvaneOscillator gives for the same bars.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zorvane {

enum class Mode : std::int32_t { CycleAverage = 1, SmoothedPrice = 2, Sine = 3, LeadSine = 4 };

// One bar's value in every mode. During the six warm-up bars all four hold
// the no-value marker (see isNoValue).
struct BarOutputs {
    float cycleAverage, smoothedPrice, sine, leadSine;
};

// The float written for "no value": bit pattern 0x7F7FC99E.
float noValue();
bool isNoValue(float value);

// Bytes that fromBytes refuses; what() says why.
class StateError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Streams bars: push() takes the two prices of the next bar and returns its
// outputs. Constant time and memory per bar, whatever the length of history.
class Oscillator {
public:
    Oscillator();
    ~Oscillator();
    Oscillator(const Oscillator& other);
    Oscillator& operator=(const Oscillator& other);
    Oscillator(Oscillator&&) noexcept;
    Oscillator& operator=(Oscillator&&) noexcept;

    BarOutputs push(float priceA, float priceB);
    // Replaces the prices of the last bar pushed (the bar still forming) and
    // returns its new outputs: exactly what push would have returned had the
    // bar arrived with these prices. Constant time; may be repeated. Throws
    // std::logic_error when no bar has been pushed since construction or reset.
    BarOutputs revise(float priceA, float priceB);
    // Forgets every bar pushed so far.
    void reset();
    // Number of bars pushed since construction or the last reset.
    std::int64_t bars() const;
    // The smoothed cycle period measured at the last bar pushed, in bars:
    // 0 until a cycle has been found (never before the 15th bar).
    int period() const;

    // The whole streaming state as bytes (little-endian, versioned, with a
    // checksum), for an object that continues bit for bit in another
    // process or on another machine; revise works across it too.
    std::vector<unsigned char> toBytes() const;
    // Throws StateError for bytes that are not such a state, come from an
    // unknown version, are truncated or damaged.
    static Oscillator fromBytes(const unsigned char* bytes, std::size_t size);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One mode over `count` bars, as ZorvaneOscillator computes it. Throws
// std::invalid_argument for a mode outside the enumeration or a null array
// with a non-zero count, and std::bad_alloc when memory runs out.
std::vector<float> compute(const float* priceA, const float* priceB, std::size_t count, Mode mode);
// The same into the caller's `count` floats at output (which may alias a
// price array, as for ZorvaneOscillator); output is untouched if it throws.
void compute(const float* priceA, const float* priceB, std::size_t count, Mode mode, float* output);

// Where the one-pass compute writes: `count` floats for each output wanted,
// null for those not wanted.
struct Outputs {
    float* cycleAverage = nullptr;
    float* smoothedPrice = nullptr;
    float* sine = nullptr;
    float* leadSine = nullptr;
};

// The smoothed cycle period over the bars where a cycle was found, in bars:
// the range period() of a streaming object fed the same bars goes through.
// Both 0 when no cycle was found.
struct PeriodRange {
    int lowest = 0, highest = 0;
};

// Every output `outputs` asks for (any, all or none of the four) from one
// cycle measurement: each gets the bits compute gives for its mode, in
// little more than the time of one mode. Returns the period's range.
// Throws std::invalid_argument for null prices with a non-zero count or
// outputs that overlap the prices or one another, and std::bad_alloc
// (outputs untouched) when memory runs out.
PeriodRange compute(const float* priceA, const float* priceB, std::size_t count, const Outputs& outputs);
// The same, telling `progress` (on this thread) how many bars from the
// first have their outputs final, as they become final: every few hundred
// bars and at the end. Another thread may read those outputs while the rest
// are computed (a reader that saw the count after progress stored it, with
// release and acquire ordering, sees them). What progress throws comes out
// of compute, the outputs then partly written.
PeriodRange compute(const float* priceA, const float* priceB, std::size_t count, const Outputs& outputs,
                    const std::function<void(std::size_t bars)>& progress);

}  // namespace zorvane
