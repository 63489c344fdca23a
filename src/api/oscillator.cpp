#include "zorvane/oscillator.hpp"

#include <cstring>
#include <new>
#include <stdexcept>

#include "bar_loop.hpp"
#include "cycle_measurement.hpp"
#include "floating_point_guard.hpp"
#include "phase_outputs.hpp"
#include "price_following.hpp"

namespace zorvane {

using detail::Bar;

float noValue() { return detail::noValueMarker(); }

bool isNoValue(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == detail::kNoValueBits;
}

// The nine series and the certainty of the phase values as rings of the
// last kRingBars bars, and what the stages share. One bar at a time gains
// nothing from wider vectors: the baseline kernels serve every machine.
struct Oscillator::State {
    static constexpr int kSeries = 9;
    double rings[kSeries][detail::kRingBars] = {};
    detail::Certainty certainty[detail::kRingBars] = {};
    detail::StageContext context{detail::sse2Kernels()};
    Bar nextBar = 0;

    // Out of line so that even the widening of the prices happens inside
    // the caller's guard (with DAZ set, a subnormal float widens to zero).
    [[gnu::noinline]] BarOutputs push(float priceA, float priceB);

    detail::StreamingSeries series() {
        auto at = [this](int i) { return detail::RingSeries{rings[i]}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), {certainty}};
    }
};

Oscillator::Oscillator() : state_(std::make_unique<State>()) {}
Oscillator::~Oscillator() = default;
Oscillator::Oscillator(const Oscillator& other)
    : state_(other.state_ ? std::make_unique<State>(*other.state_) : std::make_unique<State>()) {}
Oscillator& Oscillator::operator=(const Oscillator& other) {
    if (this != &other) {
        Oscillator copy(other);
        state_ = std::move(copy.state_);
    }
    return *this;
}
// A moved-from object is empty; it starts again from no bars when used.
Oscillator::Oscillator(Oscillator&&) noexcept = default;
Oscillator& Oscillator::operator=(Oscillator&&) noexcept = default;

void Oscillator::reset() { state_ = std::make_unique<State>(); }

std::int64_t Oscillator::bars() const { return state_ ? state_->nextBar : 0; }

int Oscillator::period() const {
    if (!state_ || state_->nextBar == 0) return 0;
    return static_cast<int>(state_->series().period[state_->nextBar - 1]);
}

BarOutputs Oscillator::push(float priceA, float priceB) {
    if (!state_) state_ = std::make_unique<State>();
    const detail::FloatingPointGuard guard;
    return state_->push(priceA, priceB);
}

BarOutputs Oscillator::State::push(float priceA, float priceB) {
    const Bar l = nextBar++;
    const detail::StreamingSeries s = series();
    const double mean = detail::meanPrice(priceA, priceB);
    if (l < detail::kWarmupBars) {
        detail::warmUpBar(s, l, mean);
        const float marker = detail::noValueMarker();
        return {marker, marker, marker, marker};
    }
    s.mid[l] = mean;
    detail::measureCycles(s, l, l + 1, context);
    BarOutputs out;
    detail::averageOverCycles(s, l, l + 1, &out.cycleAverage);
    detail::smoothPrices(s, l, l + 1, &out.smoothedPrice);
    detail::phaseOutputs(s, context, l, l + 1, &out.sine, &out.leadSine);
    return out;
}

std::vector<float> compute(const float* priceA, const float* priceB, std::size_t count, Mode mode) {
    const auto modeNumber = static_cast<std::int32_t>(mode);
    if (modeNumber < 1 || modeNumber > 4) throw std::invalid_argument("zorvane::compute: unknown mode");
    if (count == 0) return {};
    if (!priceA || !priceB) throw std::invalid_argument("zorvane::compute: null price array");
    std::vector<float> out(count);
    const detail::FloatingPointGuard guard;
    if (!detail::runOscillator(priceA, priceB, modeNumber, static_cast<Bar>(count), out.data(),
                               detail::heapAllocator()))
        throw std::bad_alloc();
    return out;
}

}  // namespace zorvane
