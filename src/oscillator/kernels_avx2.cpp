// Four lanes in AVX2 registers, with fused multiply-adds inside the fast
// approximations. Compiled with -mavx2 -mfma; used only where the processor
// has both (kernels_for_this_machine.cpp).
#include "kernel_bodies.hpp"

namespace zorvane::detail {

const Kernels& avx2Kernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Quad, "avx2");
    return kernels;
}

}  // namespace zorvane::detail
