// The DLL called by a host that leaves its own floating-point settings in
// force: another rounding mode, FTZ or DAZ, an exception unmasked, or (in a
// 32-bit process) a lower x87 precision. Every output must equal the one
// computed under the process's start-up settings, no trap may fire, and the
// host's control words and sticky flags must be exactly as they were, both
// when the host's flags were clear and when some were already raised.
// Prints one line per setting and "N passed, M failed"; exits non-zero on
// any failure.
#include <float.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dll_loader.hpp"

namespace {

struct FpState {
    std::uint16_t control;  // x87 control word
    std::uint16_t status;   // x87 status word
    std::uint32_t mxcsr;
};

constexpr std::uint16_t kX87Flags = 0x3F;
constexpr std::uint32_t kSseFlags = 0x3F;
constexpr int kSseMaskShift = 7;

FpState readState() {
    FpState s;
    __asm__ volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2" : "=m"(s.control), "=m"(s.status), "=m"(s.mxcsr)
                     :
                     : "memory");
    return s;
}

void writeControl(std::uint16_t control, std::uint32_t mxcsr) {
    __asm__ volatile("fnclex\n\tfldcw %0\n\tldmxcsr %1" : : "m"(control), "m"(mxcsr) : "memory");
}

// Raises x87 sticky flags without executing anything that would set them.
void setX87Flags(std::uint16_t flags) {
    std::uint32_t environment[7];
    __asm__ volatile("fnstenv %0" : "=m"(environment) : : "memory");
    environment[1] = (environment[1] & ~std::uint32_t{0xFF}) | flags;
    __asm__ volatile("fldenv %0" : : "m"(environment) : "memory");
}

// A host's setting: what it asks of _controlfp (if anything), and the bits
// that must then hold in each unit; where the runtime's _controlfp leaves a
// unit alone, the bits are written directly, as the host's own code would.
struct Setting {
    const char* name;
    unsigned controlfpValue, controlfpMask;
    std::uint16_t x87Clear, x87Set;
    std::uint32_t sseClear, sseSet;
};

constexpr std::uint16_t kX87Rounding = 0x0C00, kX87Precision = 0x0300;
constexpr std::uint32_t kSseRounding = 0x6000;

std::vector<Setting> hostSettings() {
    std::vector<Setting> settings = {
        {"round to nearest", _RC_NEAR, _MCW_RC, kX87Rounding, 0x0000, kSseRounding, 0x0000},
        {"round upward", _RC_UP, _MCW_RC, kX87Rounding, 0x0800, kSseRounding, 0x4000},
        {"round downward", _RC_DOWN, _MCW_RC, kX87Rounding, 0x0400, kSseRounding, 0x2000},
        {"round toward zero", _RC_CHOP, _MCW_RC, kX87Rounding, 0x0C00, kSseRounding, 0x6000},
        {"flush to zero (FTZ)", 0, 0, 0, 0, 0, 0x8000},
        {"denormals are zero (DAZ)", 0, 0, 0, 0, 0, 0x0040},
        {"invalid unmasked", 0, _EM_INVALID, 0x0001, 0, 0x0080, 0},
        {"divide-by-zero unmasked", 0, _EM_ZERODIVIDE, 0x0004, 0, 0x0200, 0},
        {"overflow unmasked", 0, _EM_OVERFLOW, 0x0008, 0, 0x0400, 0},
    };
    if (sizeof(void*) == 4) {
        settings.push_back({"x87 precision 24 bits", _PC_24, _MCW_PC, kX87Precision, 0x0000, 0, 0});
        settings.push_back({"x87 precision 53 bits", _PC_53, _MCW_PC, kX87Precision, 0x0200, 0, 0});
    }
    return settings;
}

FpState startup;

