// The raw period search decided from exact running totals of the phase
// changes, for the streaming object's one-bar path. (The batch kernels
// search many bars at once on coarser totals: kernel_bodies.hpp.)
#pragma once

#include <cstdint>

#include "certification.hpp"
#include "working_series.hpp"

namespace zorvane::detail {

// The search decided with exact sums. Every phase change lies in [1, 60],
// so it is a whole multiple of 2^-52, and 41 of them scaled by 2^52 stay
// below 2^64: differences of running totals kept modulo 2^64 give such sums
// exactly. The rounded sums of the search differ from the exact ones by less
// than 41 x 2^-53 x 2460 < 2e-11, and the changes themselves may be off by
// kPhaseChangeBound each (certification.hpp), so when the exact sums on both
// sides of the crossing are further than the margin from 360 the rounded
// search on exact changes must stop at the same term; otherwise the bar runs
// that search itself. Nothing here waits on the previous bar's result, so
// bars overlap in the pipeline.
constexpr double kUnitsPerDegree = 4503599627370496.0;  // 2^52
constexpr std::uint64_t kFullTurnUnits = std::uint64_t{360} << 52;
constexpr std::uint64_t kMarginUnits = static_cast<std::uint64_t>(kSearchMarginDegrees * kUnitsPerDegree);
constexpr int kTerms = kSearchLimit + 1;

// The search for bar l from running totals of the changes in units, kept
// by bar number modulo 64: the number of terms recorded, 0 for none, or -1
// where the exact sums next to the crossing lie within the margin of 360.
inline double searchFromTotals(const std::uint64_t* totals, Bar l, int termsGuessed = 0) {
    auto total = [totals](Bar bar) { return totals[bar & 63]; };
    // Exact sum of the terms from bar l back to bar j + 1.
    auto sumAfter = [&total, l](Bar j) { return total(l) - total(j); };
    if (termsGuessed > 0) {
        // First the windows of about as many terms as guessed, all at once:
        // if the shortest does not pass 360 and the longest does, and none
        // lies within the margin, the crossing is among them.
        const int shortest = termsGuessed - 2 > 7 ? termsGuessed - 2 : 7;  // 6 terms never pass
        const int longest = shortest + 5 < kTerms ? shortest + 5 : kTerms;
        int passing = 0;
        bool near = false;
        for (int terms = shortest; terms <= longest; ++terms) {
            const std::uint64_t sum = sumAfter(l - terms);
            passing += sum > kFullTurnUnits;
            near |= sum - (kFullTurnUnits - kMarginUnits) <= 2 * kMarginUnits;
        }
        const bool inside = (passing <= longest - shortest || shortest == 7) && passing > 0;
        if (!near && inside) return static_cast<double>(longest - passing);
    }
    // How many of the windows ending at l-41 .. l-1 leave a sum above 360;
    // the sums shrink as the window does, so a binary search finds it.
    // Without branches: the outcome of each probe is as good as random. A
    // probe past the window reads some other slot of the ring and is ignored.
    int above = 0;
    for (int step = 32; step > 0; step /= 2) {
        const int probe = above + step;
        const bool passes = (probe <= kTerms) & (sumAfter(l - kTerms - 1 + probe) > kFullTurnUnits);
        above += step & -static_cast<int>(passes);
    }
    if (above == 0) return kFullTurnUnits - sumAfter(l - kTerms - 1) > kMarginUnits ? 0.0 : -1.0;
    const Bar j = l - kTerms - 1 + above;  // the sum from l back to j + 1 passes
    const std::uint64_t crossing = sumAfter(j);
    const std::uint64_t before = above == kTerms ? 0 : sumAfter(j + 1);
    const bool sure = crossing - kFullTurnUnits > kMarginUnits && kFullTurnUnits - before > kMarginUnits;
    return sure ? static_cast<double>(l - j - 1) : -1.0;
}

inline std::uint64_t changeUnits(double change) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(change * kUnitsPerDegree));
}

}  // namespace zorvane::detail
