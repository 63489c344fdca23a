#!/usr/bin/env python3
"""What calling from Python adds to the C call: CPU time per call of
zorvane.compute against ZorvaneOscillator itself (mode 1, the cheapest, so
the overhead's share is the largest), small to large arrays, and of
Oscillator.push against the C++ push. Prints a Markdown table.

    python3 benchmarks/python_overhead.py build/bin/call_benchmark
(with the zorvane package importable, e.g. PYTHONPATH=build/python)
"""

import json
import statistics
import subprocess
import sys
import time

import numpy as np
import pandas as pd

import zorvane
from zorvane import _native

SIZES = [10, 100, 1000, 100_000, 1_000_000]
REPEATS = 5


def prices(count, offset):
    # The C benchmark's series.
    i = np.arange(count)
    return ((100 + 5 * np.sin(i / 7.0) + i / 1000.0).astype(np.float32) + np.float32(offset)).astype(np.float32)


def native_ns(binary):
    """Median CPU ns per call of each C benchmark."""
    out = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_repetitions={REPEATS}", "--benchmark_min_time=0.2",
         "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    return {run["run_name"]: run["cpu_time"] for run in json.loads(out)["benchmarks"]
            if run.get("aggregate_name") == "median" and run["time_unit"] == "ns"}


def cpu_ns(call, seconds=0.2):
    """Median CPU ns per call over REPEATS runs of about `seconds` each."""
    n, started = 0, time.process_time()
    while time.process_time() - started < 0.02:
        call()
        n += 1
    loops = max(1, int(n * seconds / 0.02))
    samples = []
    for _ in range(REPEATS):
        started = time.process_time_ns()
        for _ in range(loops):
            call()
        samples.append((time.process_time_ns() - started) / loops)
    return statistics.median(samples)


def fmt(ns):
    return f"{ns / 1000:,.2f} µs" if ns < 1e6 else f"{ns / 1e6:,.2f} ms"


def main(binary):
    c = native_ns(binary)
    print("| bars | C call | `compute`, float32 | overhead | `_native.compute` alone | float64 input | pandas Series |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    for n in SIZES:
        high, low = prices(n, 0.5), prices(n, -0.5)
        high64, low64 = high.astype(np.float64), low.astype(np.float64)
        series_high, series_low = pd.Series(high64), pd.Series(low64)
        base = c[f"moduleCall/bars:{n}"]
        api = cpu_ns(lambda: zorvane.compute(high, low, 1, warmup="marker"))
        binding = cpu_ns(lambda: _native.compute(high, low, 1, "marker"))
        converted = cpu_ns(lambda: zorvane.compute(high64, low64, 1))
        series = cpu_ns(lambda: zorvane.compute(series_high, series_low, 1))
        print(f"| {n:,} | {fmt(base)} | {fmt(api)} | +{fmt(api - base)} ({api / base - 1:+.0%}) | {fmt(binding)} "
              f"| {fmt(converted)} | {fmt(series)} |")

    high, low = prices(4096, 0.5).tolist(), prices(4096, -0.5).tolist()
    oscillator = zorvane.Oscillator()
    bar = iter(range(1 << 62))

    def push():
        i = next(bar) & 4095
        oscillator.push(high[i], low[i])

    python_push = cpu_ns(push)
    native_push = c["streamingPush"]
    print(f"\nOscillator.push: C++ {native_push:.0f} ns, from Python {python_push:.0f} ns per bar "
          f"(+{python_push - native_push:.0f} ns)")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bin/call_benchmark")
