"""pandas in, pandas out: results stay on the input's index."""

import numpy as np
import pandas as pd
import pytest

import zorvane
from conftest import same_bits

RNG = np.random.default_rng(8)
N = 400
INDEX = pd.date_range("2024-01-01", periods=N, freq="min")[RNG.permutation(N)]  # unordered, not 0..n-1
BARS = pd.DataFrame({"high": 100 + np.cumsum(RNG.uniform(-1, 1, N)), "volume": 1.0}, index=INDEX)
BARS["low"] = BARS["high"] - 0.4


def test_series_in_series_out_on_the_same_index():
    sine = zorvane.compute(BARS["high"], BARS["low"], "sine")
    assert isinstance(sine, pd.Series) and sine.name == "sine" and sine.dtype == np.float32
    assert sine.index.equals(BARS.index)
    assert same_bits(sine.to_numpy(), zorvane.compute(BARS["high"].to_numpy(), BARS["low"].to_numpy(), 3))
    # One Series is enough to give the index.
    assert zorvane.compute(BARS["high"].to_numpy(), BARS["low"], 4).index.equals(BARS.index)


def test_frame_has_one_column_per_mode_on_the_index():
    table = zorvane.frame(BARS)
    assert list(table.columns) == ["cycle_average", "smoothed_price", "sine", "lead_sine"]
    assert table.index.equals(BARS.index) and (table.dtypes == np.float32).all()
    for mode in zorvane.Mode:
        assert same_bits(table[mode.column].to_numpy(), zorvane.compute(BARS["high"], BARS["low"], mode).to_numpy())
    chosen = zorvane.frame(BARS.rename(columns={"high": "h", "low": "l"}), high="h", low="l", modes=["lead-sine", 1])
    assert list(chosen.columns) == ["lead_sine", "cycle_average"]
    assert list(zorvane.frame(BARS, modes="sine").columns) == ["sine"]


def test_frame_errors_name_the_problem():
    with pytest.raises(ValueError, match="no column 'close'"):
        zorvane.frame(BARS, high="close")
    with pytest.raises(ValueError, match="listed twice"):
        zorvane.frame(BARS, modes=[3, "sine"])
    with pytest.raises(TypeError, match="DataFrame"):
        zorvane.frame(BARS["high"])
