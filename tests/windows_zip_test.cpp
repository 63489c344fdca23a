// The Windows zips as a user meets them: each unpacked into a fresh folder
// whose path holds spaces and non-ASCII characters, then judged from Linux
// on what scripts/run-windows-tests had its programs do there under Wine
// (the 32-bit ones in the 32-bit guest where this kernel cannot run them):
// the files, the version resources, the export and import tables, the DLL
// loaded by a host and compared with the Linux module, hosts linked with
// both import libraries, and zorvane.exe doing on every case exactly what
// the Linux program does, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pe_version_info.hpp"
#include "series_generator.hpp"
#include "test_files.hpp"
#include "windows/linked_host_series.h"
#include "zorvane/oscillator.h"

namespace fs = std::filesystem;

using zorvane::test::commandOutput;
using zorvane::test::readFile;

namespace {

const fs::path kResults = ZORVANE_WINDOWS_RESULTS;
const std::string kVersion = ZORVANE_VERSION;

// Every file below a folder, by its path relative to it, with its bytes.
std::map<std::string, std::string> filesIn(const fs::path& dir) {
    std::map<std::string, std::string> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), dir).string()] = readFile(entry.path());
    return files;
}

std::set<std::string> namesOf(const std::map<std::string, std::string>& files) {
    std::set<std::string> names;
    for (const auto& file : files) names.insert(file.first);
    return names;
}

class WindowsZip : public ::testing::TestWithParam<std::string> {
protected:
    std::string arch() const { return GetParam(); }
    std::string packageName() const { return "zorvane-oscillator-" + kVersion + "-windows-" + arch(); }
    fs::path zip() const { return kResults / "dist" / (packageName() + ".zip"); }
    // The one folder the zip was unpacked into, beneath a folder named with spaces and non-ASCII characters.
    fs::path unpacked() const {
        std::vector<fs::path> found;
        const fs::path parent = kResults / "unpacked" / arch();
        if (fs::is_directory(parent))
            for (const auto& outer : fs::directory_iterator(parent))
                for (const auto& inner : fs::directory_iterator(outer)) found.push_back(inner.path());
        return found.size() == 1 ? found[0] : fs::path();
    }
    fs::path results() const { return kResults / ("zip-" + arch()); }
    std::string objdump() const { return arch() == "x86" ? "i686-w64-mingw32-objdump" : "x86_64-w64-mingw32-objdump"; }

    ::testing::AssertionResult ran(const std::string& program) const {
        const fs::path status = results() / (program + ".status");
        if (!fs::exists(status))
            return ::testing::AssertionFailure() << program << " (" << arch() << ") has no result in " << results()
                                                 << ": scripts/run-windows-tests runs it before these tests";
        if (std::stoi(readFile(status)) != 0)
            return ::testing::AssertionFailure() << program << " (" << arch() << ") exited with " << readFile(status)
                                                 << readFile(results() / (program + ".out"));
        return ::testing::AssertionSuccess();
    }
};

TEST_P(WindowsZip, HoldsTheFilesInOneFolderNamedForTheRelease) {
    ASSERT_TRUE(fs::exists(zip())) << zip() << ": scripts/run-windows-tests packages it";
    ASSERT_FALSE(unpacked().empty()) << "the zip unpacked into more or less than one folder";
    EXPECT_EQ(unpacked().filename().string(), packageName());
    const std::set<std::string> expected = {
        "Zorvane Oscillator.dll", "Zorvane Oscillator.def", "Zorvane Oscillator.lib", "Zorvane Oscillator.dll.a",
        "zorvane.exe", "sample_bars.csv", "README.txt", "LICENSE.txt", "include/zorvane/oscillator.h",
        "include/zorvane/version.h", "licences/uPlot-LICENSE.txt"};
    EXPECT_EQ(namesOf(filesIn(unpacked())), expected);
    const std::string readme = readFile(unpacked() / "README.txt");
    EXPECT_NE(readme.find("Zorvane Oscillator " + kVersion + " for Windows"), std::string::npos);
    EXPECT_NE(readme.find(arch() == "x86" ? "32-bit host processes" : "64-bit host processes"), std::string::npos);
    EXPECT_NE(readme.find("cdecl"), std::string::npos);
    EXPECT_EQ(readFile(unpacked() / "Zorvane Oscillator.def"), "LIBRARY \"Zorvane Oscillator.dll\"\nEXPORTS\n    ZorvaneOscillator\n");
}

