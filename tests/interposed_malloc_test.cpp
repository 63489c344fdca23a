// The built module with malloc interposed, as a host process might have it:
// each of the call's allocations refused in turn must leave the output
// untouched and every block obtained so far released, and the next call
// must work normally. A plain program (no test framework allocating
// alongside); prints "N passed, M failed".
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {

// While armed, requests are counted, the one numbered `refuse` fails, and
// blocks handed out are tracked until freed.
bool armed = false;
int requests = 0, refuse = -1;
void* live[64];
int liveCount = 0;

}  // namespace

extern "C" void* malloc(std::size_t bytes) {
    if (!armed) return __libc_malloc(bytes);
    if (requests++ == refuse) return nullptr;
    void* block = __libc_malloc(bytes);
    if (block && liveCount < 64) live[liveCount++] = block;
    return block;
}
extern "C" void free(void* block) {
    for (int i = 0; armed && i < liveCount; ++i)
        if (live[i] == block) live[i] = live[--liveCount];
    __libc_free(block);
}
extern "C" void* calloc(std::size_t n, std::size_t size) { return __libc_calloc(n, size); }
extern "C" void* realloc(void* block, std::size_t bytes) { return __libc_realloc(block, bytes); }

int main() {
    void* module = dlopen(ZORVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    using Entry = void (*)(const float*, const float*, std::int32_t, std::int32_t, float*);
    auto entry = module ? reinterpret_cast<Entry>(dlsym(module, "ZorvaneOscillator")) : nullptr;
    if (!entry) {
        std::printf("cannot load %s\n", ZORVANE_MODULE_PATH);
        return 2;
    }
    constexpr int kBars = 3000;
    static float a[kBars], b[kBars], expected[kBars], out[kBars];
    for (int i = 0; i < kBars; ++i) {
        a[i] = 100.0f + static_cast<float>(i % 23) * 0.5f;
        b[i] = a[i] - 1.0f;
    }
    entry(a, b, 3, kBars, expected);

    int passed = 0, failed = 0;
    auto expect = [&](bool ok, const char* what, int k) {
        ok ? ++passed : ++failed;
        if (!ok) std::printf("FAILED: %s (refusing request %d)\n", what, k);
    };
    for (int k = 0; k < 9; ++k) {
        for (float& v : out) v = -5.0f;
        requests = 0, refuse = k, liveCount = 0, armed = true;
        entry(a, b, 3, kBars, out);
        armed = false;
        bool untouched = true;
        for (float v : out) untouched = untouched && v == -5.0f;
        expect(untouched, "output untouched", k);
        expect(requests == k + 1, "no request after the refused one", k);
        expect(liveCount == 0, "every block obtained is released", k);
        entry(a, b, 3, kBars, out);
        expect(std::memcmp(out, expected, sizeof out) == 0, "the next call works normally", k);
    }
    requests = 0, refuse = -1, liveCount = 0, armed = true;
    entry(a, b, 1, kBars, out);
    armed = false;
    expect(requests == 9 && liveCount == 0, "nine requests, all released", 0);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
