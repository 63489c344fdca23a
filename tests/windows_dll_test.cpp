// The cross-built Windows DLLs, judged from Linux: their export and import
// tables, and what the Windows programs of tests/windows/ reported when
// scripts/run-windows-tests ran them under Wine (the 32-bit ones inside a
// 32-bit guest where this kernel cannot run them): behaviour, misaligned
// stack, host floating-point settings, load and unload, and outputs against
// the Linux module. Differences may come only from the Windows C runtime's
// sine, cosine and arctangent; replaying its recorded results through the
// literal implementation here must reproduce the DLL's outputs exactly.
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
#include "test_files.hpp"
#include "zorvane/oscillator.h"

namespace fs = std::filesystem;

using zorvane::test::commandOutput;
using zorvane::test::readFile;

namespace {

struct WindowsBuild {
    fs::path bin;
    std::string arch;  // x86 or x64
};

void PrintTo(const WindowsBuild& build, std::ostream* out) { *out << build.bin.string(); }

std::vector<WindowsBuild> windowsBuilds() {
    std::vector<WindowsBuild> builds;
    std::stringstream list(ZORVANE_WINDOWS_BUILDS);
    std::string dir;
    while (std::getline(list, dir, '|'))
        if (!dir.empty()) builds.push_back({fs::path(dir) / "bin", dir.find("x64") != std::string::npos ? "x64" : "x86"});
    return builds;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

const fs::path kResults = ZORVANE_WINDOWS_RESULTS;

class WindowsDll : public ::testing::TestWithParam<WindowsBuild> {
protected:
    fs::path dll() const { return GetParam().bin / "Zorvane Oscillator.dll"; }
    std::string objdump() const {
        return GetParam().arch == "x86" ? "i686-w64-mingw32-objdump" : "x86_64-w64-mingw32-objdump";
    }
    fs::path results() const { return kResults / GetParam().arch; }
    // Where the programs ran: natively or in the 32-bit guest.
    std::string where() const {
        std::string text = readFile(results() / "runner");
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.empty() ? "Wine" : text;
    }

    // A program that did not run is a failure, never a skip: the 32-bit
    // programs must run here, in the guest if not natively.
    ::testing::AssertionResult programPassed(const std::string& program) const {
        const fs::path status = results() / (program + ".status");
        if (!fs::exists(status))
            return ::testing::AssertionFailure()
                   << program << ".exe (" << GetParam().arch << ") has no result in " << results()
                   << ": scripts/run-windows-tests runs the Windows programs before these tests";
        if (fs::last_write_time(status) < fs::last_write_time(dll()))
            return ::testing::AssertionFailure()
                   << program << ".exe (" << GetParam().arch << ") ran before the DLL was last built: "
                   << "scripts/run-windows-tests runs the programs again";
        const std::string code = readFile(status), output = readFile(results() / (program + ".out"));
        // dll_compare reports differing runs rather than failed checks.
        const bool reportsPass = output.find(" 0 failed") != std::string::npos || output.find(" in 0 runs") != std::string::npos;
        if (std::stoi(code) != 0 || !reportsPass)
            return ::testing::AssertionFailure()
                   << program << ".exe (" << GetParam().arch << ", " << where() << ") exited with " << code << output;
        return ::testing::AssertionSuccess();
    }
};

TEST_P(WindowsDll, ExportsOnlyTheEntryUndecorated) {
    const std::string table = commandOutput(objdump() + " -p " + quoted(dll()));
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
    const std::string table = commandOutput(objdump() + " -p " + quoted(dll()));
    std::set<std::string> imports;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line))
        if (line.find("DLL Name:") != std::string::npos) imports.insert(line.substr(line.find(':') + 2));
    EXPECT_EQ(imports, (std::set<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
}

TEST_P(WindowsDll, BehaviourUnderWine) {
    EXPECT_TRUE(programPassed("dll_behaviour"));
    if (GetParam().arch == "x86") {
        EXPECT_TRUE(programPassed("aligned_stack_call"));
    }
}

TEST_P(WindowsDll, HostFloatingPointSettingsChangeNothing) { EXPECT_TRUE(programPassed("dll_fp_environment")); }

TEST_P(WindowsDll, LoadedAndFreedRepeatedlyWithoutLeaks) { EXPECT_TRUE(programPassed("dll_load_unload")); }

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
    std::vector<testing_support::PriceSeries> series;
    {
        std::ifstream in(kResults / "compare-input.bin", std::ios::binary);
        std::int32_t n = 0;
        in.read(reinterpret_cast<char*>(&n), 4);
        for (std::int32_t v = 0; v < n; ++v) {
            std::int32_t count = 0;
            in.read(reinterpret_cast<char*>(&count), 4);
            series.push_back({"series " + std::to_string(v), std::vector<float>(count), std::vector<float>(count)});
            in.read(reinterpret_cast<char*>(series.back().priceA.data()), 4 * static_cast<std::streamsize>(count));
            in.read(reinterpret_cast<char*>(series.back().priceB.data()), 4 * static_cast<std::streamsize>(count));
        }
        ASSERT_TRUE(in.good() && n > 0) << "no series in " << kResults / "compare-input.bin"
                                        << ": scripts/run-windows-tests writes them before these tests";
    }
    ASSERT_TRUE(programPassed("dll_compare"))
        << "\n(dll_compare.exe fails where the DLL differs from the literal implementation built with the same runtime)";

    std::ifstream out(results() / "compare-output.bin", std::ios::binary);
    std::int32_t n = 0;
    out.read(reinterpret_cast<char*>(&n), 4);
    ASSERT_EQ(n, static_cast<std::int32_t>(series.size()));
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
            EXPECT_EQ(testing_support::firstDifference(replay, dll[run]), -1)
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
    std::printf("[ %s, %s ] %ld of %ld bars match the Linux module bit for bit (%ld of %zu runs differ);\n"
                "  %d of %d library results differ from glibc's in the last bits, and replaying them\n"
                "  reproduces every DLL output exactly\n",
                GetParam().arch.c_str(), where().c_str(), sameBars, bars, runsDiffering, run, differingCalls, calls);
    RecordProperty("bars_matching", std::to_string(sameBars) + "/" + std::to_string(bars));
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsDll, ::testing::ValuesIn(windowsBuilds()),
                         [](const auto& info) { return info.param.arch; });

}  // namespace
