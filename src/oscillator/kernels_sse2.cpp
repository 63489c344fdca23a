// The baseline kernels: two lanes in SSE2 registers, which every x86 build
// has (the 32-bit DLL included).
#include "kernel_bodies.hpp"
#include "kernels_x86.hpp"

namespace zorvane::detail {

const Kernels& sse2Kernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Pair, "sse2");
    return kernels;
}

}  // namespace zorvane::detail
