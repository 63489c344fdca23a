// The cross-built Windows DLLs, checked from Linux: their export and import
// tables, their behaviour under Wine, and their outputs against the Linux
// module. Differences may come only from the Windows C runtime's sine,
// cosine and arctangent; replaying its recorded results through the literal
// implementation here must reproduce the DLL's outputs exactly.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

namespace fs = std::filesystem;

namespace {

struct WindowsBuild {
    fs::path bin;
    bool is32Bit;
};

void PrintTo(const WindowsBuild& build, std::ostream* out) { *out << build.bin.string(); }

std::vector<WindowsBuild> windowsBuilds() {
    std::vector<WindowsBuild> builds;
    std::stringstream list(ZORVANE_WINDOWS_BUILDS);
    std::string dir;
    while (std::getline(list, dir, '|'))
        if (!dir.empty()) builds.push_back({fs::path(dir) / "bin", dir.find("x86") != std::string::npos &&
                                                                       dir.find("x86_64") == std::string::npos &&
                                                                       dir.find("x64") == std::string::npos});
    return builds;
}

std::string capture(const std::string& command, int* exitCode = nullptr) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

class WindowsDll : public ::testing::TestWithParam<WindowsBuild> {
protected:
    fs::path dll() const { return GetParam().bin / "Zorvane Oscillator.dll"; }
    std::string objdump() const {
        return GetParam().is32Bit ? "i686-w64-mingw32-objdump" : "x86_64-w64-mingw32-objdump";
    }

