// A host that loads and frees the DLL over and over, now and then calling it
// from several threads at once: every call must give the first load's
// results, the DLL must really be gone after each FreeLibrary, and the
// process's handle count and private memory must not grow with the cycles.
//
//   dll_load_unload [cycles]      (1,000 unless given)
//
// Prints the figures and "N passed, M failed"; exits non-zero on any failure.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dll_loader.hpp"
// After windows.h, which it needs.
#include <winternl.h>

namespace {

constexpr int kDefaultCycles = 1000;
constexpr int kThreadedRounds = 10;
constexpr int kThreads = 4;
constexpr int kCallsPerThread = 3;
constexpr int kBars = 700;

struct Job {
    std::vector<float> a, b;
    int mode;
    std::vector<float> expected;
};

std::vector<Job> jobs;
ZorvaneEntry entry = nullptr;
volatile LONG mismatches = 0;

bool matches(const Job& job) {
    std::vector<float> out(job.a.size());
    entry(job.a.data(), job.b.data(), job.mode, static_cast<std::int32_t>(out.size()), out.data());
    return std::memcmp(out.data(), job.expected.data(), 4 * out.size()) == 0;
}

DWORD WINAPI callRepeatedly(LPVOID index) {
    const Job& job = jobs[reinterpret_cast<std::uintptr_t>(index) % jobs.size()];
    for (int i = 0; i < kCallsPerThread; ++i)
        if (!matches(job)) InterlockedIncrement(&mismatches);
    return 0;
}

// Committed private memory and mapped images, summed over the address
// space: what a leak of heap or of a mapping would raise. (Wine reports no
// PrivateUsage.)
struct Memory {
    SIZE_T privateBytes, imageBytes;
};
Memory memoryInUse() {
    Memory memory{0, 0};
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region);) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) memory.privateBytes += region.RegionSize;
        if (region.Type == MEM_IMAGE) memory.imageBytes += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return memory;
}

// The process's handle count as the system's process list gives it (Wine
// answers GetProcessHandleCount with 0).
ULONG handleCount() {
    std::vector<char> buffer(1 << 20);
    ULONG length = 0;
    if (NtQuerySystemInformation(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) != 0)
        return 0;
    for (std::size_t offset = 0;;) {
        const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<std::uintptr_t>(process->UniqueProcessId) == GetCurrentProcessId())
            return process->HandleCount;
        if (process->NextEntryOffset == 0) return 0;
        offset += process->NextEntryOffset;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : kDefaultCycles;
    for (int j = 0; j < kThreads; ++j) {
        Job job{std::vector<float>(kBars), std::vector<float>(kBars), 1 + j % 4, {}};
        for (int i = 0; i < kBars; ++i) {
            job.a[i] = static_cast<float>(100.0 + 4.0 * std::sin(6.283185307179586 * i / (11.0 + 5 * j)));
            job.b[i] = static_cast<float>(job.a[i] - 0.5 - 0.1 * j);
        }
        jobs.push_back(job);
    }
    HMODULE first = LoadLibraryA(kZorvaneDll);
    entry = zorvaneEntryOf(first);
    if (!entry) {
        std::printf("cannot load %s\n", kZorvaneDll);
        return 2;
    }
    for (Job& job : jobs) {
        job.expected.resize(job.a.size());
        entry(job.a.data(), job.b.data(), job.mode, kBars, job.expected.data());
    }
    FreeLibrary(first);

    int passed = 0, failed = 0;
    auto expect = [&](bool condition, const char* what) {
        condition ? ++passed : ++failed;
        if (!condition) std::printf("FAILED: %s\n", what);
    };

    // Counted from a baseline after the first twentieth of the cycles, so
    // that one-time growth (heap segments, thread stacks) is not a leak. A
    // leak of one handle per 100 cycles, or of 256 bytes per cycle, shows.
    const int warmUpCycles = cycles / 20;
    const ULONG handleGrowthAllowed = 2 + static_cast<ULONG>(cycles - warmUpCycles) / 100;
    const SIZE_T memoryGrowthAllowed = 65536 + static_cast<SIZE_T>(cycles - warmUpCycles) * 256;
    const int threadedEvery = cycles / kThreadedRounds > 0 ? cycles / kThreadedRounds : 1;

    ULONG handlesAfterWarmUp = handleCount();
    Memory memoryAfterWarmUp = memoryInUse();
    int stillLoaded = 0, loadFailures = 0;
    const ULONGLONG started = GetTickCount64();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        HMODULE module = LoadLibraryA(kZorvaneDll);
        entry = zorvaneEntryOf(module);
        if (!entry) {
            ++loadFailures;
            continue;
        }
        if (!matches(jobs[cycle % jobs.size()])) InterlockedIncrement(&mismatches);
        if (cycle % threadedEvery == 0) {
            HANDLE threads[kThreads];
            for (int t = 0; t < kThreads; ++t)
                threads[t] = CreateThread(nullptr, 0, callRepeatedly, reinterpret_cast<LPVOID>(std::uintptr_t(t)), 0, nullptr);
            WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
            for (HANDLE thread : threads) CloseHandle(thread);
        }
        FreeLibrary(module);
        stillLoaded += GetModuleHandleA(kZorvaneDll) != nullptr;
        if (cycle + 1 == warmUpCycles) handlesAfterWarmUp = handleCount(), memoryAfterWarmUp = memoryInUse();
    }
    const ULONGLONG elapsed = GetTickCount64() - started;
    const ULONG handlesAtEnd = handleCount();
    const Memory memoryAtEnd = memoryInUse();

    std::printf("%d load/free cycles (%.1f ms each), %d of them calling from %d threads at once\n"
                "after cycle %d -> at the end: handles %lu -> %lu, private bytes %lu -> %lu, "
                "image bytes %lu -> %lu\n",
                cycles, static_cast<double>(elapsed) / cycles, (cycles + threadedEvery - 1) / threadedEvery, kThreads,
                warmUpCycles, handlesAfterWarmUp, handlesAtEnd,
                static_cast<unsigned long>(memoryAfterWarmUp.privateBytes),
                static_cast<unsigned long>(memoryAtEnd.privateBytes),
                static_cast<unsigned long>(memoryAfterWarmUp.imageBytes),
                static_cast<unsigned long>(memoryAtEnd.imageBytes));
    expect(loadFailures == 0, "every load succeeds");
    expect(mismatches == 0, "every call gives the first load's results");
    expect(stillLoaded == 0, "the DLL is unloaded by each FreeLibrary");
    expect(handlesAtEnd <= handlesAfterWarmUp + handleGrowthAllowed, "handle count stays stable");
    expect(memoryAtEnd.privateBytes <= memoryAfterWarmUp.privateBytes + memoryGrowthAllowed,
           "private memory stays stable");
    expect(memoryAtEnd.imageBytes == memoryAfterWarmUp.imageBytes, "no image stays mapped");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