TEST_P(WindowsZip, VersionResourcesNameTheRelease) {
    int parts[3] = {};
    ASSERT_EQ(std::sscanf(kVersion.c_str(), "%d.%d.%d", &parts[0], &parts[1], &parts[2]), 3);
    for (const auto& [file, type] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"Zorvane Oscillator.dll", 2}, {"zorvane.exe", 1}}) {
        SCOPED_TRACE(file);
        const auto info = testing_support::readPeVersionInfo((unpacked() / file).string());
        ASSERT_TRUE(info.found);
        EXPECT_EQ(info.fileType, type);  // VFT_DLL, VFT_APP
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(info.fileVersion[i], parts[i]);
            EXPECT_EQ(info.productVersion[i], parts[i]);
        }
        EXPECT_EQ(info.strings.at("FileVersion"), kVersion);
        EXPECT_EQ(info.strings.at("ProductVersion"), kVersion);
        EXPECT_EQ(info.strings.at("ProductName"), "Zorvane Oscillator");
        EXPECT_EQ(info.strings.at("OriginalFilename"), file);
        EXPECT_FALSE(info.strings.at("FileDescription").empty());
        EXPECT_NE(info.strings.at("LegalCopyright").find("Copyright"), std::string::npos);
    }
}

TEST_P(WindowsZip, ExportsAndImportsAsAHostNeeds) {
    const std::string dll = commandOutput(objdump() + " -p '" + (unpacked() / "Zorvane Oscillator.dll").string() + "'");
    const auto table = dll.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(table, std::string::npos) << dll;
    std::istringstream lines(dll.substr(table));
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> names;
    while (std::getline(lines, line) && line.find('[') != std::string::npos) names.push_back(line.substr(line.find(']') + 2));
    EXPECT_EQ(names, std::vector<std::string>{"ZorvaneOscillator"});
    // Only libraries every Windows has: the C++ and GCC runtimes are linked in.
    for (const auto& [file, allowed] : std::vector<std::pair<std::string, std::set<std::string>>>{
             {"Zorvane Oscillator.dll", {"KERNEL32.dll", "msvcrt.dll"}},
             {"zorvane.exe", {"KERNEL32.dll", "msvcrt.dll"}}}) {
        std::istringstream table(commandOutput(objdump() + " -p '" + (unpacked() / file).string() + "'"));
        std::set<std::string> imports;
        while (std::getline(table, line))
            if (line.find("DLL Name:") != std::string::npos) imports.insert(line.substr(line.find(':') + 2));
        EXPECT_EQ(imports, allowed) << file;
    }
}

TEST_P(WindowsZip, DllLoadedByAHostGivesTheLinuxModulesBits) {
    ASSERT_TRUE(ran("zip_dll_compare"));
    EXPECT_NE(readFile(results() / "zip_dll_compare.out").find(" in 0 runs"), std::string::npos)
        << readFile(results() / "zip_dll_compare.out");
    // The same bytes as the tested build's DLL gave, whose every difference
    // from Linux WindowsDll.OutputsMatchTheLinuxModuleButForLibraryLastBits explains.
    const std::string output = readFile(results() / "zip-compare-output.bin");
    EXPECT_EQ(output, readFile(kResults / arch() / "compare-output.bin"));

    std::ifstream in(kResults / "compare-input.bin", std::ios::binary);
    std::int32_t n = 0;
    in.read(reinterpret_cast<char*>(&n), 4);
    std::size_t at = 4;
    long bars = 0, same = 0;
    for (std::int32_t s = 0; s < n; ++s) {
        std::int32_t count = 0;
        in.read(reinterpret_cast<char*>(&count), 4);
        std::vector<float> a(count), b(count), linux(count), dll(count);
        in.read(reinterpret_cast<char*>(a.data()), 4 * static_cast<std::streamsize>(count));
        in.read(reinterpret_cast<char*>(b.data()), 4 * static_cast<std::streamsize>(count));
        for (int mode = 1; mode <= 4; ++mode) {
            ZorvaneOscillator(a.data(), b.data(), mode, count, linux.data());
            ASSERT_LE(at + 4 * static_cast<std::size_t>(count), output.size());
            std::memcpy(dll.data(), output.data() + at, 4 * static_cast<std::size_t>(count));
            at += 4 * static_cast<std::size_t>(count);
            for (std::int32_t i = 0; i < count; ++i, ++bars)
                same += std::memcmp(&linux[i], &dll[i], 4) == 0 || (std::isnan(linux[i]) && std::isnan(dll[i]));
        }
    }
    ASSERT_GT(bars, 0);
    std::printf("[ %s zip ] %ld of %ld bars match the Linux module bit for bit\n", arch().c_str(), same, bars);
}

