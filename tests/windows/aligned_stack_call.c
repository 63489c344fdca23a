/* A host built by another compiler may call with a stack aligned to 4 bytes
 * only. Calls the DLL with the stack pointer deliberately off 16-byte
 * alignment and checks the result against a normal call. 32-bit only. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef void(__cdecl* Entry)(const float*, const float*, int32_t, int32_t, float*);

/* Pushes the five arguments from a stack pointer that is 4 mod 16. */
static void callMisaligned(Entry entry, const float* a, const float* b, int32_t mode, int32_t count, float* out) {
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "andl $-16, %%esp\n\t"
        "subl $8, %%esp\n\t"
        "pushl %5\n\t"
        "pushl %4\n\t"
        "pushl %3\n\t"
        "pushl %2\n\t"
        "pushl %1\n\t"
        "call *%0\n\t"
        "movl %%esi, %%esp\n\t"
        :
        : "r"(entry), "m"(a), "m"(b), "m"(mode), "m"(count), "m"(out)
        : "esi", "eax", "ecx", "edx", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5",
          "xmm6", "xmm7");
}

int main(void) {
    HMODULE module = LoadLibraryA("Zorvane Oscillator.dll");
    Entry entry = module ? (Entry)(void*)GetProcAddress(module, "ZorvaneOscillator") : NULL;
    if (!entry) {
        printf("cannot load the DLL\n");
        return 2;
    }
    static float a[400], b[400], normal[400], misaligned[400];
    for (int i = 0; i < 400; ++i) {
        a[i] = 100.0f + (float)(i % 19) * 0.37f;
        b[i] = a[i] - 1.5f;
    }
    int failed = 0;
    for (int mode = 1; mode <= 4; ++mode) {
        entry(a, b, mode, 400, normal);
        callMisaligned(entry, a, b, mode, 400, misaligned);
        if (memcmp(normal, misaligned, sizeof normal) != 0) ++failed;
    }
    printf("%d passed, %d failed\n", 4 - failed, failed);
    return failed == 0 ? 0 : 1;
}
