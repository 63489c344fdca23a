// The kernels of a target with one set only, which needs no run-time
// choice: on aarch64 two lanes in NEON registers, which every aarch64
// processor has, with fused multiply-adds inside the fast approximations
// (lanes_neon.hpp); elsewhere two-lane vectors the compiler lowers to
// whatever the target has, with nothing fused (lanes_portable.hpp).
#include "kernel_bodies.hpp"

#if defined(__aarch64__) && !defined(ZORVANE_PORTABLE_KERNELS)
#define ZORVANE_ONE_SET_NAME "neon"
#else
#define ZORVANE_ONE_SET_NAME "portable"
#endif

namespace zorvane::detail {

const Kernels& baselineKernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Pair, ZORVANE_ONE_SET_NAME);
    return kernels;
}

const Kernels& kernelsForThisMachine() { return baselineKernels(); }
const Kernels& kernelsForOneBar() { return baselineKernels(); }

int kernelsThisMachineRuns(const Kernels* (&sets)[kMostKernelSets]) {
    sets[0] = &baselineKernels();
    return 1;
}

}  // namespace zorvane::detail