TEST_P(WindowsZip, HostsLinkedWithEitherImportLibraryGetTheLinuxModulesBits) {
    float a[LINKED_HOST_BARS], b[LINKED_HOST_BARS], out[LINKED_HOST_BARS];
    linkedHostSeries(a, b);
    std::string expected;
    for (int mode = 1; mode <= 4; ++mode) {
        ZorvaneOscillator(a, b, mode, LINKED_HOST_BARS, out);
        expected += "m" + std::to_string(mode);
        for (float value : out) {
            std::uint32_t bits;
            std::memcpy(&bits, &value, 4);
            char hex[16];
            std::snprintf(hex, sizeof hex, " %08x", bits);
            expected += hex;
        }
        expected += "\n";
    }
    for (const char* host : {"linked_gnu", "linked_msvc"}) {
        EXPECT_TRUE(ran(host));
        EXPECT_EQ(readFile(results() / (std::string(host) + ".out")), expected) << host;
    }
}

// zorvane.exe against the Linux zorvane on every case of windows_cli_cases:
// the same exit status, messages and summary, and the same files left in
// its folder, byte for byte. A refused input leaves the folder as it was.
TEST_P(WindowsZip, ZorvaneExeDoesWhatTheLinuxProgramDoes) {
    const fs::path cases = kResults / "cli-cases", linux = kResults / "cli-linux", windows = results() / "cli";
    int compared = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(cases)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++compared;
        const std::string status = readFile(linux / (name + ".status"));
        ASSERT_FALSE(status.empty()) << "the Linux program has not run this case";
        EXPECT_EQ(readFile(windows / (name + ".status")), status);
        EXPECT_EQ(readFile(windows / (name + ".stderr")), readFile(linux / (name + ".stderr")));
        std::string linuxOut = readFile(linux / (name + ".stdout")), windowsOut = readFile(windows / (name + ".stdout"));
        if (name == "no-arguments") {
            // The summary names the sample where each program found it.
            const auto firstLine = [](std::string& text) {
                const std::string line = text.substr(0, text.find('\n'));
                text.erase(0, line.size());
                return line;
            };
            const std::string linuxLine = firstLine(linuxOut), windowsLine = firstLine(windowsOut);
            EXPECT_NE(windowsLine.find("Read 2000 bars from "), std::string::npos) << windowsLine;
            EXPECT_NE(windowsLine.find("\\" + packageName() + "\\sample_bars.csv"), std::string::npos) << windowsLine;
            EXPECT_NE(linuxLine.find("sample_bars.csv"), std::string::npos) << linuxLine;
        }
        EXPECT_EQ(windowsOut, linuxOut);
        const auto linuxFiles = filesIn(linux / name), windowsFiles = filesIn(windows / name);
        EXPECT_EQ(namesOf(windowsFiles), namesOf(linuxFiles));
        for (const auto& [file, bytes] : linuxFiles) {
            const auto found = windowsFiles.find(file);
            if (found != windowsFiles.end()) {
                EXPECT_TRUE(found->second == bytes) << file << " differs";
            }
        }
        if (name.find("refused") != std::string::npos) {
            ++refused;
            EXPECT_EQ(status, "1\n");
            EXPECT_EQ(linuxFiles, filesIn(entry.path() / "work")) << "a refused input left files behind";
        } else if (name.rfind("layout-", 0) == 0) {
            EXPECT_EQ(status, "0\n") << readFile(linux / (name + ".stderr"));
        }
    }
    EXPECT_GE(compared, 40);
    EXPECT_GE(refused, 8);
    std::printf("[ %s zip ] zorvane.exe did what the Linux zorvane did on %d runs (%d refused inputs)\n",
                arch().c_str(), compared, refused);
}

INSTANTIATE_TEST_SUITE_P(Zips, WindowsZip, ::testing::Values("x86", "x64"),
                         [](const auto& info) { return info.param; });

}  // namespace
