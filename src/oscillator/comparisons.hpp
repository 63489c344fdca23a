// The indicator's comparison rule. A value that is not a number makes every
// less-than and every is-zero test true and every greater-than test false;
// plain C++ comparisons give false for all of them, so every test the
// algorithm makes goes through these helpers. Negative zero is zero.
#pragma once

namespace zorvane::detail {

inline bool lessThan(double a, double b) { return !(a >= b); }
inline bool greaterThan(double a, double b) { return a > b; }
inline bool isZero(double x) { return !(x < 0.0) && !(x > 0.0); }
inline bool isNotZero(double x) { return !isZero(x); }

}  // namespace zorvane::detail
