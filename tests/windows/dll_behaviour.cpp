// The DLL's behaviour as a Windows host sees it: warm-up, modes, counts,
// bad arguments, aliasing, the NaN rule and refused memory. Prints
// "N passed, M failed" and exits non-zero on any failure.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dll_loader.hpp"
#include "reference/literal_oscillator.hpp"

namespace {

int passed = 0, failed = 0;

void expect(bool condition, const char* what, int detail = 0) {
    if (condition) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s (%d)\n", what, detail);
    }
}

std::uint32_t bits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

const float kSentinel = -777.25f;
const std::uint32_t kMarker = 0x7F7FC99Eu;

std::vector<float> cycle(int count, double period = 17.0) {
    std::vector<float> v(count);
    for (int i = 0; i < count; ++i) v[i] = static_cast<float>(100.0 + 4.0 * std::sin(6.283185307179586 * i / period));
    return v;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (bits(a[i]) != bits(b[i])) return false;
    return true;
}

}  // namespace

int main() {
    const ZorvaneEntry zorvane = loadZorvaneDll();
    const auto a = cycle(300), b = cycle(300, 23.0);

    // Warm-up and short counts: markers in [0, count), nothing beyond.
    for (int count = -3; count <= 8; ++count)
        for (int mode = -1; mode <= 5; ++mode) {
            std::vector<float> out(12, kSentinel);
            zorvane(a.data(), b.data(), mode, count, out.data());
            bool ok = true;
            for (int j = 0; j < 12; ++j) {
                const bool marked = j < count && j < 6;
                const bool computed = j >= 6 && j < count && mode >= 1 && mode <= 4;
                if (marked) ok = ok && bits(out[j]) == kMarker;
                else if (!computed) ok = ok && out[j] == kSentinel;
            }
            expect(ok, "warm-up and count edges", count * 10 + mode);
        }

    // Count 7 in the price modes: the mean price of bar 6.
    for (int mode : {1, 2}) {
        std::vector<float> out(7);
        zorvane(a.data(), b.data(), mode, 7, out.data());
        expect(out[6] == static_cast<float>((static_cast<double>(a[6]) + b[6]) * 0.5), "count 7 mean", mode);
    }

    // Null arrays touch nothing.
    std::vector<float> untouched(50, kSentinel);
    zorvane(nullptr, b.data(), 3, 50, untouched.data());
    zorvane(a.data(), nullptr, 3, 50, untouched.data());
    zorvane(a.data(), b.data(), 3, 50, nullptr);
    expect(untouched == std::vector<float>(50, kSentinel), "null arrays");

    // Every mode against the literal implementation built with the same C
    // runtime, separate and in place, and with the prices swapped.
    for (int mode = 0; mode <= 5; ++mode) {
        std::vector<float> mine(300, kSentinel), theirs(300, kSentinel), swapped(300, kSentinel);
        zorvane(a.data(), b.data(), mode, 300, mine.data());
        reference::literalOscillator(a.data(), b.data(), mode, 300, theirs.data());
        zorvane(b.data(), a.data(), mode, 300, swapped.data());
        expect(sameBits(mine, theirs), "matches the literal implementation", mode);
        expect(sameBits(mine, swapped), "swap symmetry", mode);
        auto inPlace = a, inPlaceReference = a;
        zorvane(inPlace.data(), b.data(), mode, 300, inPlace.data());
        reference::literalOscillator(inPlaceReference.data(), b.data(), mode, 300, inPlaceReference.data());
        expect(sameBits(inPlace, inPlaceReference), "output in place of priceA", mode);
    }

    // The NaN rule: a NaN price leaves the phase modes finite; an infinity at
    // the current bar makes that bar NaN.
    {
        auto withNaN = a, withInf = a;
        withNaN[150] = std::numeric_limits<float>::quiet_NaN();
        withInf[150] = std::numeric_limits<float>::infinity();
        std::vector<float> out(300);
        zorvane(withNaN.data(), b.data(), 3, 300, out.data());
        bool finite = true;
        for (float v : out) finite = finite && std::isfinite(v);
        expect(finite, "NaN price keeps the sine finite");
        zorvane(withInf.data(), withInf.data(), 3, 300, out.data());
        expect(std::isnan(out[150]), "infinite price gives NaN");
    }

    // Memory that cannot be had: nothing written. In a 32-bit process nine
    // series of this many bars exceed the address space, so the call is
    // refused before any price is read.
    if (sizeof(void*) == 4) {
        std::vector<float> out(8, kSentinel);
        zorvane(a.data(), b.data(), 3, 60000000, out.data());
        expect(out == std::vector<float>(8, kSentinel), "refused memory leaves output untouched");
    }

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
