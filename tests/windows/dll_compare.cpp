// Runs series written by the Linux tests through the DLL and through the
// literal implementation built with the Windows C runtime, recording every
// sine, cosine and arctangent the latter computes. The Linux side compares
// the DLL with the Linux module and replays the recorded results to show
// that every difference comes from those library calls.
//
//   dll_compare input.bin output.bin
// input:  int32 series count, then per series int32 count, floats A, floats B
// output: int32 series count; per series and mode 1..4 the DLL's floats;
//         int32 mismatches between the DLL and the literal implementation;
//         int32 recorded calls, then (uint8 function, double x, double result)
#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "dll_loader.hpp"
#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"

namespace {

std::map<std::pair<int, std::uint64_t>, double> recorded;

template <int Function>
double record(double x) {
    const double result = Function == 0 ? std::sin(x) : Function == 1 ? std::cos(x) : std::atan(x);
    std::uint64_t key;
    std::memcpy(&key, &x, 8);
    recorded[{Function, key}] = result;
    return result;
}

template <class T>
void put(std::FILE* f, const T& value) {
    std::fwrite(&value, sizeof value, 1, f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::printf("usage: dll_compare input.bin output.bin [DLL]\n");
        return 2;
    }
    const ZorvaneEntry zorvane = loadZorvaneDll(argc == 4 ? argv[3] : kZorvaneDll);
    std::FILE* in = std::fopen(argv[1], "rb");
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!in || !out) {
        std::printf("cannot open the files\n");
        return 2;
    }
    const reference::MathFunctions recording{record<0>, record<1>, record<2>};
    std::int32_t seriesCount = 0, mismatches = 0;
    if (std::fread(&seriesCount, 4, 1, in) != 1) return 2;
    put(out, seriesCount);
    for (std::int32_t s = 0; s < seriesCount; ++s) {
        std::int32_t count = 0;
        if (std::fread(&count, 4, 1, in) != 1) return 2;
        std::vector<float> a(count), b(count);
        if (std::fread(a.data(), 4, count, in) != static_cast<std::size_t>(count) ||
            std::fread(b.data(), 4, count, in) != static_cast<std::size_t>(count))
            return 2;
        for (int mode = 1; mode <= 4; ++mode) {
            std::vector<float> dll(count), literal(count);
            zorvane(a.data(), b.data(), mode, count, dll.data());
            reference::literalOscillator(a.data(), b.data(), mode, count, literal.data(), recording);
            const long bar = testing_support::firstDifference(dll, literal);
            if (bar >= 0) {
                ++mismatches;
                std::printf("series %d mode %d: first difference at bar %ld of %d\n", s, mode, bar, count);
            }
            std::fwrite(dll.data(), 4, count, out);
        }
    }
    put(out, mismatches);
    put(out, static_cast<std::int32_t>(recorded.size()));
    for (const auto& [key, result] : recorded) {
        put(out, static_cast<std::uint8_t>(key.first));
        double x;
        std::memcpy(&x, &key.second, 8);
        put(out, x);
        put(out, result);
    }
    std::fclose(out);
    std::printf("%d series compared; DLL and literal implementation differ in %d runs\n", seriesCount, mismatches);
    return mismatches == 0 ? 0 : 1;
}
