// The floating-point guard on aarch64: FPCR holds the rounding mode,
// flush-to-zero, default-NaN, the trap enables (where the processor
// implements trapping) and the alternate handling of newer processors; FPSR
// holds the sticky exception flags. Inside, FPCR is all zeros, the
// environment every Linux process starts in: round to nearest, no flushing,
// NaNs propagated, nothing trapped. Included by floating_point_guard.hpp.
#pragma once

#include <cstdint>

namespace zorvane::detail {

class FloatingPointGuard {
public:
    FloatingPointGuard() {
        fpcr_ = readFpcr();
        fpsr_ = readFpsr();
        if (fpcr_ != kFpcrDefault) writeFpcr(kFpcrDefault);
        compilerBarrier();
    }

    ~FloatingPointGuard() {
        compilerBarrier();
        if (readFpcr() != fpcr_) writeFpcr(fpcr_);
        if (readFpsr() != fpsr_) writeFpsr(fpsr_);  // flags raised inside go
    }

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    static std::uint64_t readFpcr() {
        std::uint64_t value;
        __asm__ volatile("mrs %0, fpcr" : "=r"(value));
        return value;
    }
    static std::uint64_t readFpsr() {
        std::uint64_t value;
        __asm__ volatile("mrs %0, fpsr" : "=r"(value));
        return value;
    }
    // The compiler knows nothing of the control registers: keep every load
    // and store of the guarded code between the switches. (Arithmetic on
    // values that arrive in registers is the caller's to order.)
    static void writeFpcr(std::uint64_t value) { __asm__ volatile("msr fpcr, %0" : : "r"(value)); }
    static void writeFpsr(std::uint64_t value) { __asm__ volatile("msr fpsr, %0" : : "r"(value)); }
    static void compilerBarrier() { __asm__ volatile("" ::: "memory"); }

    static constexpr std::uint64_t kFpcrDefault = 0;

    std::uint64_t fpcr_;
    std::uint64_t fpsr_;
};

}  // namespace zorvane::detail
