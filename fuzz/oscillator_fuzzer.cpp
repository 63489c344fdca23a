// libFuzzer target: any mode, count, float bit patterns and aliasing. The
// module (with the kernels it picks, or each instruction set's the
// processor runs), the streaming object and the literal implementation must
// agree on every bit that is not a NaN payload; the sanitizers catch any
// stray access.
//
// Input layout: 4 bytes mode, 1 byte choosing the aliasing (its value modulo
// 3) and the kernels (its value / 3 modulo 4), then pairs of 4-byte prices
// (priceA, priceB) for each bar.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bar_loop.hpp"
#include "kernels.hpp"
#include "reference/literal_oscillator.hpp"
#include "zorvane/oscillator.h"
#include "zorvane/oscillator.hpp"

namespace {

bool sameBits(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    std::uint32_t x, y;
    std::memcpy(&x, &a, 4);
    std::memcpy(&y, &b, 4);
    return x == y;
}

void check(bool condition) {
    if (!condition) std::abort();
}

// The kernels an input asks for, where the processor runs them; null for the
// module's own choice.
const zorvane::detail::Kernels* kernelsChosen(int choice) {
    namespace zd = zorvane::detail;
    const zd::Kernels* sets[zd::kMostKernelSets];
    const int count = zd::kernelsThisMachineRuns(sets);
    return choice >= 1 && choice <= count ? sets[choice - 1] : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    std::int32_t mode;
    std::memcpy(&mode, data, 4);
    const int aliasing = data[4] % 3;  // separate, output is priceA, output is priceB
    const zorvane::detail::Kernels* kernels = kernelsChosen(data[4] / 3 % (zorvane::detail::kMostKernelSets + 1));
    data += 5;
    size -= 5;
    const auto count = static_cast<std::int32_t>(size / 8);
    std::vector<float> a(count), b(count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::memcpy(&a[i], data + 8 * i, 4);
        std::memcpy(&b[i], data + 8 * i + 4, 4);
    }
    // Exact-size heap arrays so that AddressSanitizer sees any overrun.
    auto run = [&](auto oscillator) {
        std::vector<float> priceA = a, priceB = b, separate(count, 12.5f);
        float* out = aliasing == 1 ? priceA.data() : aliasing == 2 ? priceB.data() : separate.data();
        oscillator(priceA.data(), priceB.data(), mode, count, out);
        return std::vector<float>(out, out + count);
    };
    const auto fast = run([kernels](const float* pa, const float* pb, std::int32_t m, std::int32_t n, float* o) {
        if (!kernels) return ZorvaneOscillator(pa, pb, m, n, o);
        if (n > 0) zorvane::detail::runOscillator(pa, pb, m, n, o, zorvane::detail::heapAllocator(), kernels);
    });
    const auto literal = run([](const float* pa, const float* pb, std::int32_t m, std::int32_t n, float* o) {
        reference::literalOscillator(pa, pb, m, n, o);
    });
    for (std::int32_t i = 0; i < count; ++i) check(sameBits(fast[i], literal[i]));

    if (mode >= 1 && mode <= 4 && aliasing == 0) {
        zorvane::Oscillator streaming;
        for (std::int32_t i = 0; i < count; ++i) {
            const zorvane::BarOutputs bar = streaming.push(a[i], b[i]);
            const float values[] = {bar.cycleAverage, bar.smoothedPrice, bar.sine, bar.leadSine};
            check(sameBits(values[mode - 1], fast[i]));
        }
    }
    return 0;
}
