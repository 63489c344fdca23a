// Two doubles side by side in one SSE2 register, for running the same
// per-bar formula on neighbouring bars at once. Each lane is plain IEEE
// double arithmetic, so a lane gives the bits the scalar formula gives.
#pragma once

#include <cstdint>
#include <cstring>

namespace zorvane::detail {

typedef double Pair __attribute__((vector_size(16)));
typedef std::int64_t PairMask __attribute__((vector_size(16)));

inline Pair loadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline Pair pairOf(double a, double b) { return Pair{a, b}; }
inline Pair broadcast(double a) { return Pair{a, a}; }

// Keeps lanes where mask is set and makes the others +0, which leaves a
// running sum that started at +0 unchanged.
inline Pair keepWhere(PairMask mask, Pair v) { return reinterpret_cast<Pair>(mask & reinterpret_cast<PairMask>(v)); }

}  // namespace zorvane::detail
