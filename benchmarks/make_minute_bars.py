#!/usr/bin/env python3
"""Writes a file of minute bars as data sources export them: time, open,
high, low, close, volume, oldest first, a random walk with cycles in it.
Deterministic: the same bytes every run.

    python3 benchmarks/make_minute_bars.py build/minutes.csv [bars]
"""
import datetime
import math
import random
import sys


def main(path, bars=1_000_000):
    rng = random.Random(20261209)
    start = datetime.datetime(2024, 1, 2, 0, 0)
    close = 1000.0
    lines = ["time,open,high,low,close,volume\n"]
    for bar in range(bars):
        time = start + datetime.timedelta(minutes=bar)
        cycle = 1.5 * math.sin(2 * math.pi * bar / (20 + 8 * math.sin(bar / 5000.0)))
        open_ = close
        close = max(5.0, close + rng.gauss(0, 0.6) + 0.05 * cycle)
        high = max(open_, close) + abs(rng.gauss(0, 0.3))
        low = min(open_, close) - abs(rng.gauss(0, 0.3))
        lines.append(f"{time:%Y-%m-%d %H:%M:%S},{open_:.2f},{high:.2f},{low:.2f},{close:.2f},"
                     f"{rng.randrange(1, 5000)}\n")
    with open(path, "w", newline="") as out:
        out.writelines(lines)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000)
