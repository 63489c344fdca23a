// The four indicator outputs of a run, by mode, and their column names.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "large_pages.hpp"
#include "zorvane/oscillator.hpp"

namespace zorvane_cli {

constexpr int kModes = 4;
constexpr std::array<const char*, kModes> kModeNames = {"cycle-average", "smoothed-price", "sine",
                                                         "lead-sine"};

// Mode number (1 to 4) for a column name, if it is one.
std::optional<int> modeNamed(const std::string& name);

// One output per bar for each mode, as the module wrote it.
using IndicatorOutputs = std::array<FloatColumn, kModes>;

// Bars charted by default, counted back from the last: several cycles, few
// enough that the sine and lead-sine crossings can be read.
constexpr std::size_t kReadableBars = 300;

// The no-value marker the module writes during the warm-up.
using zorvane::isNoValue;

}  // namespace zorvane_cli
