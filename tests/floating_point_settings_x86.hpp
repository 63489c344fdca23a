// The x86 host settings floating_point_test.cpp tries: MXCSR and the x87
// control word and exception flags.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

namespace {

// What a host can see of its environment: MXCSR and the x87 control word
// and exception flags.
struct Environment {
    std::uint32_t mxcsr;
    std::uint16_t x87Control, x87Flags;
    bool operator==(const Environment& o) const {
        return mxcsr == o.mxcsr && x87Control == o.x87Control && x87Flags == o.x87Flags;
    }
};

Environment current() {
    Environment e;
    e.mxcsr = _mm_getcsr();
    std::uint16_t status;
    __asm__ volatile("fnstcw %0" : "=m"(e.x87Control));
    __asm__ volatile("fnstsw %0" : "=m"(status));
    e.x87Flags = status & 0x3F;
    return e;
}

// One host setting: how it changes MXCSR and the x87 control word.
struct Setting {
    const char* name;
    std::uint32_t mxcsrSet, mxcsrClear;
    std::uint16_t x87Set, x87Clear;
};

constexpr std::uint32_t kRoundUp = 0x4000, kRoundDown = 0x2000, kTowardZero = 0x6000;
constexpr std::uint32_t kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;
constexpr std::uint32_t kInvalidMask = 0x0080, kDivideMask = 0x0200, kOverflowMask = 0x0400;
constexpr std::uint32_t kSomeFlags = 0x0021;  // inexact and invalid already raised

const Setting kSettings[] = {
    {"default", 0, 0, 0, 0},
    {"round upward", kRoundUp, 0, 0x0800, 0},
    {"round downward", kRoundDown, 0, 0x0400, 0},
    {"round toward zero", kTowardZero, 0, 0x0C00, 0},
    {"flush to zero", kFlushToZero, 0, 0, 0},
    {"denormals are zero", kDenormalsAreZero, 0, 0, 0},
    {"invalid unmasked", 0, kInvalidMask, 0, 0x01},
    {"divide by zero unmasked", 0, kDivideMask, 0, 0x04},
    {"overflow unmasked", 0, kOverflowMask, 0, 0x08},
    {"x87 precision 24 bits", 0, 0, 0, 0x0300},
    {"flags already raised", kSomeFlags, 0, 0, 0},
    {"everything at once", kTowardZero | kFlushToZero | kDenormalsAreZero | kSomeFlags,
     kInvalidMask | kDivideMask | kOverflowMask, 0x0C00, 0x030D},
};

void apply(const Setting& s, const Environment& base) {
    _mm_setcsr((base.mxcsr | s.mxcsrSet) & ~s.mxcsrClear);
    const std::uint16_t control = static_cast<std::uint16_t>((base.x87Control | s.x87Set) & ~s.x87Clear);
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(control));
}

}  // namespace
