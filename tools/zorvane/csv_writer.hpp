// Writes the bars and the chosen indicator columns as CSV.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "bar_table.hpp"
#include "indicator_columns.hpp"

namespace zorvane_cli {

// Shortest text that reads back as the same float ("nan", "inf" included).
void appendFloat(std::string& out, float value);

// Runs two tasks and returns when both are done: one after the other, or at
// once (runTogether in the platform layer). The bytes written are the same.
using RunTogether = std::function<void(const std::function<void()>& first, const std::function<void()>& second)>;
void runInTurn(const std::function<void()>& first, const std::function<void()>& second);

// What may run beside the writing, each task on its own thread: `fill`
// computes the outputs, telling the function it is given how many rows
// from the first are final as they become final (a row is written only once
// it is); `proceed` decides whether to write at all (finding the bars'
// order, say). What either throws comes out of writeIndicatorCsv, with
// nothing more written.
struct BeforeWriting {
    std::function<void(const std::function<void(std::size_t rows)>& final)> fill;
    std::function<bool()> proceed;
};

// About the bytes writeIndicatorCsv will write for these bars and modes,
// rather more than fewer: the time and price texts of a sample of rows,
// and 14 characters an indicator value.
std::uint64_t expectedCsvBytes(const BarTable& bars, const std::vector<int>& modes);

// Columns: time, the price column(s), then one per mode in `modes` (1 to 4).
// The no-value marker becomes an empty cell. Rows are formatted a chunk at
// a time by either task of `together` and written in order, once `before`
// allows. Returns false if writing failed; true, having written nothing,
// when `before` decided not to write.
bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes, const RunTogether& together = runInTurn,
                       const BeforeWriting& before = {});

}  // namespace zorvane_cli
