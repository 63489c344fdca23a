"""Many symbols at once on Dask: each symbol's bars computed in time order.

    from dask.distributed import Client
    import zorvane.dask

    client = Client()                      # local worker processes, or
    # client = Client("tcp://scheduler:8786")  a cluster's scheduler
    result = zorvane.dask.by_symbol(bars)  # bars: a dask DataFrame
    result.to_parquet(...)                 # or .compute(), .persist()

Every worker needs the zorvane package installed.
"""

import numpy as np

from . import _native
from ._modes import parse_modes
from ._prices import price_pair


def by_symbol(ddf, symbol="symbol", time="time", high="high", low="low", modes=None, *, warmup="nan"):
    """ddf with one float32 column per mode added, each symbol's bars in time order.

    ddf: a dask DataFrame of many symbols' bars, rows in any order and
        any partitioning; `symbol` or `time` may name its index instead
        of a column. Rows are moved so that each symbol lies in one
        partition (a shuffle on `symbol`); a partition comes out with each
        symbol's rows together, in time order. Bars of one symbol with
        equal times keep no defined order. Rows with a missing symbol are
        dropped, as groupby drops them.
    modes, warmup: as for zorvane.frame (all four modes when None).

    Returns a lazy dask DataFrame; nothing runs until it is computed.
    """
    import dask.dataframe as dd

    if not isinstance(ddf, dd.DataFrame):
        raise TypeError(f"ddf must be a dask DataFrame, not {type(ddf).__name__}")
    modes = parse_modes(modes)
    for column in (symbol, time, high, low):
        if column not in ddf.columns and not (column in (symbol, time) and column == ddf.index.name):
            raise ValueError(f"no column {column!r} in the frame (columns: {list(ddf.columns)})")
    empty = np.empty(0, dtype=np.float32)
    _native.compute(empty, empty, 1, warmup)  # a bad warmup fails here, not later on the workers
    meta = ddf._meta.assign(**{m.column: empty for m in modes})
    return ddf.shuffle(symbol).map_partitions(
        _symbols_of_partition, symbol, time, high, low, modes, warmup, meta=meta, align_dataframes=False
    )


def _column_or_index(part, name):
    if name in part.columns:
        return part[name].to_numpy()
    return part.index.get_level_values(name).to_numpy()


def _symbol_time_order(codes, times):
    """Rows by symbol, then time; equal times keep their row order."""
    if times.dtype.kind in "iM" and len(times):
        # Integer times (datetime64 too): one stable sort of a combined key,
        # about twice as quick as lexsort, where the key fits in 64 bits.
        ticks = times.view(np.int64) if times.dtype.kind == "M" else times.astype(np.int64, copy=False)
        low = int(ticks.min())
        span = int(ticks.max()) - low + 1
        if (int(codes.max()) + 1) * span < 2**63:
            return np.argsort(codes.astype(np.int64) * span + (ticks - low), kind="stable")
    return np.lexsort((times, codes))


def _symbols_of_partition(part, symbol, time, high, low, modes, warmup):
    import pandas as pd

    known = pd.notna(_column_or_index(part, symbol))
    if not known.all():
        part = part[known]
    # Symbols as integer codes: sorting and finding each symbol's run of
    # rows is then far cheaper than on the symbols themselves.
    codes, _ = pd.factorize(_column_or_index(part, symbol))
    order = _symbol_time_order(codes, _column_or_index(part, time))
    part, codes = part.take(order), codes[order]
    bounds = np.concatenate(([0], np.flatnonzero(np.diff(codes)) + 1, [len(codes)]))
    a, b = price_pair(part[high], part[low])
    # Every mode of every symbol in one call, each symbol a series of its own.
    values = _native.compute_modes(a, b, [int(m) for m in modes], warmup, bounds)
    # part is a fresh frame (take copied it): the columns go in without assign's further copy.
    for mode, column in zip(modes, values):
        part[mode.column] = column
    return part
