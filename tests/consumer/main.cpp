#include <cmath>
#include <cstdio>
#include <vector>

#include <zorvane/oscillator.hpp>

int main() {
    std::vector<float> high, low;
    for (int i = 0; i < 300; ++i) {
        high.push_back(101.0f + 3.0f * static_cast<float>(std::sin(i / 4.0)));
        low.push_back(high.back() - 2.0f);
    }
    const auto batch = zorvane::compute(high.data(), low.data(), high.size(), zorvane::Mode::Sine);
    zorvane::Oscillator oscillator;
    for (std::size_t i = 0; i < high.size(); ++i) {
        const float streamed = oscillator.push(high[i], low[i]).sine;
        if (!(streamed == batch[i] || (zorvane::isNoValue(streamed) && zorvane::isNoValue(batch[i])))) {
            std::printf("bar %zu differs\n", i);
            return 1;
        }
    }
    std::printf("consumer ok: %zu bars\n", batch.size());
    return 0;
}
