"""Zorvane Oscillator: a cycle indicator over price bars, bit for bit as the
module computes it.

- compute(high, low, mode): one mode over arrays or Series.
- frame(df): every mode of a DataFrame's bars as columns.
- Oscillator(): streams bars one at a time and revises the forming bar.
- zorvane.dask.by_symbol(ddf): many symbols at once on Dask.
"""

from . import _native
from ._batch import compute, frame
from ._modes import Mode

Oscillator = _native.Oscillator
Bar = _native.Bar
NO_VALUE_BITS = _native.NO_VALUE_BITS
WARMUP_BARS = _native.WARMUP_BARS
__version__ = _native.VERSION

__all__ = ["Bar", "Mode", "NO_VALUE_BITS", "Oscillator", "WARMUP_BARS", "compute", "frame"]