    // Runs a program of the build under a throwaway Wine prefix; skips the
    // test where this machine cannot run such programs.
    std::string wine(const std::string& arguments, int* exitCode) const {
        const fs::path prefix = fs::path(ZORVANE_WINE_PREFIX) / (GetParam().is32Bit ? "x86" : "x64");
        fs::create_directories(prefix);
        const std::string loader = GetParam().is32Bit ? "wine" : "$(command -v wine64 || echo /usr/lib/wine/wine64)";
        return capture("cd " + quoted(GetParam().bin) + " && WINEPREFIX=" + quoted(prefix) +
                           " WINEDEBUG=-all " + loader + " " + arguments,
                       exitCode);
    }
    bool wineRuns() const {
        int code = 0;
        const std::string out = wine("cmd /c echo wine-ok", &code);
        return out.find("wine-ok") != std::string::npos;
    }
};

TEST_P(WindowsDll, ExportsOnlyTheEntryUndecorated) {
    const std::string table = capture(objdump() + " -p " + quoted(dll()));
    const auto start = table.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(start, std::string::npos) << table;
    std::istringstream lines(table.substr(start));
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> names;
    while (std::getline(lines, line) && line.find('[') != std::string::npos)
        names.push_back(line.substr(line.find(']') + 2));
    EXPECT_EQ(names, std::vector<std::string>{"ZorvaneOscillator"});
}

TEST_P(WindowsDll, ImportsOnlySystemLibraries) {
    const std::string table = capture(objdump() + " -p " + quoted(dll()));
    std::set<std::string> imports;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line))
        if (line.find("DLL Name:") != std::string::npos) imports.insert(line.substr(line.find(':') + 2));
    EXPECT_EQ(imports, (std::set<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
}

TEST_P(WindowsDll, BehaviourUnderWine) {
    if (!wineRuns()) GTEST_SKIP() << "this machine cannot run " << (GetParam().is32Bit ? "32" : "64")
                                  << "-bit Windows programs under Wine";
    int code = 0;
    const std::string out = wine("dll_behaviour.exe", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find(" 0 failed"), std::string::npos) << out;
    if (GetParam().is32Bit) {
        const std::string aligned = wine("aligned_stack_call.exe", &code);
        EXPECT_EQ(code, 0) << aligned;
    }
}

// Looks up the Windows C runtime's result for an argument it was given.
std::map<std::pair<int, std::uint64_t>, double> windowsResults;
bool replayMissed = false;
template <int Function>
double replay(double x) {
    std::uint64_t key;
    std::memcpy(&key, &x, 8);
    const auto found = windowsResults.find({Function, key});
    if (found == windowsResults.end()) {
        replayMissed = true;
        return Function == 0 ? std::sin(x) : Function == 1 ? std::cos(x) : std::atan(x);
    }
    return found->second;
}

TEST_P(WindowsDll, OutputsMatchTheLinuxModuleButForLibraryLastBits) {
    if (!wineRuns()) GTEST_SKIP() << "this machine cannot run " << (GetParam().is32Bit ? "32" : "64")
                                  << "-bit Windows programs under Wine";
    const fs::path work = fs::path(ZORVANE_WINE_PREFIX) / "compare";
    fs::create_directories(work);
    const fs::path input = work / "input.bin", output = work / "output.bin";
    constexpr int kSeries = 96;
    std::vector<testing_support::PriceSeries> series;
    {
        std::ofstream in(input, std::ios::binary);
        const std::int32_t n = kSeries;
        in.write(reinterpret_cast<const char*>(&n), 4);
        for (int v = 0; v < kSeries; ++v) {
            series.push_back(testing_support::generateSeries(v));
            const auto& s = series.back();
            const auto count = static_cast<std::int32_t>(s.priceA.size());
            in.write(reinterpret_cast<const char*>(&count), 4);
            in.write(reinterpret_cast<const char*>(s.priceA.data()), 4 * count);
            in.write(reinterpret_cast<const char*>(s.priceB.data()), 4 * count);
        }
    }
    int code = 0;
    const std::string log = wine("dll_compare.exe " + quoted(input) + " " + quoted(output), &code);
    ASSERT_EQ(code, 0) << "the DLL differs from the literal implementation built with the same runtime\n" << log;

    std::ifstream out(output, std::ios::binary);
    std::int32_t n = 0;
    out.read(reinterpret_cast<char*>(&n), 4);
    ASSERT_EQ(n, kSeries);
    std::vector<std::vector<float>> dll;
    for (const auto& s : series)
        for (int mode = 1; mode <= 4; ++mode) {
            dll.emplace_back(s.priceA.size());
            out.read(reinterpret_cast<char*>(dll.back().data()), 4 * static_cast<std::streamsize>(s.priceA.size()));
        }
    std::int32_t mismatches = 0, calls = 0;
    out.read(reinterpret_cast<char*>(&mismatches), 4);
    out.read(reinterpret_cast<char*>(&calls), 4);
    windowsResults.clear();
    int differingCalls = 0;
    for (std::int32_t i = 0; i < calls; ++i) {
        std::uint8_t function;
        double x, result;
        out.read(reinterpret_cast<char*>(&function), 1);
        out.read(reinterpret_cast<char*>(&x), 8);
        out.read(reinterpret_cast<char*>(&result), 8);
        std::uint64_t key;
        std::memcpy(&key, &x, 8);
        windowsResults[{function, key}] = result;
        const double here = function == 0 ? std::sin(x) : function == 1 ? std::cos(x) : std::atan(x);
        differingCalls += std::memcmp(&here, &result, 8) != 0;
    }
    ASSERT_TRUE(out.good());

    const reference::MathFunctions replayed{replay<0>, replay<1>, replay<2>};
    long bars = 0, sameBars = 0, runsDiffering = 0;
    std::size_t run = 0;
    for (const auto& s : series)
        for (int mode = 1; mode <= 4; ++mode, ++run) {
            const auto count = static_cast<std::int32_t>(s.priceA.size());
            std::vector<float> linux(count), replay(count);
            ZorvaneOscillator(s.priceA.data(), s.priceB.data(), mode, count, linux.data());
            replayMissed = false;
            reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, count, replay.data(), replayed);
            EXPECT_FALSE(replayMissed) << s.name << " mode " << mode << ": an argument Windows never computed";
            EXPECT_EQ(std::memcmp(replay.data(), dll[run].data(), 4 * static_cast<std::size_t>(count)), 0)
                << s.name << " mode " << mode << ": not explained by the library results";
            bool differs = false;
            for (std::int32_t i = 0; i < count; ++i, ++bars) {
                const bool same = std::memcmp(&linux[i], &dll[run][i], 4) == 0 ||
                                  (std::isnan(linux[i]) && std::isnan(dll[run][i]));
                sameBars += same;
                differs = differs || !same;
            }
            runsDiffering += differs;
        }
    std::printf("[ %s ] %ld of %ld bars match the Linux module bit for bit (%ld of %zu runs differ);\n"
                "  %d of %d library results differ from glibc's in the last bits, and replaying them\n"
                "  reproduces every DLL output exactly\n",
                GetParam().is32Bit ? "x86" : "x64", sameBars, bars, runsDiffering, run, differingCalls, calls);
    RecordProperty("bars_matching", std::to_string(sameBars) + "/" + std::to_string(bars));
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsDll, ::testing::ValuesIn(windowsBuilds()),
                         [](const auto& info) { return info.param.is32Bit ? std::string("x86") : std::string("x64"); });

}  // namespace
