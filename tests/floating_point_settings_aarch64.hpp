// The aarch64 host settings floating_point_test.cpp tries: FPCR (rounding
// mode, flush-to-zero, default NaN, trap enables, which most processors and
// qemu do not implement and then read as zero, and the alternate handling
// of newer processors) and the FPSR exception flags.
#pragma once

#include <cstdint>

namespace {

struct Environment {
    std::uint64_t fpcr, fpsr;
    bool operator==(const Environment& o) const { return fpcr == o.fpcr && fpsr == o.fpsr; }
};

Environment current() {
    Environment e;
    __asm__ volatile("mrs %0, fpcr" : "=r"(e.fpcr));
    __asm__ volatile("mrs %0, fpsr" : "=r"(e.fpsr));
    return e;
}

// One host setting: FPCR bits set, and FPSR flags already raised.
struct Setting {
    const char* name;
    std::uint64_t fpcrSet, fpsrSet;
};

constexpr std::uint64_t kRoundUp = 1u << 22, kRoundDown = 2u << 22, kTowardZero = 3u << 22;
constexpr std::uint64_t kFlushToZero = 1u << 24, kDefaultNaN = 1u << 25;
constexpr std::uint64_t kFlushInputsToZero = 1u << 0, kAlternateHandling = 1u << 1;
constexpr std::uint64_t kInvalidTrap = 1u << 8, kDivideTrap = 1u << 9, kOverflowTrap = 1u << 10;
constexpr std::uint64_t kSomeFlags = 0x11;  // inexact and invalid already raised

const Setting kSettings[] = {
    {"default", 0, 0},
    {"round upward", kRoundUp, 0},
    {"round downward", kRoundDown, 0},
    {"round toward zero", kTowardZero, 0},
    {"flush to zero", kFlushToZero, 0},
    {"default NaN", kDefaultNaN, 0},
    {"flush inputs to zero, alternate handling", kFlushInputsToZero | kAlternateHandling, 0},
    {"invalid trapped", kInvalidTrap, 0},
    {"divide by zero trapped", kDivideTrap, 0},
    {"overflow trapped", kOverflowTrap, 0},
    {"flags already raised", 0, kSomeFlags},
    {"everything at once",
     kTowardZero | kFlushToZero | kDefaultNaN | kFlushInputsToZero | kAlternateHandling | kInvalidTrap |
         kDivideTrap | kOverflowTrap,
     kSomeFlags},
};

void apply(const Setting& s, const Environment& base) {
    const std::uint64_t fpcr = base.fpcr | s.fpcrSet, fpsr = base.fpsr | s.fpsrSet;
    __asm__ volatile("msr fpcr, %0" : : "r"(fpcr));
    __asm__ volatile("msr fpsr, %0" : : "r"(fpsr));
}

}  // namespace
