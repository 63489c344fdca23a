// ns per bar of the module and of the literal implementation, mode by mode,
// at 1,000, 5,000 and 1,000,000 bars of a realistic series, of all four
// outputs from one pass, and of the streaming object's push with all four
// outputs. Run:
//   scripts/run-benchmarks            (the README's table)
//   build/bin/oscillator_benchmark    (after a build with -DZORVANE_BUILD_BENCHMARKS=ON)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bar_loop.hpp"
#include "kernels.hpp"
#include "reference/literal_oscillator.hpp"
#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

namespace {

// A drifting random walk with a cycle whose length wanders between 12 and
// 32 bars, and a bar range around it: what daily bars tend to look like.
struct Bars {
    std::vector<float> high, low;
};

const Bars& barsOf(int count) {
    static std::map<int, Bars> made;
    Bars& bars = made[count];
    if (bars.high.size() == static_cast<std::size_t>(count)) return bars;
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 0.4);
    double walk = 100.0;
    bars.high.resize(count);
    bars.low.resize(count);
    for (int i = 0; i < count; ++i) {
        walk += noise(rng) * 0.5;
        const double length = 22 + 10 * std::sin(i / 300.0);
        const double mid = walk + 2.5 * std::sin(2 * M_PI * i / length) + noise(rng);
        const double range = 0.5 + std::fabs(noise(rng));
        bars.high[i] = static_cast<float>(mid + range);
        bars.low[i] = static_cast<float>(mid - range);
    }
    return bars;
}

void perBar(benchmark::State& state, int count) {
    state.counters["ns_per_bar"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <void (*Oscillator)(const float*, const float*, int32_t, int32_t, float*)>
void batch(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int count = static_cast<int>(state.range(1));
    const Bars& bars = barsOf(count);
    std::vector<float> out(count);
    for (auto _ : state) {
        Oscillator(bars.high.data(), bars.low.data(), mode, count, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perBar(state, count);
}

void arguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "bars"})->Unit(benchmark::kMillisecond);
    for (int bars : {1000, 5000, 1000000})
        for (int mode = 1; mode <= 4; ++mode) b->Args({mode, bars});
}

void Module(benchmark::State& state) { batch<ZorvaneOscillator>(state); }
void Literal(benchmark::State& state) { batch<reference::literalOscillator>(state); }

// The module's call with a named set of kernels instead of the widest this
// processor runs: what a machine without the wider ones would measure.
void WithKernels(benchmark::State& state, const zorvane::detail::Kernels* kernels) {
    const int mode = static_cast<int>(state.range(0));
    const int count = static_cast<int>(state.range(1));
    const Bars& bars = barsOf(count);
    std::vector<float> out(count);
    for (auto _ : state) {
        zorvane::detail::runOscillator(bars.high.data(), bars.low.data(), mode, count, out.data(),
                                       zorvane::detail::heapAllocator(), kernels);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perBar(state, count);
}

// One benchmark per batch kernel set ("Kernels:avx2", ...); the pair set
// serves one bar at a time only.
const bool kernelSetsRegistered = [] {
    const zorvane::detail::Kernels* sets[zorvane::detail::kMostKernelSets];
    const int count = zorvane::detail::kernelsThisMachineRuns(sets);
    for (int i = 0; i < count; ++i) {
        if (std::strchr(sets[i]->name, ' ')) continue;
        const std::string name = std::string("Kernels:") + sets[i]->name;
        benchmark::RegisterBenchmark(name.c_str(), WithKernels, sets[i])->Apply(arguments);
    }
    return true;
}();

// All four outputs from one measurement, against one mode-4 call (Module).
void AllModes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(1));
    const Bars& bars = barsOf(count);
    std::vector<float> out[4];
    for (auto& o : out) o.resize(count);
    for (auto _ : state) {
        zorvane::compute(bars.high.data(), bars.low.data(), count,
                         {out[0].data(), out[1].data(), out[2].data(), out[3].data()});
        benchmark::ClobberMemory();
    }
    perBar(state, count);
}

// Every bar of a 5,000-bar series pushed into a new object, all four outputs.
void Push(benchmark::State& state) {
    const int count = static_cast<int>(state.range(1));
    const Bars& bars = barsOf(count);
    for (auto _ : state) {
        zorvane::Oscillator oscillator;
        for (int i = 0; i < count; ++i) benchmark::DoNotOptimize(oscillator.push(bars.high[i], bars.low[i]));
    }
    perBar(state, count);
}

BENCHMARK(Module)->Apply(arguments);
BENCHMARK(Literal)->Apply(arguments);
BENCHMARK(AllModes)->ArgNames({"mode", "bars"})->Args({0, 5000})->Args({0, 1000000})->Unit(benchmark::kMillisecond);
BENCHMARK(Push)->ArgNames({"mode", "bars"})->Args({0, 5000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
