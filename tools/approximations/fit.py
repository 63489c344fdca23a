#!/usr/bin/env python3
"""Derives the polynomials of src/oscillator/fast_atan.hpp and fast_sine.hpp
and checks how far they are from the functions they stand in for.

Each is a Chebyshev fit in z = x^2 over the reduced range:
  arctangent  (atan(u)/u - 1)/z,        degree 10, |u| <= 0.4143
  sine        (sin(r)/r - 1)/z,         degree 5,  |r| <= pi/4 + 0.001
  cosine      (cos(r) - 1 + z/2)/z^2,   degree 5,  |r| <= pi/4 + 0.001
It prints the coefficients (highest degree first, as hexadecimal doubles,
the form the headers hold) and the largest error of the whole
approximation with those double coefficients, evaluated in 50-digit
arithmetic at 20,001 points of the range. The rounding of the evaluation in
doubles is bounded separately, in the headers' comments.

Needs mpmath (Debian: python3-mpmath); nothing in the build runs it.
    /usr/bin/python3 tools/approximations/fit.py
"""
import mpmath as mp

mp.mp.dps = 50
POINTS = 20000


def fit(function, top, degree):
    polynomial = mp.chebyfit(function, [0, top], degree + 1)
    return [float(c) for c in polynomial]  # highest degree first


def evaluate(coefficients, z):
    value = mp.mpf(0)
    for c in coefficients:
        value = value * z + mp.mpf(c)
    return value


def largest_error(coefficients, whole, reference, top_argument):
    worst = mp.mpf(0)
    for i in range(POINTS + 1):
        x = top_argument * i / POINTS
        z = x * x
        worst = max(worst, abs(whole(x, z, evaluate(coefficients, z)) - reference(x)))
    return worst


def main():
    u_top = mp.mpf("0.4143")
    r_top = mp.pi / 4 + mp.mpf("0.001")

    def atan_part(z):
        if z == 0:
            return mp.mpf(-1) / 3
        u = mp.sqrt(z)
        return (mp.atan(u) / u - 1) / z

    def sine_part(z):
        if z == 0:
            return mp.mpf(-1) / 6
        r = mp.sqrt(z)
        return (mp.sin(r) / r - 1) / z

    def cosine_part(z):
        if z == 0:
            return mp.mpf(1) / 24
        r = mp.sqrt(z)
        return (mp.cos(r) - 1 + z / 2) / (z * z)

    fits = [
        ("arctangent P", atan_part, u_top, 10, lambda u, z, p: u + u * z * p, mp.atan),
        ("sine S", sine_part, r_top, 5, lambda r, z, p: r + r * z * p, mp.sin),
        ("cosine C", cosine_part, r_top, 5, lambda r, z, p: 1 - z / 2 + z * z * p, mp.cos),
    ]
    for name, part, top, degree, whole, reference in fits:
        coefficients = fit(part, top * top, degree)
        print(f"{name}, degree {degree} in z, highest first:")
        print("    " + ", ".join(float.hex(c) for c in coefficients))
        print(f"    largest error with these doubles: {mp.nstr(largest_error(coefficients, whole, reference, top), 3)}")


if __name__ == "__main__":
    main()