void applySetting(const Setting& setting, bool raiseFlags) {
    writeControl(startup.control, startup.mxcsr);
    if (setting.controlfpMask) _controlfp(setting.controlfpValue, setting.controlfpMask);
    FpState s = readState();
    s.control = static_cast<std::uint16_t>((s.control & ~setting.x87Clear) | setting.x87Set);
    s.mxcsr = (s.mxcsr & ~setting.sseClear) | setting.sseSet;
    writeControl(s.control, s.mxcsr);
    if (raiseFlags) {
        // Only flags whose exceptions are masked: a raised flag that is
        // unmasked would trap at the host's next x87 instruction.
        setX87Flags(s.control & kX87Flags);
        const std::uint32_t mxcsr = s.mxcsr | ((s.mxcsr >> kSseMaskShift) & kSseFlags);
        __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr) : "memory");
    }
}

// A trap is recorded, every exception is masked in the interrupted context
// and the instruction resumes, so that the run goes on to report it.
volatile LONG traps = 0;
volatile DWORD lastTrap = 0;

bool isFloatingPointTrap(DWORD code) {
    switch (code) {
        case EXCEPTION_FLT_DENORMAL_OPERAND: case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT: case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW: case EXCEPTION_FLT_STACK_CHECK: case EXCEPTION_FLT_UNDERFLOW:
        case 0xC00002B4 /* STATUS_FLOAT_MULTIPLE_FAULTS */: case 0xC00002B5 /* STATUS_FLOAT_MULTIPLE_TRAPS */:
            return true;
        default:
            return false;
    }
}

