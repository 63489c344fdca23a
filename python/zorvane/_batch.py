"""The batch API: one mode over whole arrays, Series or a DataFrame."""

import numpy as np

from . import _native
from ._modes import parse_mode, parse_modes
from ._prices import is_series, price_pair


def _common_index(high, low):
    """The pandas index of the result, or None for plain arrays."""
    if type(high) is np.ndarray and type(low) is np.ndarray:
        return None
    indexes = [x.index for x in (high, low) if is_series(x)]
    if len(indexes) == 2 and not indexes[0].equals(indexes[1]):
        raise ValueError("high and low are Series with different indexes; align them first")
    return indexes[0] if indexes else None


def compute(high, low, mode, *, warmup="nan"):
    """One mode of the indicator over a series of bars, or several at once.

    high, low: the two prices of each bar, 1-D and of one length: numpy
        arrays of any numeric dtype, pandas Series, lists. A C-contiguous
        float32 array is used as it is; anything else is converted to
        float32 first (a copy, rounding as numpy's astype does).
    mode: 1-4, "cycle-average", "smoothed-price", "sine", "lead-sine" or
        a zorvane.Mode; or a list or tuple of distinct modes, all computed
        from one measurement of the cycle (about the time of one mode).
    warmup: "nan" puts NaN in the first six entries; "marker" keeps the
        no-value marker there (bits 0x7F7FC99E).

    Returns a float32 array as long as the input, bit for bit what the
    module's ZorvaneOscillator writes (apart from the warm-up entries with
    warmup="nan"); a Series on the input's index, named after the mode,
    when high or low is a Series. Given several modes, a tuple of such
    results in the order of the modes. The GIL is released while it runs.
    """
    several = isinstance(mode, (list, tuple))
    modes = parse_modes(mode) if several else [parse_mode(mode)]
    index = _common_index(high, low)
    a, b = price_pair(high, low)
    if several:
        results = _native.compute_modes(a, b, [int(m) for m in modes], warmup)
    else:
        results = [_native.compute(a, b, modes[0], warmup)]
    if index is not None:
        import pandas as pd

        results = [pd.Series(v, index=index, name=m.column, copy=False) for m, v in zip(modes, results)]
    return tuple(results) if several else results[0]


_frame_columns = {}


def _frame_columns_for(modes):
    """Mode numbers and the columns' Index for these modes. Building an
    Index from names takes about as long as a thousand bars, so each is
    built once; every frame gets a view of its own (a name set on one stays
    on that one)."""
    key = tuple(modes)
    found = _frame_columns.get(key)
    if found is None:
        import pandas as pd

        found = [int(m) for m in modes], pd.Index([m.column for m in modes], dtype=object)
        _frame_columns[key] = found
    return found[0], found[1].view()


def _column(df, name):
    if name not in df.columns:
        raise ValueError(f"no column {name!r} in the frame (columns: {list(df.columns)})")
    return df[name]


def frame(df, high="high", low="low", modes=None, *, warmup="nan"):
    """A DataFrame on df's index with one float32 column per mode.

    Columns are named cycle_average, smoothed_price, sine, lead_sine, in
    the order of `modes` (all four when None).
    """
    import pandas as pd

    if not isinstance(df, pd.DataFrame):
        raise TypeError(f"df must be a pandas DataFrame, not {type(df).__name__}")
    numbers, columns = _frame_columns_for(parse_modes(modes))
    a, b = price_pair(_column(df, high), _column(df, low))
    rows = _native.compute_modes(a, b, numbers, warmup)
    # The rows' transpose is the frame's one block of columns as it is: no
    # copy, and nothing left for pandas to consolidate later.
    return pd.DataFrame(rows.T, index=df.index, columns=columns, copy=False)
