// Sines and cosines of the correlation angles n * 6.283185307 / P, computed
// with the same library calls the correlation would make, once per period
// length that actually occurs. Owned by one call or one streaming object.
#pragma once

#include <cstdint>

#include "working_series.hpp"

namespace zorvane::detail {

class AngleTable {
public:
    struct Row {
        const double* sines;
        const double* cosines;
    };

    // Where the P angles of period P start: the rows of periods 1 to
    // kMaxPeriod follow each other; period 0 has none (offset 0, never read).
    static constexpr int rowOffset(int period) { return period < 1 ? 0 : (period - 1) * period / 2; }

    // Fills the row of `period` if it is not there yet.
    void prepare(int period) {
        if (period >= 1 && !(filledRows_ >> period & 1u)) fill(period);
    }
    // The same for every period whose bit is set.
    void prepareAll(std::uint64_t periods) {
        for (std::uint64_t missing = periods & ~filledRows_ & ~std::uint64_t{1}; missing; missing &= missing - 1)
            fill(__builtin_ctzll(missing));
    }
    Row row(int period) {
        prepare(period);
        return {sines_ + rowOffset(period), cosines_ + rowOffset(period)};
    }
    const double* sines() const { return sines_; }
    const double* cosines() const { return cosines_; }

private:
    static constexpr int kEntries = kMaxPeriod * (kMaxPeriod + 1) / 2;
    void fill(int period);

    std::uint64_t filledRows_ = 0;
    double sines_[kEntries];
    double cosines_[kEntries];
};

// The lag compensation (6.818 / u - 0.227) * 360 of the smoothed period u =
// quarters / 4 before truncation, computed as the formula writes it; 0 for
// quarters 0 (none applies).
constexpr double compensationOfQuarters(int quarters) {
    return quarters == 0 ? 0.0 : (6.818 / (quarters * 0.25) - 0.227) * 360.0;
}

// Every compensation. u is 0.75 p + 0.25 r for whole p <= 37 and r <= 40: a
// multiple of 0.25 below 38, so there are only 152 of them, all computed on
// first use (a few hundred cycles).
class CompensationTable {
public:
    static constexpr int kValues = 3 * kMaxPeriod + kSearchLimit + 1;  // up to (3 * 37 + 40) / 4

    // The compensation of u = quarters / 4.
    const double* byQuarters() {
        if (!filled_) {
            for (int quarters = 0; quarters < kValues; ++quarters)
                values_[quarters] = compensationOfQuarters(quarters);
            filled_ = true;
        }
        return values_;
    }

private:
    bool filled_ = false;
    double values_[kValues];
};

}  // namespace zorvane::detail
