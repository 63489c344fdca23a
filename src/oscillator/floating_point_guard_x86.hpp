// The floating-point guard on x86: MXCSR, and the x87 state where the
// runtime computes with x87 instructions. Included by floating_point_guard.hpp.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

namespace zorvane::detail {

class FloatingPointGuard {
public:
    FloatingPointGuard() {
        mxcsr_ = _mm_getcsr();
        if ((mxcsr_ & ~kMxcsrFlags) != kMxcsrDefault) _mm_setcsr(kMxcsrDefault);
        if constexpr (kRuntimeUsesX87) enterX87();
        compilerBarrier();
    }

    ~FloatingPointGuard() {
        compilerBarrier();
        // Written back without a look: our arithmetic nearly always raises
        // the inexact flag, and reading MXCSR waits for every operation
        // before it to finish (a streamed bar measured 1.5% faster).
        _mm_setcsr(mxcsr_);
        if constexpr (kRuntimeUsesX87) leaveX87();
    }

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    // Our doubles are SSE2 everywhere; x87 instructions run only inside a
    // runtime that uses them: the 32-bit ones, and the mingw-w64 runtime's
    // sine and cosine. glibc's x86-64 functions never do, so there the x87
    // state is neither touched by us nor able to touch us.
#if defined(__i386__) || defined(_WIN32)
    static constexpr bool kRuntimeUsesX87 = true;
#else
    static constexpr bool kRuntimeUsesX87 = false;
#endif

    void enterX87() {
        __asm__ volatile("fnstcw %0" : "=m"(x87Control_));
        __asm__ volatile("fnstsw %0" : "=m"(x87Status_));
        // Pending x87 exceptions of the caller's would trap on our first x87
        // instruction (the runtime's sine is one): park the whole x87
        // environment, which also masks them, and bring it back on leaving.
        x87Parked_ = (x87Status_ & kX87Flags) != 0;
        if (x87Parked_) {
            __asm__ volatile("fnstenv %0" : "=m"(x87Environment_));
            __asm__ volatile("fnclex");
        }
        if (x87Parked_ || x87Control_ != kX87Default) {
            const std::uint16_t control = kX87Default;
            __asm__ volatile("fldcw %0" : : "m"(control));
        }
    }

    void leaveX87() {
        if (x87Parked_) {
            __asm__ volatile("fldenv %0" : : "m"(x87Environment_));
            return;
        }
        std::uint16_t status;
        __asm__ volatile("fnstsw %0" : "=m"(status));
        if (status & kX87Flags) __asm__ volatile("fnclex");  // the caller had none
        std::uint16_t control;
        __asm__ volatile("fnstcw %0" : "=m"(control));
        if (control != x87Control_) __asm__ volatile("fldcw %0" : : "m"(x87Control_));
    }

    // The compiler knows nothing of the control registers: keep every load
    // and store of the guarded code between the switches. (Arithmetic on
    // values that arrive in registers is the caller's to order.)
    static void compilerBarrier() { __asm__ volatile("" ::: "memory"); }

    // MXCSR: every exception masked, round to nearest, no FTZ or DAZ.
    static constexpr std::uint32_t kMxcsrDefault = 0x1F80;
    static constexpr std::uint32_t kMxcsrFlags = 0x003F;
    // x87: every exception masked, round to nearest, and the precision the
    // platform's runtime is written for (53 bits on Windows, 64 elsewhere).
#if defined(_WIN32)
    static constexpr std::uint16_t kX87Default = 0x027F;
#else
    static constexpr std::uint16_t kX87Default = 0x037F;
#endif
    // Exception flags, stack fault and the summary bit of the status word.
    static constexpr std::uint16_t kX87Flags = 0x00FF;

    std::uint32_t mxcsr_;
    std::uint16_t x87Control_ = 0;
    std::uint16_t x87Status_ = 0;
    bool x87Parked_ = false;
    std::uint32_t x87Environment_[7];  // 28 bytes in either mode
};

}  // namespace zorvane::detail
