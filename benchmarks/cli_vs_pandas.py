#!/usr/bin/env python3
"""The command-line host against the pipeline a pandas user would write
(pd.read_csv, zorvane.frame, to_csv) on a generated file of 1,000,000
minute bars (time, open, high, low, close, volume), in the same run: wall
time of each (the median of a few runs), their ratio, the host's processor
time (both of its threads) and its peak memory.

    PYTHONPATH=build/python python3 benchmarks/cli_vs_pandas.py build/bin/zorvane [work folder]
The file is made once in the work folder (default build/cli-benchmark).
"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

import pandas as pd

import zorvane

HERE = os.path.dirname(os.path.abspath(__file__))
REPEATS = 3


def pandas_pipeline(source, target):
    bars = pd.read_csv(source)
    indicator = zorvane.frame(bars)
    pd.concat([bars[["time", "high", "low"]], indicator], axis=1).to_csv(target, index=False)


def timed(work):
    started = time.perf_counter()
    work()
    return time.perf_counter() - started


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def peak_memory_mb(command):
    """The host's peak resident memory, as GNU time reports it (0 without it):
    a child's own count would include the pages it shares with this process."""
    gnu_time = shutil.which("time", path="/usr/bin")
    if not gnu_time:
        return 0
    run = subprocess.run([gnu_time, "-f", "%M", *command], check=True, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    return int(run.stderr.strip().splitlines()[-1]) / 1024


def main(host, folder):
    os.makedirs(folder, exist_ok=True)
    source = os.path.join(folder, "minutes.csv")
    if not os.path.exists(source):
        subprocess.run([sys.executable, os.path.join(HERE, "make_minute_bars.py"), source], check=True)
    out = os.path.join(folder, "indicator.csv")
    run_host = lambda: subprocess.run([host, source, "-o", out], check=True, stdout=subprocess.DEVNULL)
    run_host()  # the file into the page cache, as for pandas below
    host_times, pandas_times, host_cpu = [], [], []
    for _ in range(REPEATS):  # interleaved, so that both see the same machine
        cpu = children_cpu()
        host_times.append(timed(run_host))
        host_cpu.append(children_cpu() - cpu)
        pandas_times.append(timed(lambda: pandas_pipeline(source, os.path.join(folder, "pandas.csv"))))
    peak_mb = peak_memory_mb([host, source, "-o", out])
    size_mb = os.path.getsize(source) / 1e6
    h, p = statistics.median(host_times), statistics.median(pandas_times)
    print(f"{size_mb:.0f} MB, 1,000,000 bars: zorvane {h:.2f} s (processor time {statistics.median(host_cpu):.2f} s, "
          f"peak {peak_mb:.0f} MB), pandas pipeline {p:.2f} s: {p / h:.1f}x")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "..", "build", "cli-benchmark"))
