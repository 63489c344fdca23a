// Bars read from a CSV file, oldest first: the time text as it stood, and
// the two prices.
#pragma once

#include <string>
#include <vector>

namespace zorvane_cli {

struct BarTable {
    std::string timeName, priceAName, priceBName;
    bool singlePrice = false;  // one column serves as both prices
    char separator = ',';
    std::vector<std::string> time;
    std::vector<float> priceA, priceB;
    std::vector<std::string> notes;  // what reading found worth telling: gaps skipped, order turned

    std::size_t size() const { return priceA.size(); }
};

}  // namespace zorvane_cli
