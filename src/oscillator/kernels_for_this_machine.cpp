// Picks the widest kernels the processor (and the operating system, which
// must save the wider registers) supports. Asked once per call: the answer
// is cached by the runtime's processor description, so the module keeps no
// state of its own. A build for tools that cannot run every wider
// instruction (valgrind decodes AVX only in part) keeps to the baseline.
#include "kernels.hpp"

namespace zorvane::detail {

const Kernels& kernelsForThisMachine() {
#if (defined(__x86_64__) || defined(__i386__)) && !defined(ZORVANE_BASELINE_KERNELS_ONLY)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return avx512Kernels();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return avx2Kernels();
#endif
    return sse2Kernels();
}

const Kernels& kernelsForOneBar() {
#if (defined(__x86_64__) || defined(__i386__)) && !defined(ZORVANE_BASELINE_KERNELS_ONLY)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return avx2PairKernels();
#endif
    return sse2Kernels();
}

}  // namespace zorvane::detail
