#include "zorvane/oscillator.hpp"

#include <cstring>
#include <new>
#include <stdexcept>

#include "bar_loop.hpp"
#include "cycle_measurement.hpp"
#include "floating_point_guard.hpp"
#include "phase_outputs.hpp"
#include "price_following.hpp"
#include "state_bytes.hpp"

namespace zorvane {

using detail::Bar;

float noValue() { return detail::noValueMarker(); }

bool isNoValue(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == detail::kNoValueBits;
}

// What a streaming object holds. push changes `progress` and, in each ring,
// only the slot of the bar it computes; `undo` keeps those as they were, so
// revise can put them back. A member push changes outside the rings belongs
// in Progress; pure caches (rebuilt on demand) sit beside `angles` and are
// neither restored nor saved. Every other member is listed in forEachField.
struct Oscillator::State {
    static constexpr int kSeries = 9;
    struct Progress {
        Bar nextBar = 0;
    };
    static_assert(sizeof(Progress) == sizeof(Bar), "list every Progress member in forEachField");
    struct Undo {
        Progress progress;
        double slots[kSeries] = {};  // each series at progress.nextBar
    };

    Progress progress;
    double rings[kSeries][detail::kRingBars] = {};
    Undo undo;
    detail::AngleTable angles;

    // Out of line so that even the widening of the prices happens inside
    // the caller's guard (with DAZ set, a subnormal float widens to zero).
    [[gnu::noinline]] BarOutputs push(float priceA, float priceB);

    detail::StreamingSeries series() {
        auto at = [this](int i) { return detail::RingSeries{rings[i]}; };
        return {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8)};
    }

    void remember() {
        undo.progress = progress;
        detail::StreamingSeries s = series();
        int i = 0;
        detail::forEachSeries(s, [&](detail::RingSeries& r) { undo.slots[i++] = r[progress.nextBar]; });
    }

    void restore() {
        progress = undo.progress;
        detail::StreamingSeries s = series();
        int i = 0;
        detail::forEachSeries(s, [&](detail::RingSeries& r) { r[progress.nextBar] = undo.slots[i++]; });
    }

    bool plausible() const;
};

namespace {

// Bump with any change to the fields below or to what they mean.
constexpr std::uint32_t kStateVersion = 1;
constexpr int kRawPeriodSeries = 6, kPeriodSeries = 7;  // their rings, in the order of series()

// Every saved member, in the saved order. `field` gets a Bar or a double.
template <class AnyState, class Field>
void forEachField(AnyState& state, Field field) {
    field(state.progress.nextBar);
    for (auto& ring : state.rings)
        for (auto& value : ring) field(value);
    field(state.undo.progress.nextBar);
    for (auto& value : state.undo.slots) field(value);
}

bool isWholeIn(double value, double low, double high) {
    return value >= low && value <= high && value == static_cast<double>(static_cast<int>(value));
}

}  // namespace

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

std::int64_t Oscillator::bars() const { return state_ ? state_->progress.nextBar : 0; }

int Oscillator::period() const {
    if (!state_ || state_->progress.nextBar == 0) return 0;
    return static_cast<int>(state_->series().period[state_->progress.nextBar - 1]);
}

BarOutputs Oscillator::push(float priceA, float priceB) {
    if (!state_) state_ = std::make_unique<State>();
    const detail::FloatingPointGuard guard;
    state_->remember();
    return state_->push(priceA, priceB);
}

BarOutputs Oscillator::revise(float priceA, float priceB) {
    if (bars() == 0) throw std::logic_error("zorvane::Oscillator::revise: no bar has been pushed");
    const detail::FloatingPointGuard guard;
    state_->restore();
    return state_->push(priceA, priceB);
}

BarOutputs Oscillator::State::push(float priceA, float priceB) {
    const Bar l = progress.nextBar++;
    const detail::StreamingSeries s = series();
    const double mean = detail::meanPrice(priceA, priceB);
    if (l < detail::kWarmupBars) {
        detail::warmUpBar(s, l, mean);
        const float marker = detail::noValueMarker();
        return {marker, marker, marker, marker};
    }
    s.mid[l] = mean;
    detail::measureCycles(s, l, l + 1);
    BarOutputs out;
    detail::averageOverCycles(s, l, l + 1, &out.cycleAverage);
    detail::smoothPrices(s, l, l + 1, &out.smoothedPrice);
    detail::phaseOutputs(s, angles, l, l + 1, &out.sine, &out.leadSine);
    return out;
}

// Values the stages rely on (periods index tables and are converted to
// integers), checked so that crafted bytes with a valid checksum cannot
// lead them astray.
bool Oscillator::State::plausible() const {
    const Bar next = progress.nextBar;
    constexpr Bar kMostBars = Bar{1} << 62;  // far beyond any history, and push cannot overflow
    if (next < 0 || next > kMostBars || undo.progress.nextBar != (next > 0 ? next - 1 : 0)) return false;
    auto periodsFit = [](double raw, double period) {
        return isWholeIn(raw, 0, detail::kSearchLimit) && isWholeIn(period, 0, detail::kMaxPeriod);
    };
    for (Bar i = 0; i < detail::kRingBars; ++i)
        if (!periodsFit(rings[kRawPeriodSeries][i], rings[kPeriodSeries][i])) return false;
    return periodsFit(undo.slots[kRawPeriodSeries], undo.slots[kPeriodSeries]);
}

std::vector<unsigned char> Oscillator::toBytes() const {
    if (!state_) return Oscillator().toBytes();
    std::vector<std::uint64_t> words;
    forEachField(*state_, [&words](const auto& value) { words.push_back(detail::toWord(value)); });
    return detail::encodeState(kStateVersion, words);
}

Oscillator Oscillator::fromBytes(const unsigned char* bytes, std::size_t size) {
    Oscillator restored;
    State& state = *restored.state_;
    std::size_t count = 0;
    forEachField(state, [&count](const auto&) { ++count; });
    const std::vector<std::uint64_t> words = detail::decodeState(bytes, size, kStateVersion, count);
    std::size_t next = 0;
    forEachField(state, [&](auto& value) { detail::fromWord(words[next++], value); });
    if (!state.plausible())
        throw StateError("zorvane::Oscillator::fromBytes: impossible values in the state");
    return restored;
}

void compute(const float* priceA, const float* priceB, std::size_t count, Mode mode, float* output) {
    const auto modeNumber = static_cast<std::int32_t>(mode);
    if (modeNumber < 1 || modeNumber > 4) throw std::invalid_argument("zorvane::compute: unknown mode");
    if (count == 0) return;
    if (!priceA || !priceB || !output) throw std::invalid_argument("zorvane::compute: null array");
    const detail::FloatingPointGuard guard;
    if (!detail::runOscillator(priceA, priceB, modeNumber, static_cast<Bar>(count), output,
                               detail::heapAllocator()))
        throw std::bad_alloc();
}

std::vector<float> compute(const float* priceA, const float* priceB, std::size_t count, Mode mode) {
    std::vector<float> out(count);
    compute(priceA, priceB, count, mode, out.data());
    return out;
}

}  // namespace zorvane
