#include "series_generator.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace testing_support {
namespace {

constexpr int kShapes = 12;

std::vector<double> shapeOf(int shape, int count, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<double> v(count);
    const double period = 3.0 + (rng() % 700) / 10.0;  // 3 to 73 bars
    const double phase0 = unit(rng) * M_PI;
    double level = 100.0;
    for (int i = 0; i < count; ++i) {
        const double t = i;
        switch (shape) {
            case 0: level += unit(rng); v[i] = level; break;                        // random walk
            case 1: v[i] = 100.0 + 5.0 * std::sin(2 * M_PI * t / period + phase0); break;  // pure cycle
            case 2: v[i] = 100.0 + 3.0 * std::sin(2 * M_PI * t / period) +
                           2.0 * std::sin(2 * M_PI * t / (period * 0.37 + 4)) + 0.3 * unit(rng); break;
            case 3: v[i] = 50.0 + ((i % 40) == 17 ? 30.0 : 0.0) + 0.1 * unit(rng); break;  // spikes
            case 4: v[i] = (i / 25) % 2 ? 120.0 : 80.0; break;                        // steps
            case 5: v[i] = 100.0 + ((i % 8) < 4 ? i % 4 : 4 - i % 4); break;          // zigzag
            case 6: v[i] = 42.0; break;                                                // constant
            case 7: v[i] = 1e37 * (1.5 + std::sin(2 * M_PI * t / period)); break;      // near float max
            case 8: v[i] = 1e-40 * (1.5 + std::sin(2 * M_PI * t / period)); break;     // denormal
            case 9: v[i] = 1e-3 * std::sin(2 * M_PI * t / period); break;             // straddles zero
            case 10: v[i] = 100.0 + 5.0 * std::sin(2 * M_PI * t / (20 + 15 * std::sin(t / 90))); break;
            default: level += unit(rng) * 0.01; v[i] = level + ((i % 3) ? 1.0 : -2.0); break;  // 3-bar wave
        }
    }
    return v;
}

// Every fourth series of a shape carries a few non-finite prices.
void sprinkleNonFinite(std::vector<float>& a, std::vector<float>& b, std::mt19937_64& rng) {
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::max()};
    const int hits = 1 + static_cast<int>(rng() % 3);
    for (int h = 0; h < hits; ++h) {
        const std::size_t bar = rng() % a.size();
        (rng() % 2 ? a : b)[bar] = specials[rng() % 4];
    }
}

}  // namespace

int seriesVariantCount() { return kShapes * 4; }

PriceSeries generateSeries(int variant, int count) {
    std::mt19937_64 rng(0x5eed0000u + static_cast<unsigned>(variant));
    const int shape = variant % kShapes;
    const int drawnCount = 6 + static_cast<int>(rng() % 600);
    if (count == 0) count = drawnCount;
    const std::vector<double> mid = shapeOf(shape, count, rng);
    PriceSeries s;
    s.name = "shape" + std::to_string(shape) + "-variant" + std::to_string(variant);
    for (double m : mid) {
        const double spread = std::fabs(m) * 0.002 * (1 + static_cast<double>(rng() % 5));
        s.priceA.push_back(static_cast<float>(m + spread));
        s.priceB.push_back(static_cast<float>(m - spread));
    }
    if ((variant / kShapes) % 4 == 3) sprinkleNonFinite(s.priceA, s.priceB, rng);
    return s;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) && std::isnan(b[i])) continue;
        if (bitsOf(a[i]) != bitsOf(b[i])) return static_cast<long>(i);
    }
    return -1;
}

}  // namespace testing_support
