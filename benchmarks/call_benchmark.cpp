// The C side of the Python overhead comparison (benchmarks/python_overhead.py):
// one ZorvaneOscillator call on arrays of a few sizes, and one streaming
// push, so the Python figures have a native baseline of the same work.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

namespace {

// The series the Python side uses too: 100 + 5 sin(i / 7) + i / 1000.
std::vector<float> prices(int count, float offset) {
    std::vector<float> p(count);
    for (int i = 0; i < count; ++i) p[i] = static_cast<float>(100 + 5 * std::sin(i / 7.0) + i / 1000.0) + offset;
    return p;
}

void moduleCall(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<float> high = prices(count, 0.5f), low = prices(count, -0.5f);
    std::vector<float> out(count);
    for (auto _ : state) {
        ZorvaneOscillator(high.data(), low.data(), CycleAverage, count, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(moduleCall)->ArgName("bars")->Arg(10)->Arg(100)->Arg(1000)->Arg(100000)->Arg(1000000);

void streamingPush(benchmark::State& state) {
    const std::vector<float> high = prices(4096, 0.5f), low = prices(4096, -0.5f);
    zorvane::Oscillator oscillator;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(oscillator.push(high[i], low[i]));
        i = (i + 1) & 4095;
    }
}
BENCHMARK(streamingPush);

}  // namespace

BENCHMARK_MAIN();
