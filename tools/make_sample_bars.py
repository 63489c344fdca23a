#!/usr/bin/env python3
"""Writes the bundled sample bars: daily high/low/open/close prices of a
made-up instrument, a drifting random walk with two slow cycles in it, so
the indicator has something to find. Deterministic: the same file every run.

    python3 tools/make_sample_bars.py > data/sample_bars.csv
"""
import datetime
import math
import random
import sys

BARS = 2000


def main(out=sys.stdout):
    rng = random.Random(20261208)
    day = datetime.date(2019, 1, 2)
    close = 100.0
    drift = 0.0
    out.write("time,open,high,low,close\n")
    for bar in range(BARS):
        while day.weekday() >= 5:  # trading days only
            day += datetime.timedelta(days=1)
        cycle_len = 22 + 10 * math.sin(bar / 300.0)  # a cycle that drifts in length
        cycle = 2.5 * math.sin(2 * math.pi * bar / cycle_len) + 1.2 * math.sin(2 * math.pi * bar / 63)
        drift = 0.98 * drift + rng.gauss(0, 0.35)
        open_ = close
        close = max(5.0, 100.0 + 0.02 * bar + cycle + 8 * math.tanh(drift / 4) + rng.gauss(0, 0.4))
        high = max(open_, close) + abs(rng.gauss(0, 0.5))
        low = min(open_, close) - abs(rng.gauss(0, 0.5))
        out.write(f"{day.isoformat()},{open_:.2f},{high:.2f},{low:.2f},{close:.2f}\n")
        day += datetime.timedelta(days=1)


if __name__ == "__main__":
    main()
