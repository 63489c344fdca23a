"""Shared by the Python tests: the module loaded through ctypes, as a host
loads it, and generated price series."""

import ctypes
import os

import numpy as np
import pytest

WARMUP = 6


def _load_module():
    path = os.environ.get("ZORVANE_MODULE")
    if not path:
        raise RuntimeError("set ZORVANE_MODULE to the path of 'Zorvane Oscillator.so'")
    module = ctypes.CDLL(path)
    entry = module.ZorvaneOscillator
    floats = ctypes.POINTER(ctypes.c_float)
    entry.argtypes = [floats, floats, ctypes.c_int32, ctypes.c_int32, floats]
    entry.restype = None
    return entry


@pytest.fixture(scope="session")
def module():
    """module(high, low, mode, warmup) -> what ZorvaneOscillator writes, with
    the warm-up entries as the Python API gives them."""
    entry = _load_module()

    def run(high, low, mode, warmup="marker"):
        high = np.ascontiguousarray(high, dtype=np.float32)
        low = np.ascontiguousarray(low, dtype=np.float32)
        out = np.zeros(len(high), dtype=np.float32)
        pointer = lambda a: a.ctypes.data_as(ctypes.POINTER(ctypes.c_float))
        entry(pointer(high), pointer(low), int(mode), len(high), pointer(out))
        if warmup == "nan":
            out[:WARMUP] = np.nan
        return out

    return run


def same_bits(a, b):
    a, b = np.asarray(a, dtype=np.float32), np.asarray(b, dtype=np.float32)
    return a.shape == b.shape and np.array_equal(a.view(np.uint32), b.view(np.uint32))


def _shape(kind, n, rng):
    t = np.arange(n, dtype=np.float64)
    period = rng.uniform(3, 75)
    if kind == "walk":
        return 100 + np.cumsum(rng.uniform(-1, 1, n))
    if kind == "cycle":
        return 100 + 5 * np.sin(2 * np.pi * t / period + rng.uniform(-np.pi, np.pi))
    if kind == "mixed":
        second = 2 * np.sin(2 * np.pi * t / (0.37 * period + 4))
        return 100 + 3 * np.sin(2 * np.pi * t / period) + second + 0.3 * rng.uniform(-1, 1, n)
    if kind == "drifting":
        return 100 + 5 * np.sin(2 * np.pi * t / (20 + 15 * np.sin(t / 90)))
    if kind == "steps":
        return np.where((t // 25) % 2 == 1, 120.0, 80.0)
    if kind == "constant":
        return np.full(n, 42.0)
    if kind == "huge":
        return 1e37 * (1.5 + np.sin(2 * np.pi * t / period))
    if kind == "tiny":
        return 1e-40 * (1.5 + np.sin(2 * np.pi * t / period))
    return 1e-3 * np.sin(2 * np.pi * t / period)  # straddles zero


KINDS = ["walk", "cycle", "mixed", "drifting", "steps", "constant", "huge", "tiny", "zero"]
# Short inputs, the batch call's chunk edges (576, 1088), and random lengths.
LENGTHS = [0, 1, 5, 6, 7, 14, 25, 26, 575, 576, 577, 1088, 1089]


def generated_series(count=60, seed=11):
    """(name, high, low) float32 arrays: every shape at many lengths, some
    with NaN and infinite prices."""
    rng = np.random.default_rng(seed)
    series = []
    for i in range(count):
        kind = KINDS[i % len(KINDS)]
        n = LENGTHS[i % len(LENGTHS)] if i < 2 * len(LENGTHS) else int(rng.integers(6, 1300))
        mid = _shape(kind, n, rng)
        spread = np.abs(mid) * 0.002 * rng.integers(1, 6, n)
        high, low = (mid + spread).astype(np.float32), (mid - spread).astype(np.float32)
        if i % 4 == 3 and n:
            for _ in range(int(rng.integers(1, 4))):
                (high if rng.integers(2) else low)[rng.integers(n)] = rng.choice([np.nan, np.inf, -np.inf])
        series.append((f"{kind}-{n}-{i}", high, low))
    return series
