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
REPEATS = 7


def prices(count, offset):
    # The C benchmark's series.
    i = np.arange(count)
    return ((100 + 5 * np.sin(i / 7.0) + i / 1000.0).astype(np.float32) + np.float32(offset)).astype(np.float32)


def native_ns(binary, name):
    """CPU ns per call of one C benchmark, one short run."""
    out = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_filter=^{name}$", "--benchmark_min_time=0.1"],
        check=True, capture_output=True, text=True).stdout
    (run,) = json.loads(out)["benchmarks"]
    return run["cpu_time"]


def cpu_ns(call, seconds=0.1):
    """CPU ns per call over about `seconds`."""
    n, started = 0, time.process_time()
    while time.process_time() - started < 0.01:
        call()
        n += 1
    loops = max(1, int(n * seconds / 0.01))
    started = time.process_time_ns()
    for _ in range(loops):
        call()
    return (time.process_time_ns() - started) / loops


def interleaved(measures):
    """Median of REPEATS rounds of every measure in turn: the machine's load
    then weighs on all of them alike."""
    samples = {name: [] for name in measures}
    for _ in range(REPEATS):
        for name, measure in measures.items():
            samples[name].append(measure())
    return {name: statistics.median(values) for name, values in samples.items()}


def fmt(ns):
    return f"{ns / 1000:,.2f} µs" if abs(ns) < 1e6 else f"{ns / 1e6:,.2f} ms"


def main(binary):
    print("| bars | C call | `compute`, float32 | overhead | `_native.compute` alone | float64 input | pandas Series |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    for n in SIZES:
        high, low = prices(n, 0.5), prices(n, -0.5)
        high64, low64 = high.astype(np.float64), low.astype(np.float64)
        series_high, series_low = pd.Series(high64), pd.Series(low64)
        t = interleaved({
            "c": lambda: native_ns(binary, f"moduleCall/bars:{n}"),
            "api": lambda: cpu_ns(lambda: zorvane.compute(high, low, 1, warmup="marker")),
            "binding": lambda: cpu_ns(lambda: _native.compute(high, low, 1, "marker")),
            "float64": lambda: cpu_ns(lambda: zorvane.compute(high64, low64, 1)),
            "series": lambda: cpu_ns(lambda: zorvane.compute(series_high, series_low, 1)),
        })
        base, api = t["c"], t["api"]
        print(f"| {n:,} | {fmt(base)} | {fmt(api)} | {fmt(api - base)} ({api / base - 1:+.0%}) | {fmt(t['binding'])} "
              f"| {fmt(t['float64'])} | {fmt(t['series'])} |")

    high, low = prices(4096, 0.5).tolist(), prices(4096, -0.5).tolist()
    oscillator = zorvane.Oscillator()
    bar = iter(range(1 << 62))

    def push():
        i = next(bar) & 4095
        oscillator.push(high[i], low[i])

    t = interleaved({"c": lambda: native_ns(binary, "streamingPush"), "python": lambda: cpu_ns(push)})
    print(f"\nOscillator.push: C++ {t['c']:.0f} ns, from Python {t['python']:.0f} ns per bar "
          f"(+{t['python'] - t['c']:.0f} ns)")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bin/call_benchmark")
