"""Turns whatever the caller passes as prices into what the extension takes:
a 1-D, C-contiguous float32 numpy array. Such an array is passed on as it
is; anything else is converted (one copy) as numpy's astype(float32) does."""

import decimal
import numbers
import sys

import numpy as np

_FLOAT32 = np.dtype(np.float32)
_NUMERIC_KINDS = "iuf"  # signed, unsigned, floating


def _pandas():
    # Only present if the caller has imported it: then an argument may be pandas.
    return sys.modules.get("pandas")


def is_series(values):
    pd = _pandas()
    return pd is not None and isinstance(values, pd.Series)


def _is_pandas_array(values):
    pd = _pandas()
    return pd is not None and isinstance(values, (pd.Series, pd.Index, pd.api.extensions.ExtensionArray))


def _is_number(value):
    if isinstance(value, bool):
        return False
    return isinstance(value, (numbers.Real, decimal.Decimal))


def _from_objects(array, name):
    # Elements one by one: numpy would also parse strings such as "1.5".
    for index, value in enumerate(array):
        if not _is_number(value):
            raise TypeError(f"{name}[{index}] is not a number: {value!r}")
    return array.astype(_FLOAT32)


def as_prices(values, name):
    """values as a 1-D C-contiguous float32 array; raises TypeError or ValueError naming the problem."""
    if type(values) is np.ndarray and values.dtype is _FLOAT32 and values.ndim == 1 and values.flags.c_contiguous:
        return values
    if is_series(values) and values.dtype is _FLOAT32:
        # A float32 column, as a frame usually holds: its own array, unless
        # a strided view (a column of a block) needs the contiguous copy below.
        values = values.to_numpy()
        if values.flags.c_contiguous:
            return values
    elif _is_pandas_array(values):
        if _pandas().api.types.is_extension_array_dtype(values.dtype):
            if values.dtype.kind not in _NUMERIC_KINDS:
                raise TypeError(f"{name} must hold numbers, not {values.dtype}")
            # Nullable numbers: missing entries become NaN.
            return values.to_numpy(dtype=_FLOAT32, na_value=np.nan)
        values = values.to_numpy()
    elif isinstance(values, np.ma.MaskedArray):
        values = values.astype(_FLOAT32).filled(np.nan)
    array = np.asarray(values)
    if array.ndim != 1:
        raise ValueError(f"{name} must be 1-D, not {array.ndim}-D (shape {array.shape})")
    if array.dtype.kind == "O":
        array = _from_objects(array, name)
    elif array.dtype.kind not in _NUMERIC_KINDS:
        raise TypeError(f"{name} must hold numbers, not {array.dtype} values")
    return np.ascontiguousarray(array, dtype=_FLOAT32)


def price_pair(high, low):
    """Both price arrays, checked to be as long as each other."""
    a = as_prices(high, "high")
    b = as_prices(low, "low")
    if a.shape != b.shape:
        raise ValueError(f"high and low differ in length: {a.shape[0]} and {b.shape[0]}")
    return a, b
