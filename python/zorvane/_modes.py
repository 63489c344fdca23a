"""The four output modes and the ways a caller may name them."""

import enum
import operator


class Mode(enum.IntEnum):
    """An output mode; the value is the module's mode number."""

    CYCLE_AVERAGE = 1
    SMOOTHED_PRICE = 2
    SINE = 3
    LEAD_SINE = 4

    @property
    def column(self):
        """Column and Series name: "cycle_average", "smoothed_price", ..."""
        return self.name.lower()

    @property
    def label(self):
        """The mode's name as users write it: "cycle-average", ..."""
        return self.name.lower().replace("_", "-")


_BY_NAME = {name: mode for mode in Mode for name in (mode.label, mode.column)}
_BY_NUMBER = {int(mode): mode for mode in Mode}
_EXPECTED = "1 to 4, zorvane.Mode or one of " + ", ".join(repr(m.label) for m in Mode)


def parse_mode(mode):
    """Mode for a number 1-4, a name ("sine", "lead-sine", "lead_sine") or a Mode."""
    if type(mode) is int or type(mode) is Mode:  # the common case, without the checks below
        found = _BY_NUMBER.get(mode)
        if found is not None:
            return found
    if isinstance(mode, str):
        try:
            return _BY_NAME[mode.strip().lower()]
        except KeyError:
            raise ValueError(f"unknown mode {mode!r}; expected {_EXPECTED}") from None
    if isinstance(mode, bool):
        raise TypeError(f"mode must be {_EXPECTED}, not a bool")
    try:
        number = operator.index(mode)
    except TypeError:
        raise TypeError(f"mode must be {_EXPECTED}, not {type(mode).__name__}") from None
    if number not in _BY_NUMBER:
        raise ValueError(f"unknown mode {number}; expected {_EXPECTED}")
    return _BY_NUMBER[number]


def parse_modes(modes):
    """A list of distinct modes: all four for None, else one mode or an iterable of them."""
    if modes is None:
        return list(Mode)
    if isinstance(modes, (str, int, Mode)):
        return [parse_mode(modes)]
    parsed = [parse_mode(m) for m in modes]
    if not parsed:
        raise ValueError("modes is empty")
    if len(set(parsed)) != len(parsed):
        raise ValueError(f"a mode is listed twice in {modes!r}")
    return parsed
