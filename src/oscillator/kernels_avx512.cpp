// Eight lanes in AVX-512 registers. Compiled with -mavx512f -mavx512dq
// -mfma; used only where the processor has them.
#include "kernel_bodies.hpp"
#include "kernels_x86.hpp"

namespace zorvane::detail {

const Kernels& avx512Kernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Octet, "avx512");
    return kernels;
}

}  // namespace zorvane::detail
