// Loads "Zorvane Oscillator.dll" by name, as a Windows host does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using ZorvaneEntry = void(__cdecl*)(const float*, const float*, std::int32_t, std::int32_t, float*);

inline ZorvaneEntry loadZorvaneDll() {
    HMODULE module = LoadLibraryA("Zorvane Oscillator.dll");
    if (!module) {
        std::printf("cannot load Zorvane Oscillator.dll: error %lu\n", GetLastError());
        std::exit(2);
    }
    auto entry = reinterpret_cast<ZorvaneEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, "ZorvaneOscillator")));
    if (!entry) {
        std::printf("Zorvane Oscillator.dll has no ZorvaneOscillator: error %lu\n", GetLastError());
        std::exit(2);
    }
    return entry;
}
