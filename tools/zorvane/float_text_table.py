#!/usr/bin/env python3
"""Prints float_text.cpp's table of powers of ten: for each k the float
conversion meets, the upper 63 bits of floor(10^-k 2^-r) + 1, with r such
that 2^125 <= 10^-k 2^-r < 2^126. Also checks the shifted-product forms of
floor(e log10 2), floor(log10(3/4 2^e)) and floor(e log2 10) it uses."""
import math
from fractions import Fraction


def floor_log10_pow2(e): return (e * 661971961083) >> 41
def floor_log10_three_quarters_pow2(e): return (e * 661971961083 - 274743187321) >> 41
def floor_log2_pow10(e): return (e * 913124641741) >> 38


def floor_log(x, base):
    n = 0
    while Fraction(base) ** n > x:
        n -= 1
    while Fraction(base) ** (n + 1) <= x:
        n += 1
    return n


def main():
    for e in range(-300, 300):
        assert floor_log10_pow2(e) == floor_log(Fraction(2) ** e, 10)
        assert floor_log10_three_quarters_pow2(e) == floor_log(Fraction(3, 4) * Fraction(2) ** e, 10)
        assert floor_log2_pow10(e) == floor_log(Fraction(10) ** e, 2)
    # Binary exponents of normal floats' significands, and one either side.
    ks = {f(q) for q in range(-151, 106) for f in (floor_log10_pow2, floor_log10_three_quarters_pow2)}
    print(f"kMinK = {min(ks)}")
    rows = []
    for k in range(min(ks), max(ks) + 1):
        r = floor_log2_pow10(-k) - 125
        beta = Fraction(10) ** (-k) / Fraction(2) ** r
        assert 2 ** 125 <= beta < 2 ** 126
        rows.append((math.floor(beta) + 1) >> 63)
    for i in range(0, len(rows), 3):
        print("    " + " ".join(f"0x{x:016X}," for x in rows[i:i + 3]))


if __name__ == "__main__":
    main()
