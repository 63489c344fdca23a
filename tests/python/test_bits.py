"""Every API gives, bit for bit, what the module writes: all modes, both
warm-up settings, generated series."""

import numpy as np
import pandas as pd
import pytest

import zorvane
from conftest import generated_series, same_bits

SERIES = generated_series()


@pytest.mark.parametrize("warmup", ["nan", "marker"])
def test_compute_and_frame_match_the_module(module, warmup):
    for k, (name, high, low) in enumerate(SERIES):
        bars = pd.DataFrame({"high": high, "low": low})
        table = zorvane.frame(bars, warmup=warmup)
        # Several modes at once: a different subset, in a different order, for each series.
        subset = [m for m in zorvane.Mode if (k % 15 + 1) >> (m - 1) & 1][:: 1 if k % 2 else -1]
        together = dict(zip(subset, zorvane.compute(high, low, subset, warmup=warmup)))
        for mode in zorvane.Mode:
            expected = module(high, low, mode, warmup)
            assert same_bits(zorvane.compute(high, low, mode, warmup=warmup), expected), (name, mode)
            assert same_bits(table[mode.column].to_numpy(), expected), (name, mode)
            if mode in together:
                assert same_bits(together[mode], expected), (name, mode, subset)


@pytest.mark.parametrize("warmup", ["nan", "marker"])
def test_streaming_matches_the_module(module, warmup):
    for name, high, low in SERIES[::3]:
        oscillator = zorvane.Oscillator(warmup=warmup)
        streamed = np.array([oscillator.push(h, l) for h, l in zip(high.tolist(), low.tolist())], dtype=np.float32)
        streamed = streamed.reshape(len(high), 4)
        for mode in zorvane.Mode:
            assert same_bits(streamed[:, mode - 1], module(high, low, mode, warmup)), (name, mode)


def test_marker_bits_are_kept():
    values = zorvane.compute([1.0] * 8, [2.0] * 8, "sine", warmup="marker")
    assert (values[:6].view(np.uint32) == zorvane.NO_VALUE_BITS).all()
    assert np.isnan(zorvane.compute([1.0] * 8, [2.0] * 8, "sine")[:6]).all()
