"""A synthetic universe of symbols on Dask: bars stored by time block (as
they usually arrive), every symbol's indicator computed in time order by
zorvane.dask.by_symbol, on a cluster of local worker processes or on a
real cluster given its scheduler's address.

    python3 examples/dask_universe.py                        # 1,000 symbols x 5,000 bars
    python3 examples/dask_universe.py --symbols 50 --bars 800
    python3 examples/dask_universe.py --scheduler tcp://host:8786
"""

import argparse
import time

import dask.dataframe as dd
import numpy as np
import pandas as pd
from dask.distributed import Client, LocalCluster, wait

import zorvane
import zorvane.dask


def time_block(block, symbols, bars_per_block):
    """The bars of every symbol in one block of time, rows in random order."""
    t = np.arange(block * bars_per_block, (block + 1) * bars_per_block)
    names = np.array([f"S{k:04d}" for k in range(symbols)], dtype=object)
    cycles = np.random.default_rng(0).uniform(8, 60, symbols)  # each symbol's own cycle length
    rng = np.random.default_rng(block + 1)
    mid = 100 + 10 * np.sin(2 * np.pi * t[None, :] / cycles[:, None]) + rng.normal(0, 0.5, (symbols, t.size))
    spread = rng.uniform(0.05, 0.5, mid.shape)
    frame = pd.DataFrame({
        "symbol": np.repeat(names, t.size),
        "time": np.tile(pd.Timestamp("2024-01-02") + pd.to_timedelta(t, unit="min"), symbols),
        "high": (mid + spread).ravel().astype(np.float32),
        "low": (mid - spread).ravel().astype(np.float32),
    })
    return frame.iloc[rng.permutation(len(frame))].reset_index(drop=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--symbols", type=int, default=1000)
    parser.add_argument("--bars", type=int, default=5000, help="bars per symbol")
    parser.add_argument("--blocks", type=int, default=10, help="time blocks (input partitions)")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    parser.add_argument("--scheduler", help="address of a running cluster's scheduler instead")
    parser.add_argument("--compare", action="store_true", help="also time the same work in this process, without Dask")
    args = parser.parse_args()

    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
    with client:
        per_block = -(-args.bars // args.blocks)
        bars = dd.from_map(time_block, range(args.blocks), symbols=args.symbols, bars_per_block=per_block)
        started = time.perf_counter()
        bars = bars.persist()
        wait(bars)
        rows = len(bars)
        print(f"universe: {args.symbols} symbols x {per_block * args.blocks} bars = {rows:,} rows "
              f"in {args.blocks} partitions, made in {time.perf_counter() - started:.2f} s")

        started = time.perf_counter()
        result = zorvane.dask.by_symbol(bars).persist()
        wait(result)
        elapsed = time.perf_counter() - started
        print(f"by_symbol, all four modes: {elapsed:.2f} s ({rows / elapsed / 1e6:.2f} million bars/s) "
              f"on {len(client.scheduler_info()['workers'])} workers")

        last = result.groupby("symbol").last().compute().sort_index()
        print(last[["time", "cycle_average", "sine", "lead_sine"]].head())
        if args.compare:
            single_process(bars.compute())


def single_process(bars):
    """The same computation with pandas alone: sort, then zorvane.frame per symbol."""
    started = time.perf_counter()
    ordered = bars.sort_values(["symbol", "time"], kind="stable")
    frames = [zorvane.frame(group) for _, group in ordered.groupby("symbol", sort=False)]
    elapsed = time.perf_counter() - started
    print(f"the same in one process without Dask: {elapsed:.2f} s ({len(frames)} symbols)")


if __name__ == "__main__":
    main()
