// Lanes on a target without kernels of its own: the compiler lowers the
// vector types to whatever the target has (plain doubles at worst), and
// nothing is fused. Included by lanes.hpp only.
#pragma once

#include "lanes_generic.hpp"

namespace zorvane::detail {
namespace {

template <class V>
inline V multiplyAdd(V a, V b, V c) {
    return a * b + c;
}

}  // namespace
}  // namespace zorvane::detail
