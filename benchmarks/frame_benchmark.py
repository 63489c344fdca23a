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


def median_seconds(work):
    times = []
    for _ in range(REPEATS):
        started = time.perf_counter()
        work()
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def main(sizes):
    print("| bars | frame, all four modes | one lead-sine compute | ratio |")
    print("|---|---|---|---|")
    for count in sizes:
        rng = np.random.default_rng(1)
        mid = 100 + np.cumsum(rng.normal(0, 0.3, count)) + 2.5 * np.sin(np.arange(count) * 2 * np.pi / 22)
        bars = pd.DataFrame({"high": (mid + 0.5).astype(np.float32), "low": (mid - 0.5).astype(np.float32)})
        high, low = bars["high"].to_numpy(), bars["low"].to_numpy()
        frame = median_seconds(lambda: zorvane.frame(bars))
        lead = median_seconds(lambda: zorvane.compute(high, low, "lead-sine"))
        print(f"| {count:,} | {frame * 1e3:.2f} ms | {lead * 1e3:.2f} ms | {frame / lead:.2f} |")


if __name__ == "__main__":
    main([int(a) for a in sys.argv[1:]] or [5000, 1_000_000])
