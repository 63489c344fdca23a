// Where the bars are in a file's text: the separator, the row they start
// on, the column names (from a header row, --columns, or recognised from
// the values of a file without one), and which columns hold the two prices
// and the time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "read_options.hpp"

namespace zorvane_cli {

struct BarLayout {
    char separator = ',';
    bool header = true;
    std::size_t dataOffset = 0;  // where the first bar's record begins
    long dataLine = 1;
    std::vector<std::string> names;  // one per field; "" where a file without a header leaves one unnamed
    std::size_t priceA = 0, priceB = 0;
    std::vector<std::size_t> time;  // one column, or a date and a time of day
    // Columns taken to be open and close in a file without a header row;
    // every bar must then fit them (low <= open, close <= high).
    std::optional<std::pair<std::size_t, std::size_t>> guessedOpenClose;
    std::vector<std::string> notes;
};

// `text` is UTF-8 (see asUtf8Text). Throws InputError.
BarLayout findLayout(std::string_view text, const std::string& source, const ReadOptions& options);

// Column names for a message: unprintable bytes shown as '?', long lists cut.
std::string listOfNames(const std::vector<std::string>& names);

}  // namespace zorvane_cli
