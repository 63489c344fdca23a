"""What compute accepts as prices and modes, what it converts, and the
errors for everything else."""

import decimal

import numpy as np
import pandas as pd
import pytest

import zorvane
from conftest import same_bits
from zorvane._prices import as_prices

RNG = np.random.default_rng(5)
HIGH = (100 + np.cumsum(RNG.uniform(-1, 1, 300))).astype(np.float32)
LOW = HIGH - np.float32(0.5)


def expected(high, low, mode=3):
    return zorvane.compute(np.asarray(high, np.float32), np.asarray(low, np.float32), mode)


def test_contiguous_float32_is_used_without_a_copy():
    assert as_prices(HIGH, "high") is HIGH
    series = pd.Series(HIGH)
    assert np.shares_memory(as_prices(series, "high"), HIGH)


@pytest.mark.parametrize(
    "convert",
    [
        lambda a: a.astype(np.float64),
        lambda a: a.astype(np.float16),
        lambda a: a.astype(np.longdouble),
        lambda a: np.round(a).astype(np.int64),
        lambda a: np.round(a).astype(np.int32),
        lambda a: np.round(a).astype(np.uint16),
        lambda a: a.astype(">f4"),  # byte-swapped
        lambda a: np.repeat(a, 2)[::2],  # strided view
        lambda a: a.tolist(),
        lambda a: tuple(a.tolist()),
        lambda a: [decimal.Decimal(float(x)) for x in a],
        lambda a: pd.Series(a.astype(np.float64), index=np.arange(len(a)) * 3),
        lambda a: pd.array(a, dtype="Float32"),
    ],
    ids=["f64", "f16", "longdouble", "i64", "i32", "u16", "swapped", "strided", "list", "tuple", "decimal",
         "series", "nullable"],
)
def test_other_inputs_are_converted_to_float32(convert):
    high, low = convert(HIGH), convert(LOW)
    got = zorvane.compute(high, low, "sine")
    assert got.dtype == np.float32 and got.shape == HIGH.shape
    reference = [np.asarray(x, dtype=np.float64).astype(np.float32) for x in (high, low)]
    assert same_bits(np.asarray(got), expected(*reference))


def test_missing_values_become_nan():
    high = pd.Series(HIGH, dtype="Float64")
    high[40] = pd.NA
    masked = np.ma.masked_array(HIGH, mask=np.arange(len(HIGH)) == 40)
    with_nan = HIGH.copy()
    with_nan[40] = np.nan
    assert same_bits(zorvane.compute(high, LOW, 1), expected(with_nan, LOW, 1))
    assert same_bits(zorvane.compute(masked, LOW, 1), expected(with_nan, LOW, 1))


def test_empty_and_short_inputs():
    empty = zorvane.compute([], np.array([], dtype=np.float64), "sine")
    assert empty.dtype == np.float32 and empty.shape == (0,)
    assert np.isnan(zorvane.compute([1, 2, 3], [1, 2, 3], 1)).all()


@pytest.mark.parametrize(
    "high, low, error, words",
    [
        (HIGH, LOW[:-1], ValueError, "differ in length: 300 and 299"),
        (HIGH.reshape(30, 10), LOW.reshape(30, 10), ValueError, "must be 1-D"),
        (np.float32(1.0), np.float32(1.0), ValueError, "must be 1-D"),
        (["1.5"] * 8, LOW[:8], TypeError, "must hold numbers"),
        ([1.0, None, 2.0], [1.0, 2.0, 3.0], TypeError, "high[1] is not a number: None"),
        (HIGH, np.array([1.5, "x"], dtype=object), TypeError, "low[1] is not a number: 'x'"),
        (HIGH.astype(np.complex64), LOW, TypeError, "must hold numbers"),
        (HIGH > 100, LOW, TypeError, "must hold numbers"),
        (np.arange(8).astype("datetime64[D]"), LOW[:8], TypeError, "must hold numbers"),
        (pd.Series(["a"] * 8, dtype="string"), LOW[:8], TypeError, "must hold numbers"),
        (pd.Series(HIGH, index=np.arange(300) + 1), pd.Series(LOW), ValueError, "different indexes"),
    ],
)
def test_bad_prices_are_named(high, low, error, words):
    with pytest.raises(error) as raised:
        zorvane.compute(high, low, "sine")
    assert words in str(raised.value)


def test_every_way_of_naming_a_mode():
    sine = expected(HIGH, LOW, 3)
    for mode in (3, np.int64(3), "sine", "SINE", zorvane.Mode.SINE):
        assert same_bits(zorvane.compute(HIGH, LOW, mode), sine)
    assert same_bits(zorvane.compute(HIGH, LOW, "lead-sine"), zorvane.compute(HIGH, LOW, "lead_sine"))
    for mode, error in [(0, ValueError), (5, ValueError), ("cosine", ValueError), (3.0, TypeError),
                        (None, TypeError), (True, TypeError)]:
        with pytest.raises(error, match="mode"):
            zorvane.compute(HIGH, LOW, mode)
    with pytest.raises(ValueError, match="warmup"):
        zorvane.compute(HIGH, LOW, 3, warmup="zero")
