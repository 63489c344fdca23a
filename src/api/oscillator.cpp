#include "zorvane/oscillator.hpp"

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

#include "bar_loop.hpp"
#include "cycle_measurement.hpp"
#include "floating_point_guard.hpp"
#include "one_bar_path.hpp"
#include "state_bytes.hpp"
#include "stream_history.hpp"

namespace zorvane {

using detail::Bar;

float noValue() { return detail::noValueMarker(); }

bool isNoValue(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == detail::kNoValueBits;
}

// What a streaming object holds. `now` is everything push reads and may
// change (stream_history.hpp); push writes its own bar's slots (nothing
// reads them before that) and, in rare fallbacks, makes earlier bars' phase
// values exact; those earlier words are kept in the journal, so that revise
// can put them back and push again. A member push changes belongs in
// StreamHistory (and in forEachField); pure caches (rebuilt on demand, like
// the angle table in `context` and the one-bar path's copies) stay outside
// and are neither restored nor saved. Most bars take the one-bar path; the
// rest go through the stages.
struct Oscillator::State {
    using History = detail::StreamHistory;
    static_assert(sizeof(History) == sizeof(Bar) + sizeof(History::rings) + sizeof(History::certainty) +
                                         sizeof(History::changeTotals),
                  "list every History member in forEachField");

    History now;
    detail::UndoJournal journal;
    detail::StageContext context{detail::kernelsForOneBar()};
    detail::OneBarPath oneBar{context.kernels};

    State() = default;
    State(const State& other) : now(other.now), journal(other.journal) { oneBar.takeHistory(now); }
    State& operator=(const State&) = delete;

    // Within a floating-point guard. The prices are widened inside the
    // call (with DAZ set, a subnormal float widens to zero).
    BarOutputs push(float priceA, float priceB) { return oneBar.push(now, journal, context, priceA, priceB); }

    // Puts back what the last push changed before its own bar.
    void undoLastPush() {
        auto* base = reinterpret_cast<unsigned char*>(&now);
        for (int e = journal.entries; e-- > 0;) std::memcpy(base + journal.offsets[e], &journal.oldValues[e], 8);
        journal.entries = 0;
        --now.nextBar;
    }

    detail::StreamingSeries series() { return detail::seriesOf(now); }

