// Writes the indicator as one self-contained HTML page: a price pane and an
// oscillator pane on one time axis, with zoom, pan and every series' value
// under the cursor. The bars are embedded (prices and outputs as the floats
// the module read and wrote, base64), uPlot is inlined, and the page makes
// no network request.
#pragma once

#include <ostream>
#include <string>

#include "bar_table.hpp"
#include "indicator_columns.hpp"

namespace zorvane_cli {

// The page opens on the last kReadableBars bars. Returns false if writing failed.
bool writeHtmlReport(std::ostream& out, const std::string& title, const BarTable& bars,
                     const IndicatorOutputs& outputs);

}  // namespace zorvane_cli
