"""zorvane.dask.by_symbol on a local cluster of worker processes, against
direct calls per symbol."""

import os

import dask.dataframe as dd
import numpy as np
import pandas as pd
import pytest
from dask.distributed import Client, LocalCluster

import zorvane
import zorvane.dask
from conftest import same_bits


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with Client(cluster) as connected:
            yield connected


def universe(symbols, seed):
    """Bars of many symbols (some shorter than the warm-up), rows shuffled."""
    rng = np.random.default_rng(seed)
    frames = []
    for k in range(symbols):
        n = int(rng.choice([0, 3, 7, rng.integers(20, 700)]))
        high = 100 + np.cumsum(rng.uniform(-1, 1, n))
        times = np.sort(rng.choice(10 * n + 1, n, replace=False))  # gaps, not 0..n-1
        low = high - rng.uniform(0, 1, n)
        frames.append(pd.DataFrame({"ticker": f"S{k:03d}", "when": times, "hi": high, "lo": low}))
    bars = pd.concat(frames, ignore_index=True)
    return bars.iloc[rng.permutation(len(bars))]


def test_by_symbol_matches_direct_calls_per_symbol(client):
    assert len(set(client.run(os.getpid).values()) | {os.getpid()}) == 3  # two worker processes
    bars = universe(symbols=40, seed=4)
    ddf = dd.from_pandas(bars, npartitions=5, sort=False)
    result = zorvane.dask.by_symbol(ddf, symbol="ticker", time="when", high="hi", low="lo").compute()

    assert sorted(result.index) == sorted(bars.index)  # every row, once, with its own index label
    for ticker, group in result.groupby("ticker"):
        assert group["when"].is_monotonic_increasing
        expected = zorvane.frame(bars[bars.ticker == ticker].sort_values("when"), high="hi", low="lo")
        assert group.index.equals(expected.index)
        for mode in zorvane.Mode:
            assert same_bits(group[mode.column].to_numpy(), expected[mode.column].to_numpy()), (ticker, mode)


def test_by_symbol_options_and_errors(client):
    bars = universe(symbols=6, seed=5)
    bars.loc[bars.index[0], "ticker"] = None  # dropped, as groupby drops it
    ddf = dd.from_pandas(bars, npartitions=2, sort=False)
    picked = zorvane.dask.by_symbol(ddf, "ticker", "when", "hi", "lo", modes=["sine"], warmup="marker")
    assert list(picked.columns) == list(bars.columns) + ["sine"]
    computed = picked.compute()
    assert len(computed) == len(bars) - 1
    first = computed.sort_values(["ticker", "when"]).groupby("ticker").head(6)
    assert (first["sine"].to_numpy().view(np.uint32) == zorvane.NO_VALUE_BITS).all()
    # The symbol may be the index.
    def sines(frame):
        return frame.compute().sort_values(["ticker", "when"])["sine"].to_numpy()

    indexed = ddf.dropna(subset=["ticker"]).set_index("ticker")
    assert same_bits(sines(zorvane.dask.by_symbol(indexed, "ticker", "when", "hi", "lo")),
                     sines(zorvane.dask.by_symbol(ddf, "ticker", "when", "hi", "lo")))
    with pytest.raises(ValueError, match="no column 'symbol'"):
        zorvane.dask.by_symbol(ddf)
    with pytest.raises(ValueError, match="warmup"):
        zorvane.dask.by_symbol(ddf, "ticker", "when", "hi", "lo", warmup="zero")
    with pytest.raises(TypeError, match="dask DataFrame"):
        zorvane.dask.by_symbol(bars)
