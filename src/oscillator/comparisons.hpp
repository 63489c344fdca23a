// The indicator's comparison rule. A value that is not a number makes every
// less-than and every is-zero test true and every greater-than test false;
// plain C++ comparisons give false for all of them, so every test the
// algorithm makes goes through these helpers. Negative zero is zero.
// lessThan also has a two-lane form with the same rule per lane.
#pragma once

#include "lanes.hpp"

namespace zorvane::detail {

inline bool lessThan(double a, double b) { return !(a >= b); }
inline bool greaterThan(double a, double b) { return a > b; }
inline bool isZero(double x) { return !(x < 0.0) && !(x > 0.0); }
inline bool isNotZero(double x) { return !isZero(x); }

// Clamps written so they compile to a single max or min instruction rather
// than a branch that mispredicts: raiseTo(b, x) is "x below b becomes b" (a
// NaN is below), lowerTo(b, x) is "x above b becomes b" (a NaN stays).
inline double raiseTo(double bound, double x) { return x > bound ? x : bound; }
inline double lowerTo(double bound, double x) { return bound < x ? bound : x; }

inline PairMask lessThan(Pair a, Pair b) { return ~(a >= b); }

}  // namespace zorvane::detail
