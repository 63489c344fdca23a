// The streaming object's one-bar path against the stages: from the same
// history both must leave the same words (angles, certainty bits and totals
// included) and give the same outputs, bar for bar, for every kernel set
// the streaming object may run, on every generated series and on cycles
// whose phase changes add up to a full turn give or take rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "cycle_measurement.hpp"
#include "kernels.hpp"
#include "one_bar_path.hpp"
#include "series_generator.hpp"
#include "stream_history.hpp"

using testing_support::generateSeries;
using testing_support::PriceSeries;
namespace detail = zorvane::detail;

namespace {

PriceSeries cycleOf(int length, int count) {
    PriceSeries s{"cycle of " + std::to_string(length), {}, {}};
    for (int l = 0; l < count; ++l) {
        const double price = 100 + 5 * std::sin(2 * M_PI * l / length + 0.3);
        s.priceA.push_back(static_cast<float>(price + 0.5));
        s.priceB.push_back(static_cast<float>(price - 0.5));
    }
    return s;
}

// The same bits, but that a NaN may differ from another (see below).
template <class T>
bool same(T x, T y) {
    return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
}

// The same words, but that a NaN may differ from another in sign and
// payload (which of two NaN operands an operation passes on depends on the
// operand order the compiler picks).
bool sameHistory(const detail::StreamHistory& a, const detail::StreamHistory& b) {
    for (int ring = 0; ring < detail::StreamHistory::kSeries; ++ring)
        for (int slot = 0; slot < detail::kRingBars; ++slot) {
            if (!same(a.rings[ring][slot], b.rings[ring][slot])) return false;
        }
    return a.nextBar == b.nextBar && std::memcmp(a.certainty, b.certainty, sizeof a.certainty) == 0 &&
           std::memcmp(a.changeTotals, b.changeTotals, sizeof a.changeTotals) == 0;
}

// How many bars the one-bar path took; fails at the first difference.
long compareWithStages(const PriceSeries& s, const detail::Kernels& kernels) {
    detail::StreamHistory fast, staged;
    detail::UndoJournal fastJournal, stagedJournal;
    detail::StageContext fastContext{kernels}, stagedContext{kernels};
    detail::OneBarPath path{kernels};
    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
        const zorvane::BarOutputs got = path.push(fast, fastJournal, fastContext, s.priceA[i], s.priceB[i]);
        const double mean = detail::meanPrice(s.priceA[i], s.priceB[i]);
        const zorvane::BarOutputs expected = detail::pushThroughStages(staged, stagedJournal, stagedContext, mean);
        const std::string where = s.name + ", " + kernels.name + ", bar " + std::to_string(i);
        EXPECT_TRUE(same(got.cycleAverage, expected.cycleAverage)) << where;
        EXPECT_TRUE(same(got.smoothedPrice, expected.smoothedPrice)) << where;
        EXPECT_TRUE(same(got.sine, expected.sine)) << where;
        EXPECT_TRUE(same(got.leadSine, expected.leadSine)) << where;
        EXPECT_TRUE(sameHistory(fast, staged)) << where;
        if (::testing::Test::HasFailure()) break;
    }
    return static_cast<long>(s.priceA.size()) - path.stagedBars();
}

TEST(OneBarPath, LeavesWhatTheStagesLeave) {
    const detail::Kernels* kernelSets[] = {&detail::baselineKernels(), &detail::kernelsForOneBar()};
    for (const detail::Kernels* kernels : kernelSets) {
        long bars = 0, taken = 0;
        for (int variant = 0; variant < testing_support::seriesVariantCount(); ++variant) {
            const PriceSeries s = generateSeries(variant);
            bars += static_cast<long>(s.priceA.size());
            taken += compareWithStages(s, *kernels);
            ASSERT_FALSE(HasFailure());
        }
        for (int length : {12, 20, 36}) {
            taken += compareWithStages(cycleOf(length, 3000), *kernels);
            bars += 3000;
            ASSERT_FALSE(HasFailure());
        }
        // The path must carry most bars, or it proves little.
        EXPECT_GT(taken, bars / 2) << kernels->name;
    }
}

}  // namespace
