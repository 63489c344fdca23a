// Reads bars from CSV text with a header row: comma or semicolon separated
// (detected from the header), quoted fields, blank lines ignored.
#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>

#include "bar_table.hpp"

namespace zorvane_cli {

struct ColumnChoice {
    std::string priceA = "high", priceB = "low";
    std::optional<std::string> price;  // one column for both prices
    std::optional<std::string> time;   // default: the first column
};

// Bad input; the message names the source, line, column and offending text.
class InputError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Called every so many bars while reading, with the count so far.
using ReadProgress = std::function<void(std::size_t bars)>;

BarTable readBars(std::istream& in, const std::string& sourceName, const ColumnChoice& columns,
                  const ReadProgress& progress = {});

}  // namespace zorvane_cli