    bool plausible() const;
};

namespace {

// Bump with any change to the fields below or to what they mean.
constexpr std::uint32_t kStateVersion = 1;

// Every member of a History, in the saved order. `field` gets a 64-bit
// integer or a double.
template <class AnyHistory, class Field>
void forEachField(AnyHistory& history, Field field) {
    field(history.nextBar);
    for (auto& ring : history.rings)
        for (auto& value : ring) field(value);
    for (auto& value : history.certainty) field(value);
    for (auto& value : history.changeTotals) field(value);
}

// The journal as its entry count and every slot of its capacity, so that
// the saved size is fixed.
template <class Field>
void saveJournal(const detail::UndoJournal& journal, Field field) {
    field(static_cast<std::int64_t>(journal.entries));
    for (int e = 0; e < detail::UndoJournal::kCapacity; ++e) {
        field(e < journal.entries ? journal.offsets[e] : std::int64_t{0});
        field(static_cast<std::int64_t>(e < journal.entries ? journal.oldValues[e] : 0));
    }
}
template <class Field>
void loadJournal(detail::UndoJournal& journal, Field field) {
    std::int64_t entries = 0, word = 0;
    field(entries);
    journal.entries = entries >= 0 && entries <= detail::UndoJournal::kCapacity ? static_cast<int>(entries) : -1;
    for (int e = 0; e < detail::UndoJournal::kCapacity; ++e) {
        field(journal.offsets[e]);
        field(word);
        journal.oldValues[e] = static_cast<std::uint64_t>(word);
    }
}

bool isWholeIn(double value, double low, double high) {
    return value >= low && value <= high && value == static_cast<double>(static_cast<int>(value));
}

// Values the stages rely on (periods index tables and are converted to
// integers, certainty bits choose paths), checked so that crafted bytes
// with a valid checksum cannot lead them astray.
template <class AnyHistory>
bool plausibleHistory(const AnyHistory& h) {
    constexpr Bar kMostBars = Bar{1} << 62;  // far beyond any history, and push cannot overflow
    constexpr detail::Certainty kKnownBits =
        detail::kExactPhase | detail::kExactChange | detail::kWrapInDoubt;
    if (h.nextBar < 0 || h.nextBar > kMostBars) return false;
    for (Bar i = 0; i < detail::kRingBars; ++i)
        if (!isWholeIn(h.rings[detail::kRawPeriodRing][i], 0, detail::kSearchLimit) ||
            !isWholeIn(h.rings[detail::kPeriodRing][i], 0, detail::kMaxPeriod) ||
            (h.certainty[i] & ~kKnownBits) != 0)
            return false;
    return true;
}

}  // namespace

// Journal entries may only name words of the angle, change and certainty
// rings: nothing else is ever journaled, and a restore writes where they say.
bool Oscillator::State::plausible() const {
    if (!plausibleHistory(now) || journal.entries < 0 || journal.entries > detail::UndoJournal::kCapacity)
        return false;
    const auto* base = reinterpret_cast<const unsigned char*>(&now);
    auto offsetOf = [base](const void* p) { return static_cast<const unsigned char*>(p) - base; };
    const std::int64_t rings[] = {offsetOf(now.rings[detail::kPhaseRing]), offsetOf(now.rings[detail::kChangeRing]),
                                  offsetOf(now.certainty)};
    constexpr std::int64_t kRingBytes = detail::kRingBars * 8;
    for (int e = 0; e < journal.entries; ++e) {
        const std::int64_t o = journal.offsets[e];
        bool named = false;
        for (std::int64_t ring : rings) named = named || (o >= ring && o < ring + kRingBytes && (o - ring) % 8 == 0);
        if (!named) return false;
    }
    return true;
}

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

std::int64_t Oscillator::bars() const { return state_ ? state_->now.nextBar : 0; }

int Oscillator::period() const {
    if (!state_ || state_->now.nextBar == 0) return 0;
    return static_cast<int>(state_->series().period[state_->now.nextBar - 1]);
}

BarOutputs Oscillator::push(float priceA, float priceB) {
    if (!state_) state_ = std::make_unique<State>();
    const detail::FloatingPointGuard guard;
    return state_->push(priceA, priceB);
}

BarOutputs Oscillator::revise(float priceA, float priceB) {
    if (bars() == 0) throw std::logic_error("zorvane::Oscillator::revise: no bar has been pushed");
    const detail::FloatingPointGuard guard;
    state_->undoLastPush();
    return state_->push(priceA, priceB);
}

std::vector<unsigned char> Oscillator::toBytes() const {
    if (!state_) return Oscillator().toBytes();
    std::vector<std::uint64_t> words;
    auto save = [&words](const auto& value) { words.push_back(detail::toWord(value)); };
    forEachField(state_->now, save);
    saveJournal(state_->journal, save);
    return detail::encodeState(kStateVersion, words);
}

Oscillator Oscillator::fromBytes(const unsigned char* bytes, std::size_t size) {
    Oscillator restored;
    State& state = *restored.state_;
    std::size_t count = 0;
    auto counter = [&count](const auto&) { ++count; };
    forEachField(state.now, counter);
    saveJournal(state.journal, counter);
    const std::vector<std::uint64_t> words = detail::decodeState(bytes, size, kStateVersion, count);
    std::size_t next = 0;
    auto load = [&](auto& value) { detail::fromWord(words[next++], value); };
    forEachField(state.now, load);
    loadJournal(state.journal, load);
    if (!state.plausible())
        throw StateError("zorvane::Oscillator::fromBytes: impossible values in the state");
    state.oneBar.takeHistory(state.now);
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

namespace {

bool overlap(const float* a, const float* b, std::size_t count) {
    if (!a || !b) return false;
    const auto p = reinterpret_cast<std::uintptr_t>(a), q = reinterpret_cast<std::uintptr_t>(b);
    const auto bytes = static_cast<std::uintptr_t>(count) * sizeof(float);
    return p < q + bytes && q < p + bytes;
}

}  // namespace

PeriodRange compute(const float* priceA, const float* priceB, std::size_t count, const Outputs& outputs) {
    return compute(priceA, priceB, count, outputs, {});
}

PeriodRange compute(const float* priceA, const float* priceB, std::size_t count, const Outputs& outputs,
                    const std::function<void(std::size_t bars)>& progress) {
    if (count == 0) return {};
    if (!priceA || !priceB) throw std::invalid_argument("zorvane::compute: null array");
    float* const byMode[4] = {outputs.cycleAverage, outputs.smoothedPrice, outputs.sine, outputs.leadSine};
    for (int m = 0; m < 4; ++m) {
        bool clash = overlap(byMode[m], priceA, count) || overlap(byMode[m], priceB, count);
        for (int n = m + 1; n < 4; ++n) clash = clash || overlap(byMode[m], byMode[n], count);
        if (clash) throw std::invalid_argument("zorvane::compute: outputs overlap the prices or one another");
    }
    const detail::FloatingPointGuard guard;
    detail::PeriodExtent extent;
    auto tell = [](Bar bars, void* context) {
        (*static_cast<const std::function<void(std::size_t)>*>(context))(static_cast<std::size_t>(bars));
    };
    const detail::BarsDone done{tell, const_cast<std::function<void(std::size_t)>*>(&progress)};
    if (!detail::runModes(priceA, priceB, static_cast<Bar>(count), byMode, detail::heapAllocator(), nullptr,
                          nullptr, &extent, progress ? &done : nullptr))
        throw std::bad_alloc();
    return {extent.lowest, extent.highest};
}

std::vector<float> compute(const float* priceA, const float* priceB, std::size_t count, Mode mode) {
    std::vector<float> out(count);
    compute(priceA, priceB, count, mode, out.data());
    return out;
}

}  // namespace zorvane
