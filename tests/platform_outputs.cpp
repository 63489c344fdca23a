// The same bits on every platform: the built module's outputs on a fixed set
// of series, written by the x86-64 build and checked by another (the aarch64
// cross build, under its emulator). The series travel in the file, since
// generating them calls the platform's sine. So do the sines, cosines and
// arctangents the literal implementation took from the library on x86-64:
// the check reports every one this platform's library computes differently,
// and where outputs differ, whether replaying x86-64's results through the
// literal implementation here reproduces them (the difference then comes
// from the library alone).
//
//   platform_outputs write FILE   writes series, outputs and library results
//   platform_outputs check FILE   exits 1 if any output differs from FILE's
//
// FILE: int32 series count; per series int32 bars, floats A, floats B, and
// for modes 1 to 4 the module's floats; then int64 library results, each
// uint8 function (0 sine, 1 cosine, 2 arctangent), double x, double result.
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"

namespace {

using Entry = void (*)(const float*, const float*, std::int32_t, std::int32_t, float*);
using testing_support::firstDifference;

struct Series {
    std::vector<float> priceA, priceB;
    std::vector<float> outputs[4];  // modes 1 to 4
};

// Short series of every shape, and long ones across many chunks.
std::vector<Series> generated() {
    std::vector<Series> all;
    for (int v = 0; v < 96 + 12; ++v) {
        const auto s = testing_support::generateSeries(v, v < 96 ? 0 : 5000);
        all.push_back({s.priceA, s.priceB, {}});
    }
    return all;
}

void computeOutputs(Entry module, Series& s) {
    const auto bars = static_cast<std::int32_t>(s.priceA.size());
    for (int mode = 1; mode <= 4; ++mode) {
        s.outputs[mode - 1].assign(bars, 0.0f);
        module(s.priceA.data(), s.priceB.data(), mode, bars, s.outputs[mode - 1].data());
    }
}

// Library results by function and argument bits.
using LibraryResults = std::map<std::pair<int, std::uint64_t>, double>;

std::uint64_t bitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, 8);
    return bits;
}

double call(int function, double x) { return function == 0 ? std::sin(x) : function == 1 ? std::cos(x) : std::atan(x); }

// The literal implementation's library calls are recorded into, or replayed
// from, one table at a time.
LibraryResults* recording = nullptr;
const LibraryResults* replaying = nullptr;

template <int Function>
double libraryCall(double x) {
    if (replaying) {
        const auto found = replaying->find({Function, bitsOf(x)});
        if (found != replaying->end()) return found->second;
    }
    const double result = call(Function, x);
    if (recording) (*recording)[{Function, bitsOf(x)}] = result;
    return result;
}

const reference::MathFunctions kTableMath{libraryCall<0>, libraryCall<1>, libraryCall<2>};

std::vector<float> literal(const Series& s, int mode) {
    std::vector<float> out(s.priceA.size(), 0.0f);
    reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, static_cast<std::int32_t>(out.size()),
                                 out.data(), kTableMath);
    return out;
}

template <class T>
void put(std::FILE* f, const T* values, std::size_t count) {
    std::fwrite(values, sizeof(T), count, f);
}
template <class T>
bool get(std::FILE* f, T* values, std::size_t count) {
    return std::fread(values, sizeof(T), count, f) == count;
}

bool write(Entry module, const char* file) {
    std::vector<Series> all = generated();
    LibraryResults results;
    recording = &results;
    for (Series& s : all) {
        computeOutputs(module, s);
        for (int mode = 3; mode <= 4; ++mode) literal(s, mode);  // the modes that call the library
    }
    recording = nullptr;
    std::FILE* f = std::fopen(file, "wb");
    if (!f) return false;
    const auto seriesCount = static_cast<std::int32_t>(all.size());
    put(f, &seriesCount, 1);
    for (const Series& s : all) {
        const auto bars = static_cast<std::int32_t>(s.priceA.size());
        put(f, &bars, 1);
        put(f, s.priceA.data(), bars);
        put(f, s.priceB.data(), bars);
        for (const auto& out : s.outputs) put(f, out.data(), bars);
    }
    const auto recorded = static_cast<std::int64_t>(results.size());
    put(f, &recorded, 1);
    for (const auto& [key, result] : results) {
        const auto function = static_cast<std::uint8_t>(key.first);
        double x;
        std::memcpy(&x, &key.second, 8);
        put(f, &function, 1);
        put(f, &x, 1);
        put(f, &result, 1);
    }
    const bool ok = std::ferror(f) == 0;
    std::printf("wrote %d series, %ld library results\n", seriesCount, static_cast<long>(recorded));
    return std::fclose(f) == 0 && ok;
}

