// The indicator's comparison rule. A value that is not a number makes every
// less-than and every is-zero test true and every greater-than test false;
// plain C++ comparisons give false for all of them, so every test the
// algorithm makes goes through these helpers. Negative zero is zero.
// Each helper also has a lane-wise form with the same rule per lane.
#pragma once

#include "lanes.hpp"

namespace zorvane::detail {
// One scope for the scalar and the lane-wise forms, so that a call on
// doubles from anywhere, an unnamed namespace included, sees both and picks
// the scalar one.
namespace {

inline bool lessThan(double a, double b) { return !(a >= b); }
inline bool greaterThan(double a, double b) { return a > b; }
inline bool isZero(double x) { return !(x < 0.0) && !(x > 0.0); }
inline bool isNotZero(double x) { return !isZero(x); }

// Clamps written so they compile to a single max or min instruction rather
// than a branch that mispredicts: raiseTo(b, x) is "x below b becomes b" (a
// NaN is below), lowerTo(b, x) is "x above b becomes b" (a NaN stays).
inline double raiseTo(double bound, double x) { return x > bound ? x : bound; }
inline double lowerTo(double bound, double x) { return bound < x ? bound : x; }

template <class V>
inline MaskOf<V> lessThan(V a, V b) {
    return ~(a >= b);
}
template <class V>
inline MaskOf<V> greaterThan(V a, V b) {
    return a > b;
}
template <class V>
inline MaskOf<V> isZero(V x) {
    return ~((x < 0.0) | (x > 0.0));
}
template <class V>
inline MaskOf<V> isNotZero(V x) {
    return ~isZero(x);
}
template <class V>
inline V raiseTo(double bound, V x) {
    return select(x > bound, x, V{} + bound);
}
template <class V>
inline V lowerTo(double bound, V x) {
    return select(bound < x, V{} + bound, x);
}

}  // namespace
}  // namespace zorvane::detail
