// Writes the generated series that dll_compare.exe runs through the Windows
// DLL (format in tests/windows/dll_compare.cpp); the Linux-side test reads
// the same file back.
//
//   windows_compare_input FILE
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "series_generator.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: windows_compare_input FILE\n");
        return 2;
    }
    constexpr std::int32_t kSeries = 96;
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(&kSeries), 4);
    for (int v = 0; v < kSeries; ++v) {
        const auto s = testing_support::generateSeries(v);
        const auto count = static_cast<std::int32_t>(s.priceA.size());
        out.write(reinterpret_cast<const char*>(&count), 4);
        out.write(reinterpret_cast<const char*>(s.priceA.data()), 4 * count);
        out.write(reinterpret_cast<const char*>(s.priceB.data()), 4 * count);
    }
    return out.good() ? 0 : 1;
}
