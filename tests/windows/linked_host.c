/* A host that links with the zip's import library, as a C program built
 * with MSVC or mingw-w64 does, rather than loading the DLL by hand. It uses
 * no C runtime (the MSVC build has none here): it prints the bits of each
 * mode's outputs through the system alone.
 *
 * Built from the unpacked zip by scripts/run-windows-tests with mingw-w64
 * against "Zorvane Oscillator.dll.a" and with clang and lld-link (MSVC's
 * object format and linker options) against "Zorvane Oscillator.lib". */
#include "zorvane/oscillator.h"
#include "linked_host_series.h"

__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* bytes, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned code);

/* What an MSVC-target compiler expects once floating point is used. */
int _fltused = 0;

static void put(const char* text, unsigned long size) {
    unsigned long written;
    WriteFile(GetStdHandle((unsigned long)-11), text, size, &written, 0);
}

void start(void) {
    float priceA[LINKED_HOST_BARS], priceB[LINKED_HOST_BARS], output[LINKED_HOST_BARS];
    static const char digits[] = "0123456789abcdef";
    char line[16 + 9 * LINKED_HOST_BARS];
    int mode, i, digit;
    linkedHostSeries(priceA, priceB);
    for (mode = 1; mode <= 4; ++mode) {
        unsigned long size = 0;
        ZorvaneOscillator(priceA, priceB, mode, LINKED_HOST_BARS, output);
        line[size++] = 'm';
        line[size++] = (char)('0' + mode);
        for (i = 0; i < LINKED_HOST_BARS; ++i) {
            union { float value; unsigned bits; } pun;
            pun.value = output[i];
            line[size++] = ' ';
            for (digit = 7; digit >= 0; --digit) line[size++] = digits[(pun.bits >> (4 * digit)) & 15];
        }
        line[size++] = '\n';
        put(line, size);
    }
    ExitProcess(0);
}
