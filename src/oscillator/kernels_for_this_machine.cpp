// Picks the widest kernels the processor (and the operating system, which
// must save the wider registers) supports. Asked once per call: the answer
// is cached by the runtime's processor description, so the module keeps no
// state of its own.
#include "kernels.hpp"

namespace zorvane::detail {

const Kernels& kernelsForThisMachine() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return avx512Kernels();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return avx2Kernels();
#endif
    return sse2Kernels();
}

}  // namespace zorvane::detail
