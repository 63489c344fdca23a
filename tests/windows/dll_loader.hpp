// Loads "Zorvane Oscillator.dll" by name, as a Windows host does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using ZorvaneEntry = void(__cdecl*)(const float*, const float*, std::int32_t, std::int32_t, float*);

constexpr const char* kZorvaneDll = "Zorvane Oscillator.dll";

// The entry of a loaded DLL, or null.
inline ZorvaneEntry zorvaneEntryOf(HMODULE module) {
    return module ? reinterpret_cast<ZorvaneEntry>(
                        reinterpret_cast<void*>(GetProcAddress(module, "ZorvaneOscillator")))
                  : nullptr;
}

// By name from the program's folder, or from the given path.
inline ZorvaneEntry loadZorvaneDll(const char* path = kZorvaneDll) {
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        std::printf("cannot load %s: error %lu\n", path, GetLastError());
        std::exit(2);
    }
    const ZorvaneEntry entry = zorvaneEntryOf(module);
    if (!entry) {
        std::printf("%s has no ZorvaneOscillator: error %lu\n", path, GetLastError());
        std::exit(2);
    }
    return entry;
}
