// The kernels of a target with no kernels of its own: the same bodies over
// two-lane vectors, which the compiler lowers to whatever the target has,
// with nothing fused.
#include "kernel_bodies.hpp"

namespace zorvane::detail {

const Kernels& baselineKernels() {
    static constexpr Kernels kernels = ZORVANE_KERNELS(Pair, "portable");
    return kernels;
}

const Kernels& kernelsForThisMachine() { return baselineKernels(); }
const Kernels& kernelsForOneBar() { return baselineKernels(); }

int kernelsThisMachineRuns(const Kernels* (&sets)[kMostKernelSets]) {
    sets[0] = &baselineKernels();
    return 1;
}

}  // namespace zorvane::detail
