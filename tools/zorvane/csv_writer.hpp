// Writes the bars and the chosen indicator columns as CSV.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "bar_table.hpp"
#include "indicator_columns.hpp"

namespace zorvane_cli {

// Shortest text that reads back as the same float ("nan", "inf" included).
void appendFloat(std::string& out, float value);

// Columns: time, the price column(s), then one per mode in `modes` (1 to 4).
// The no-value marker becomes an empty cell. Returns false if writing failed.
bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes);

}  // namespace zorvane_cli
