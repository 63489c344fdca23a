// The built module as a host sees it: loaded by file name through the
// dynamic loader, with its one symbol resolved and called.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "reference/literal_oscillator.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

namespace {

using Entry = void (*)(const float*, const float*, int32_t, int32_t, float*);

TEST(ModuleLoading, LoadsByFileNameAndComputes) {
    void* module = dlopen(ZORVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<Entry>(dlsym(module, "ZorvaneOscillator"));
    ASSERT_NE(entry, nullptr) << dlerror();
    // Internal names stay hidden.
    EXPECT_EQ(dlsym(module, "_ZN7zorvane6detail13runOscillatorEPKfS2_ilPfRKNS0_15SeriesAllocatorE"),
              nullptr);

    const auto s = testing_support::generateSeries(7);
    const auto count = static_cast<int32_t>(s.priceA.size());
    for (int mode = 1; mode <= 4; ++mode) {
        std::vector<float> mine(count), theirs(count);
        entry(s.priceA.data(), s.priceB.data(), mode, count, mine.data());
        reference::literalOscillator(s.priceA.data(), s.priceB.data(), mode, count, theirs.data());
        EXPECT_EQ(testing_support::firstDifference(mine, theirs), -1) << "mode " << mode;
    }
    EXPECT_EQ(dlclose(module), 0);
}

}  // namespace