LONG CALLBACK onTrap(EXCEPTION_POINTERS* info) {
    if (!isFloatingPointTrap(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    lastTrap = info->ExceptionRecord->ExceptionCode;
    if (InterlockedIncrement(&traps) > 1000) {
        std::printf("FAILED: floating-point traps keep firing (0x%08lx)\n", lastTrap);
        ExitProcess(3);
    }
    CONTEXT* c = info->ContextRecord;
#if defined(_WIN64)
    c->FltSave.ControlWord |= kX87Flags;
    c->FltSave.StatusWord &= ~0xFF;
    c->FltSave.MxCsr = (c->FltSave.MxCsr | 0x1F80) & ~kSseFlags;
    c->MxCsr = c->FltSave.MxCsr;
#else
    c->FloatSave.ControlWord |= kX87Flags;
    c->FloatSave.StatusWord &= ~0xFF;
    auto* fxsave = reinterpret_cast<std::uint8_t*>(c->ExtendedRegisters);
    std::uint16_t fcw, fsw;
    std::uint32_t mxcsr;
    std::memcpy(&fcw, fxsave, 2), std::memcpy(&fsw, fxsave + 2, 2), std::memcpy(&mxcsr, fxsave + 24, 4);
    fcw |= kX87Flags, fsw &= ~0xFF, mxcsr = (mxcsr | 0x1F80) & ~kSseFlags;
    std::memcpy(fxsave, &fcw, 2), std::memcpy(fxsave + 2, &fsw, 2), std::memcpy(fxsave + 24, &mxcsr, 4);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

struct Series {
    const char* name;
    std::vector<float> a, b;
};

std::vector<float> cycle(int count, double period, double level, double amplitude) {
    std::vector<float> v(count);
    for (int i = 0; i < count; ++i)
        v[i] = static_cast<float>(level + amplitude * std::sin(6.283185307179586 * i / period));
    return v;
}

std::vector<Series> testSeries() {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float huge = std::numeric_limits<float>::max(), subnormal = std::numeric_limits<float>::denorm_min();
    std::vector<Series> series;
    series.push_back({"NaN price", cycle(600, 17, 100, 4), cycle(600, 23, 99, 3)});
    series.back().a[200] = nan;
    series.push_back({"infinite prices", cycle(600, 19, 100, 4), cycle(600, 19, 98, 4)});
    series.back().a[150] = inf;
    series.back().b[400] = -inf;
    // Means near the largest float; after a one-bar dip from the largest
    // float to its negative, the smoothed price overshoots it and overflows
    // when stored as a float.
    series.push_back({"huge prices", cycle(600, 21, 0, 3.3e38), cycle(600, 13, 0, 3.3e38)});
    for (int i = 300; i < 600; ++i) series.back().a[i] = series.back().b[i] = (i % 37 == 0 ? -huge : huge);
    series.push_back({"tiny prices", cycle(600, 15, 1e-38, 9e-39), cycle(600, 15, 0, 1e-40)});
    for (int i = 100; i < 600; i += 7) series.back().b[i] = subnormal;
    // After a step the in-phase and quadrature components decay bar by bar
    // through the subnormal doubles to zero.
    std::vector<float> step(4100, 200.0f);
    for (int i = 0; i < 50; ++i) step[i] = 100.0f;
    series.push_back({"step then flat", step, step});
    return series;
}

bool sameOutputs(const std::vector<float>& x, const std::vector<float>& y, long* differing) {
    long n = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        n += std::memcmp(&x[i], &y[i], 4) != 0 && !(std::isnan(x[i]) && std::isnan(y[i]));
    *differing += n;
    return n == 0;
}

}  // namespace

int main() {
    const ZorvaneEntry zorvane = loadZorvaneDll();
    AddVectoredExceptionHandler(1, onTrap);
    startup = readState();
    std::printf("start-up settings: x87 control 0x%04x, MXCSR 0x%08x\n", startup.control, startup.mxcsr);

    const auto series = testSeries();
    std::vector<std::vector<float>> expected;
    for (const auto& s : series)
        for (int mode = 1; mode <= 4; ++mode) {
            expected.emplace_back(s.a.size());
            zorvane(s.a.data(), s.b.data(), mode, static_cast<std::int32_t>(s.a.size()), expected.back().data());
        }

    int passed = 0, failed = 0;
    for (const Setting& setting : hostSettings())
        for (bool raiseFlags : {false, true}) {
            long differing = 0, bars = 0;
            int outputsDiffer = 0, controlChanged = 0, flagsChanged = 0;
            FpState firstBefore{}, firstAfter{};
            bool stateNoted = false;
            traps = 0;
            std::size_t run = 0;
            for (const auto& s : series)
                for (int mode = 1; mode <= 4; ++mode, ++run) {
                    std::vector<float> out(s.a.size());
                    applySetting(setting, raiseFlags);
                    const FpState before = readState();
                    zorvane(s.a.data(), s.b.data(), mode, static_cast<std::int32_t>(s.a.size()), out.data());
                    const FpState after = readState();
                    writeControl(startup.control, startup.mxcsr);

                    bars += static_cast<long>(out.size());
                    outputsDiffer += !sameOutputs(out, expected[run], &differing);
                    const bool controlSame = before.control == after.control &&
                                             (before.mxcsr & ~kSseFlags) == (after.mxcsr & ~kSseFlags);
                    const bool flagsSame = (before.status & kX87Flags) == (after.status & kX87Flags) &&
                                           (before.mxcsr & kSseFlags) == (after.mxcsr & kSseFlags);
                    controlChanged += !controlSame;
                    flagsChanged += !flagsSame;
                    if ((!controlSame || !flagsSame) && !stateNoted)
                        firstBefore = before, firstAfter = after, stateNoted = true;
                }
            const int failures = (outputsDiffer > 0) + (traps > 0) + (controlChanged > 0) + (flagsChanged > 0);
            passed += 4 - failures;
            failed += failures;
            std::string line = std::string(setting.name) + (raiseFlags ? ", flags raised" : ", flags clear");
            if (failures == 0) {
                std::printf("ok      %-40s\n", line.c_str());
                continue;
            }
            std::printf("FAILED  %-40s", line.c_str());
            if (outputsDiffer) std::printf(" %ld of %ld bars differ;", differing, bars);
            if (traps) std::printf(" %ld traps (last 0x%08lx);", traps, lastTrap);
            if (controlChanged || flagsChanged)
                std::printf(" x87 control 0x%04x -> 0x%04x, x87 flags 0x%02x -> 0x%02x, MXCSR 0x%04x -> 0x%04x;",
                            firstBefore.control, firstAfter.control, firstBefore.status & kX87Flags,
                            firstAfter.status & kX87Flags, firstBefore.mxcsr, firstAfter.mxcsr);
            std::printf("\n");
        }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