bool read(const char* file, std::vector<Series>& all, LibraryResults& results) {
    std::FILE* f = std::fopen(file, "rb");
    if (!f) return false;
    std::int32_t seriesCount = 0;
    bool ok = get(f, &seriesCount, 1);
    for (std::int32_t k = 0; ok && k < seriesCount; ++k) {
        std::int32_t bars = 0;
        ok = get(f, &bars, 1) && bars >= 0;
        Series s;
        s.priceA.resize(ok ? bars : 0);
        s.priceB.resize(ok ? bars : 0);
        ok = ok && get(f, s.priceA.data(), bars) && get(f, s.priceB.data(), bars);
        for (auto& out : s.outputs) {
            out.resize(ok ? bars : 0);
            ok = ok && get(f, out.data(), bars);
        }
        all.push_back(std::move(s));
    }
    std::int64_t recorded = 0;
    ok = ok && get(f, &recorded, 1);
    for (std::int64_t k = 0; ok && k < recorded; ++k) {
        std::uint8_t function = 0;
        double x = 0, result = 0;
        ok = get(f, &function, 1) && get(f, &x, 1) && get(f, &result, 1);
        if (ok) results[{function, bitsOf(x)}] = result;
    }
    std::fclose(f);
    return ok;
}

bool check(Entry module, const char* file) {
    std::vector<Series> expected;
    LibraryResults theirs;
    if (!read(file, expected, theirs)) {
        std::printf("cannot read %s\n", file);
        return false;
    }
    // The library here against x86-64's, on every argument the literal
    // implementation gave it.
    const char* names[] = {"sin", "cos", "atan"};
    long libraryDifferences = 0;
    for (const auto& [key, result] : theirs) {
        double x;
        std::memcpy(&x, &key.second, 8);
        const double here = call(key.first, x);
        if (bitsOf(here) == bitsOf(result) || (std::isnan(here) && std::isnan(result))) continue;
        if (++libraryDifferences <= 10)
            std::printf("library: %s(%a) = %a here, %a on x86-64\n", names[key.first], x, here, result);
    }
    std::printf("library results: %ld of %zu differ from x86-64's\n", libraryDifferences, theirs.size());

    long bars = 0, differingRuns = 0, literalDifferences = 0, explainedByLibrary = 0;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        Series s = expected[k];
        computeOutputs(module, s);
        bars += static_cast<long>(s.priceA.size());
        for (int mode = 1; mode <= 4; ++mode) {
            const std::vector<float>& mine = s.outputs[mode - 1];
            const std::vector<float>& x86 = expected[k].outputs[mode - 1];
            literalDifferences += firstDifference(mine, literal(s, mode)) != -1;
            const long at = firstDifference(mine, x86);
            if (at == -1) continue;
            ++differingRuns;
            replaying = &theirs;
            explainedByLibrary += firstDifference(literal(s, mode), x86) == -1;
            replaying = nullptr;
            std::printf("series %zu mode %d first differs at bar %ld: %a here, %a on x86-64\n", k, mode, at,
                        static_cast<double>(mine[at]), static_cast<double>(x86[at]));
        }
    }
    std::printf("%zu series, %ld bars, 4 modes: %ld runs differ from x86-64 (%ld reproduced by x86-64's "
                "library results), %ld from the literal implementation here\n",
                expected.size(), bars, differingRuns, explainedByLibrary, literalDifferences);
    return differingRuns == 0 && literalDifferences == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 3 ? argv[1] : "";
    if (command != "write" && command != "check") {
        std::fprintf(stderr, "usage: platform_outputs write|check FILE\n");
        return 2;
    }
    void* handle = dlopen(ZORVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    const auto module = handle ? reinterpret_cast<Entry>(dlsym(handle, "ZorvaneOscillator")) : nullptr;
    if (!module) {
        std::fprintf(stderr, "cannot load the module: %s\n", dlerror());
        return 2;
    }
    const bool ok = command == "write" ? write(module, argv[2]) : check(module, argv[2]);
    dlclose(handle);
    return ok ? 0 : 1;
}
