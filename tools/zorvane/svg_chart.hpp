// Draws the indicator as an SVG chart: the price with the two price-following
// lines above, the two oscillators between -1 and 1 below.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "bar_table.hpp"
#include "indicator_columns.hpp"

namespace zorvane_cli {

// Draws the last `lastBars` bars (all of them for 0), and says which in the
// title. Long series are thinned for drawing only: each pixel column keeps
// its first, lowest, highest and last point, so extremes stay visible.
// Returns false if writing failed.
bool writeChartSvg(std::ostream& out, const std::string& title, const BarTable& bars,
                   const IndicatorOutputs& outputs, std::size_t lastBars);

}  // namespace zorvane_cli
