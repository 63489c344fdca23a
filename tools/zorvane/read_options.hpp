// What the user tells the reader; anything left unset is found from the file.
#pragma once

#include <optional>
#include <string>

#include "bar_order.hpp"

namespace zorvane_cli {

enum class GapChoice { Skip, Error };

struct ReadOptions {
    std::string priceA = "high", priceB = "low";
    std::optional<std::string> price;    // one column for both prices
    std::optional<std::string> time;     // one column, or "date,time": two joined by a space
    std::optional<std::string> columns;  // names for the columns in order, comma separated
    std::optional<char> separator;
    GapChoice gaps = GapChoice::Skip;    // rows without prices
    OrderChoice order = OrderChoice::Auto;
    std::optional<bool> header;  // whether the first row names the columns (not on the command line)
};

}  // namespace zorvane_cli
