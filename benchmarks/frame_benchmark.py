#!/usr/bin/env python3
"""zorvane.frame (all four modes of a DataFrame's bars, one measurement)
against one lead-sine zorvane.compute over the same bars, in the same run:
the median of several timings each, and their ratio.

    PYTHONPATH=build/python python3 benchmarks/frame_benchmark.py [bars ...]
"""

import statistics
import sys
import time

import numpy as np
import pandas as pd

import zorvane

REPEATS = 9
CALLS_PER_BAR = 200_000  # short series run this many bars in each timing, long ones once


def median_seconds(work, count):
    # A first round untimed: one-off costs (kernel choice, pandas' and the
    # interpreter's warm-up) belong to no call in particular.
    calls = max(1, CALLS_PER_BAR // count)
    times = []
    for _ in range(REPEATS + 1):
        started = time.perf_counter()
        for _ in range(calls):
            work()
        times.append((time.perf_counter() - started) / calls)
    return statistics.median(times[1:])


def main(sizes):
    print("| bars | frame, all four modes | one lead-sine compute | ratio |")
    print("|---|---|---|---|")
    for count in sizes:
        rng = np.random.default_rng(1)
        mid = 100 + np.cumsum(rng.normal(0, 0.3, count)) + 2.5 * np.sin(np.arange(count) * 2 * np.pi / 22)
        bars = pd.DataFrame({"high": (mid + 0.5).astype(np.float32), "low": (mid - 0.5).astype(np.float32)})
        high, low = bars["high"].to_numpy(), bars["low"].to_numpy()
        frame = median_seconds(lambda: zorvane.frame(bars), count)
        lead = median_seconds(lambda: zorvane.compute(high, low, "lead-sine"), count)
        print(f"| {count:,} | {frame * 1e3:.2f} ms | {lead * 1e3:.2f} ms | {frame / lead:.2f} |")


if __name__ == "__main__":
    main([int(a) for a in sys.argv[1:]] or [5000, 1_000_000])
