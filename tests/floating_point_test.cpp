// A host's floating-point settings must not change a single bit, must never
// trap, and must come back exactly as the host left them, sticky flags
// included: for the built module (loaded as a host loads it), the batch
// call and the streaming object. Each architecture's settings are in
// floating_point_settings_*.hpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cfenv>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <limits>
#include <vector>

#include "series_generator.hpp"
#if defined(__x86_64__) || defined(__i386__)
#include "floating_point_settings_x86.hpp"
#elif defined(__aarch64__)
#include "floating_point_settings_aarch64.hpp"
#endif
#include "zorvane/oscillator.hpp"

using testing_support::firstDifference;
using testing_support::PriceSeries;

namespace {

using Entry = void (*)(const float*, const float*, int32_t, int32_t, float*);

sigjmp_buf trapped;
void onTrap(int) { siglongjmp(trapped, 1); }

// Runs a host call; false if a floating-point trap fired inside.
template <class Call>
bool withoutTrap(Call call) {
    if (sigsetjmp(trapped, 1) != 0) return false;
    call();
    return true;
}

// Inputs whose bits depend on the environment: non-finite, huge and tiny
// prices, a step followed by a long flat stretch, where the filters decay
// through subnormal doubles, and a smoothed price that overshoots the float
// range at its store.
std::vector<PriceSeries> inputs() {
    std::vector<PriceSeries> all;
    for (int variant : {0, 1, 10, 36, 39, 44, 45}) all.push_back(testing_support::generateSeries(variant, 700));
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    PriceSeries special{"non-finite, huge and tiny", {}, {}};
    for (int i = 0; i < 300; ++i) {
        float a = 100.0f + static_cast<float>(i % 7), b = a;
        if (i == 20) a = nan;
        if (i == 31) b = inf;
        if (i == 33) a = -inf;
        if (i == 35) a = 3.0e38f, b = 3.3e38f;
        if (i == 37) a = b = 1e-45f;
        special.priceA.push_back(a);
        special.priceB.push_back(b);
    }
    all.push_back(special);
    PriceSeries flat{"step, flat, overshoot", {}, {}};
    for (int i = 0; i < 3000; ++i) {
        float a = i < 40 ? 100.0f + static_cast<float>(i % 7) : 250.0f;
        if (i >= 2900) a = i == 2940 ? 1e38f : i > 2940 ? std::numeric_limits<float>::max() : 3e38f;
        flat.priceA.push_back(a);
        flat.priceB.push_back(a);
    }
    all.push_back(flat);
    return all;
}

// Every output a series gives: the module's four modes, the batch call's
// four, and the streaming object's.
std::vector<std::vector<float>> everyOutput(Entry module, const PriceSeries& s) {
    const auto count = static_cast<std::int32_t>(s.priceA.size());
    std::vector<std::vector<float>> out;
    for (int mode = 1; mode <= 4; ++mode) {
        out.emplace_back(count);
        module(s.priceA.data(), s.priceB.data(), mode, count, out.back().data());
        out.push_back(zorvane::compute(s.priceA.data(), s.priceB.data(), s.priceA.size(),
                                       static_cast<zorvane::Mode>(mode)));
    }
    zorvane::Oscillator streaming;
    out.emplace_back();
    for (std::int32_t i = 0; i < count; ++i) {
        const zorvane::BarOutputs bar = streaming.push(s.priceA[i], s.priceB[i]);
        for (float v : {bar.cycleAverage, bar.smoothedPrice, bar.sine, bar.leadSine}) out.back().push_back(v);
    }
    return out;
}

TEST(FloatingPointEnvironment, HostSettingsChangeNoBitAndComeBackUntouched) {
    void* handle = dlopen(ZORVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto module = reinterpret_cast<Entry>(dlsym(handle, "ZorvaneOscillator"));
    ASSERT_NE(module, nullptr);

    const Environment base = current();
    const auto series = inputs();
    std::vector<std::vector<std::vector<float>>> expected;
    for (const auto& s : series) expected.push_back(everyOutput(module, s));

    struct sigaction action = {}, previous;
    action.sa_handler = onTrap;
    sigaction(SIGFPE, &action, &previous);
    for (const Setting& setting : kSettings) {
        int traps = 0, differingRuns = 0, changedEnvironments = 0;
        for (std::size_t k = 0; k < series.size(); ++k) {
            apply(setting, base);
            const Environment before = current();
            std::vector<std::vector<float>> got;
            const bool completed = withoutTrap([&] { got = everyOutput(module, series[k]); });
            const Environment after = current();
            apply(kSettings[0], base);
            traps += !completed;
            changedEnvironments += !(after == before);
            for (std::size_t run = 0; completed && run < got.size(); ++run)
                differingRuns += firstDifference(got[run], expected[k][run]) != -1;
        }
        EXPECT_TRUE(traps == 0 && differingRuns == 0 && changedEnvironments == 0)
            << setting.name << ": " << traps << " calls trapped, " << differingRuns << " outputs differ, "
            << changedEnvironments << " calls changed the caller's environment";
    }
    sigaction(SIGFPE, &previous, nullptr);
    dlclose(handle);
}

}  // namespace
