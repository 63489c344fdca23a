// The lane types the kernels are written over: doubles side by side in one
// vector register (GCC vector extensions), and the masks, floats and words
// that go with them. Every target has them; lanes_*.hpp add what one
// instruction set does its own way.
#pragma once

#include <cstdint>

namespace zorvane::detail {

typedef double Pair __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));
typedef double Octet __attribute__((vector_size(64)));

template <class V>
constexpr int kLanes = sizeof(V) / sizeof(double);

// A comparison's result: all ones in a lane where it holds.
template <class V>
using MaskOf = decltype(V{} < V{});

// Floats as many as V has doubles (the outputs are stored as floats).
template <class V>
struct FloatLanes;
template <>
struct FloatLanes<Pair> {
    typedef float Type __attribute__((vector_size(8)));
};
template <>
struct FloatLanes<Quad> {
    typedef float Type __attribute__((vector_size(16)));
};
template <>
struct FloatLanes<Octet> {
    typedef float Type __attribute__((vector_size(32)));
};
template <class V>
using FloatsOf = typename FloatLanes<V>::Type;

// 32-bit lanes in a vector the size of V, twice as many as it has doubles:
// unsigned, whole numbers that wrap around modulo 2^32 (the running totals
// of the raw period search), and signed, for their comparisons and counts;
// and unsigned ones as many as V has doubles.
template <class V>
struct UnitLanes {
    typedef std::uint32_t Type __attribute__((vector_size(sizeof(V))));
    typedef std::int32_t Words __attribute__((vector_size(sizeof(V))));
    typedef std::uint32_t Half __attribute__((vector_size(sizeof(V) / 2)));
};
template <class V>
using UnitsOf = typename UnitLanes<V>::Type;
template <class V>
using UnitWordsOf = typename UnitLanes<V>::Words;
template <class V>
using HalfUnitsOf = typename UnitLanes<V>::Half;

}  // namespace zorvane::detail
