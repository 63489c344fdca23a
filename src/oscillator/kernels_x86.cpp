// Picks the widest kernels the processor (and the operating system, which
// must save the wider registers) supports. Asked once per call: the answer
// is cached by the runtime's processor description, so the module keeps no
// state of its own. A build for tools that cannot run every wider
// instruction (valgrind decodes AVX only in part) keeps to the baseline.
#include "kernels_x86.hpp"

namespace zorvane::detail {
namespace {

// After __builtin_cpu_init().
bool runsAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

bool runsAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}

}  // namespace

const Kernels& baselineKernels() { return sse2Kernels(); }

const Kernels& kernelsForThisMachine() {
#if !defined(ZORVANE_BASELINE_KERNELS_ONLY)
    __builtin_cpu_init();
    if (runsAvx512()) return avx512Kernels();
    if (runsAvx2()) return avx2Kernels();
#endif
    return sse2Kernels();
}

const Kernels& kernelsForOneBar() {
#if !defined(ZORVANE_BASELINE_KERNELS_ONLY)
    __builtin_cpu_init();
    if (runsAvx2()) return avx2PairKernels();
#endif
    return sse2Kernels();
}

int kernelsThisMachineRuns(const Kernels* (&sets)[kMostKernelSets]) {
    __builtin_cpu_init();
    int count = 0;
    sets[count++] = &sse2Kernels();
    if (runsAvx2()) {
        sets[count++] = &avx2PairKernels();
        sets[count++] = &avx2Kernels();
    }
    if (runsAvx512()) sets[count++] = &avx512Kernels();
    return count;
}

}  // namespace zorvane::detail
