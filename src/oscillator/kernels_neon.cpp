// aarch64's kernels: two lanes in NEON registers, which every aarch64
// processor has, with fused multiply-adds inside the fast approximations.
// Being the only set, they need no run-time choice.
#include "kernel_bodies.hpp"

namespace zorvane::detail {

const Kernels& baselineKernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Pair, "neon");
    return kernels;
}

const Kernels& kernelsForThisMachine() { return baselineKernels(); }
const Kernels& kernelsForOneBar() { return baselineKernels(); }

int kernelsThisMachineRuns(const Kernels* (&sets)[kMostKernelSets]) {
    sets[0] = &baselineKernels();
    return 1;
}

}  // namespace zorvane::detail
