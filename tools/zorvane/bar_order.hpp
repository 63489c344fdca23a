// Whether the bars of a file run oldest or newest first, from their time
// text. Files list bars one way throughout; which way is read from the
// times when they are dates or epoch numbers.
#pragma once

#include <string>
#include <vector>

#include "bar_table.hpp"

namespace zorvane_cli {

enum class OrderChoice { Auto, Ascending, Descending };

struct OrderFinding {
    bool newestFirst = false;
    std::vector<std::string> notes;  // repeated times, unreadable ones
};

// Times as read, one per bar in file order, and the file line of each.
// Throws InputError when the times do not run one way (bars out of order,
// or 01/02 dates that read month first and day first give opposite orders).
// Times that are not dates or epoch numbers leave the file order.
OrderFinding findOrder(const TimeColumn& times, const LineNumbers& lines,
                       const std::string& source);

}  // namespace zorvane_cli
