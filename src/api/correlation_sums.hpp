// The one-bar path's correlation sums over the last bars, newest first and
// in that order (the bits depend on it), as straight-line code entered part
// way through: a multiply and an add per term and a single jump, where a
// loop spends a third as many instructions again on its counting. The term
// count changes only when the period does, so the jump is well predicted.
// (The cycle average's plain sum measured slower this way: it stays a loop.)
#pragma once

#include "lane_types.hpp"
#include "working_series.hpp"

// The cases k = 0 .. 39 of a switch, each but the last falling through:
// entered at k0, they run TERM(k) for k = k0 .. 39.
#define ZORVANE_FROM_K0_TO_39(TERM)                                                                          \
    ZORVANE_CASE(0, TERM) ZORVANE_CASE(1, TERM) ZORVANE_CASE(2, TERM) ZORVANE_CASE(3, TERM)                 \
    ZORVANE_CASE(4, TERM) ZORVANE_CASE(5, TERM) ZORVANE_CASE(6, TERM) ZORVANE_CASE(7, TERM)                 \
    ZORVANE_CASE(8, TERM) ZORVANE_CASE(9, TERM) ZORVANE_CASE(10, TERM) ZORVANE_CASE(11, TERM)               \
    ZORVANE_CASE(12, TERM) ZORVANE_CASE(13, TERM) ZORVANE_CASE(14, TERM) ZORVANE_CASE(15, TERM)             \
    ZORVANE_CASE(16, TERM) ZORVANE_CASE(17, TERM) ZORVANE_CASE(18, TERM) ZORVANE_CASE(19, TERM)             \
    ZORVANE_CASE(20, TERM) ZORVANE_CASE(21, TERM) ZORVANE_CASE(22, TERM) ZORVANE_CASE(23, TERM)             \
    ZORVANE_CASE(24, TERM) ZORVANE_CASE(25, TERM) ZORVANE_CASE(26, TERM) ZORVANE_CASE(27, TERM)             \
    ZORVANE_CASE(28, TERM) ZORVANE_CASE(29, TERM) ZORVANE_CASE(30, TERM) ZORVANE_CASE(31, TERM)             \
    ZORVANE_CASE(32, TERM) ZORVANE_CASE(33, TERM) ZORVANE_CASE(34, TERM) ZORVANE_CASE(35, TERM)             \
    ZORVANE_CASE(36, TERM) ZORVANE_CASE(37, TERM) ZORVANE_CASE(38, TERM) case 39:                \
    TERM(39);
#define ZORVANE_CASE(k, TERM) \
    case k:                   \
        TERM(k);              \
        [[fallthrough]];

namespace zorvane::detail {
namespace {

constexpr int kMostCorrelationTerms = 40;
static_assert(kMaxPeriod <= kMostCorrelationTerms, "a correlation has a term per bar of the period");

// The sine and cosine sums of a correlation side by side: angles[n] times
// mid[-n] added for n = 0 .. terms - 1 in that order from +0; terms at most
// 40, and the array of `angles` holds 40 - terms pairs before them.
[[gnu::always_inline]] inline Pair correlationNewestFirst(const Pair* angles, const double* mid, int terms) {
    const int k0 = kMostCorrelationTerms - terms;
    const Pair* const shifted = angles - k0;  // term n at shifted[k0 + n]
    Pair sums = {};
#define ZORVANE_ADD_PRODUCT(k) sums += shifted[k] * mid[k0 - k]
    switch (k0) { ZORVANE_FROM_K0_TO_39(ZORVANE_ADD_PRODUCT) }
#undef ZORVANE_ADD_PRODUCT
    return sums;
}

}  // namespace
}  // namespace zorvane::detail

#undef ZORVANE_CASE
#undef ZORVANE_FROM_K0_TO_39
