#!/usr/bin/env python3
"""Writes the committed seed corpus for the fuzzer: a few realistic and a few
hostile inputs in its layout (mode, aliasing byte, then float pairs).

    python3 fuzz/make_seeds.py fuzz/corpus
"""
import csv
import math
import os
import struct
import sys


def seed(path, mode, aliasing, pairs):
    with open(path, "wb") as f:
        f.write(struct.pack("<iB", mode, aliasing))
        for a, b in pairs:
            f.write(struct.pack("<ff", a, b))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "data", "sample_bars.csv")) as f:
        bars = [(float(r["high"]), float(r["low"])) for r in csv.DictReader(f)]
    for mode in (1, 2, 3, 4):
        seed(os.path.join(folder, f"sample-mode{mode}"), mode, 0, bars[:300])
    seed(os.path.join(folder, "sample-in-place"), 3, 1, bars[300:500])
    seed(os.path.join(folder, "long-cycle"), 4, 2,
         [(100 + 5 * math.sin(i / 3.0), 99 + 5 * math.sin(i / 3.0)) for i in range(4500)])
    seed(os.path.join(folder, "constant"), 1, 0, [(42.0, 42.0)] * 60)
    nan, inf = float("nan"), float("inf")
    seed(os.path.join(folder, "non-finite"), 3, 0,
         [(nan if i == 20 else inf if i == 40 else -inf if i == 41 else 100.0 + i % 7, 99.0) for i in range(90)])
    seed(os.path.join(folder, "extremes"), 2, 0,
         [(3.4e38 if i % 2 else -3.4e38, 1e-45) for i in range(50)])
    seed(os.path.join(folder, "short"), -1, 0, [(1.0, 2.0)] * 5)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "fuzz/corpus")
