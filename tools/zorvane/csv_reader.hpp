// Reads bars from CSV text laid out as trading platforms and data sources
// export it. The separator, whether a header row names the columns, the
// number style, the time column(s) and whether the bars run newest first
// are found from the text; the options override what is found.
#pragma once

#include <functional>
#include <istream>
#include <string>

#include "bar_order.hpp"
#include "bar_table.hpp"
#include "fresh_memory.hpp"
#include "input_error.hpp"
#include "read_options.hpp"

namespace zorvane_cli {

// Called every so many bars while reading, with the count so far.
using ReadProgress = std::function<void(std::size_t bars)>;

// Throws InputError naming the source, line, column and text of what it cannot read.
BarTable readBars(std::istream& in, const std::string& sourceName, const ReadOptions& options,
                  const ReadProgress& progress = {});
// The same, reading a file larger than blockBytes a block at a time where
// it can (readBars: 1 MiB blocks); the tests compare the two ways. With
// orderLater, whether the bars run newest first is left to
// findPendingOrder and settleOrder (the host finds it while it computes).
// With `ahead`, a file read a block at a time hands it the columns it
// reserves and their filling, and the bars it expects.
BarTable readBars(std::istream& in, const std::string& sourceName, const ReadOptions& options,
                  const ReadProgress& progress, std::size_t blockBytes, bool orderLater = false,
                  FreshMemoryAhead* ahead = nullptr);
BarTable readBarsFromText(std::string text, const std::string& sourceName, const ReadOptions& options,
                          const ReadProgress& progress = {}, bool orderLater = false);

// The order of bars read with orderLater (table.linesForOrder set): found
// without changing the table (InputError when the times run both ways),
// then the bars turned oldest first and its notes added.
OrderFinding findPendingOrder(const BarTable& table, const std::string& sourceName);
void settleOrder(BarTable& table, const OrderFinding& order, const std::string& sourceName);

}  // namespace zorvane_cli
