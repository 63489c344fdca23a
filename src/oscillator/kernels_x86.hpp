// x86's sets of kernels, each compiled for its instruction set
// (kernels_sse2.cpp, kernels_avx2.cpp, kernels_avx512.cpp); kernels_x86.cpp
// chooses among them.
#pragma once

#include "kernels.hpp"

namespace zorvane::detail {

const Kernels& sse2Kernels();
const Kernels& avx2Kernels();
const Kernels& avx2PairKernels();  // two lanes with fused multiply-adds, for one bar at a time
const Kernels& avx512Kernels();

}  // namespace zorvane::detail
