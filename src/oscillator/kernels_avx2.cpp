// Four lanes in AVX2 registers, with fused multiply-adds inside the fast
// approximations. Compiled with -mavx2 -mfma; used only where the processor
// has both (kernels_x86.cpp).
#include "kernel_bodies.hpp"
#include "kernels_x86.hpp"

namespace zorvane::detail {

const Kernels& avx2Kernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Quad, "avx2");
    return kernels;
}

// Two lanes, for one bar at a time: what matters then is how long the
// dependent steps take, and fused multiply-adds shorten them.
const Kernels& avx2PairKernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Pair, "avx2 pairs");
    return kernels;
}

}  // namespace zorvane::detail
