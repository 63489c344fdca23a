"""The streaming object: revising the forming bar, copies and pickles that
continue bit for bit, reset, and refused pickles."""

import copy
import math
import pickle

import numpy as np
import pytest

import zorvane
from conftest import generated_series, same_bits

SERIES = [s for s in generated_series(count=24, seed=3) if len(s[1]) > 40]


def test_revise_equals_pushing_the_final_prices():
    rng = np.random.default_rng(1)
    for name, high, low in SERIES:
        direct, revised = zorvane.Oscillator(), zorvane.Oscillator()
        for h, l in zip(high.tolist(), low.tolist()):
            want = direct.push(h, l)
            revised.push(h * 1.01 + 1, float("nan") if rng.integers(5) == 0 else l)
            for _ in range(int(rng.integers(0, 3))):
                revised.revise(rng.uniform(0, 200), rng.uniform(0, 200))
            got = revised.revise(h, l)
            assert same_bits(got, want) and revised.period == direct.period, name
        assert revised.bars == direct.bars == len(high)


def test_copies_and_pickles_continue_bit_for_bit():
    name, high, low = SERIES[0]
    half = len(high) // 2
    original = zorvane.Oscillator(warmup="marker")
    for h, l in zip(high[:half].tolist(), low[:half].tolist()):
        original.push(h, l)
    untouched = copy.copy(original)
    clones = [copy.copy(original), copy.deepcopy(original), pickle.loads(pickle.dumps(original))]
    for clone in clones:
        assert (clone.bars, clone.period, clone.warmup) == (original.bars, original.period, "marker")
    revised = original.revise(7.0, 8.0)  # the forming bar is revisable after a restart too
    for clone in clones:
        assert same_bits(clone.revise(7.0, 8.0), revised)
    for h, l in zip(high[half:].tolist(), low[half:].tolist()):
        want = original.push(h, l)
        for clone in clones:
            assert same_bits(clone.push(h, l), want), name
    assert untouched.bars == half  # copies share nothing


def test_bar_fields_reset_and_errors():
    oscillator = zorvane.Oscillator()
    with pytest.raises(RuntimeError, match="no bar"):
        oscillator.revise(1.0, 2.0)
    first = oscillator.push(101, 99)
    assert isinstance(first, zorvane.Bar) and first._fields == ("cycle_average", "smoothed_price", "sine", "lead_sine")
    assert all(math.isnan(v) for v in first)
    for _ in range(10):
        bar = oscillator.push(np.float32(101), 99.0)
    assert bar.cycle_average == 100.0 and oscillator.bars == 11 and oscillator.period == 0
    assert pickle.loads(pickle.dumps(bar)) == bar
    oscillator.reset()
    assert oscillator.bars == 0
    with pytest.raises(RuntimeError):
        oscillator.revise(1.0, 2.0)
    with pytest.raises(ValueError, match="warmup"):
        zorvane.Oscillator(warmup="none")
    with pytest.raises(TypeError):
        oscillator.push("101", 99)


def test_damaged_or_foreign_pickles_are_refused():
    oscillator = zorvane.Oscillator()
    for i in range(30):
        oscillator.push(100.0 + i % 7, 99.0)
    warmup, state = oscillator.__getstate__()
    damaged = bytearray(state)
    damaged[100] ^= 0x10
    cases = [(warmup, bytes(damaged)), (warmup, state[:-1]), (warmup, b"PK\x03\x04" + state[4:]), (warmup,)]
    for saved in cases:
        clone = zorvane.Oscillator.__new__(zorvane.Oscillator)
        with pytest.raises(ValueError):
            clone.__setstate__(saved)
