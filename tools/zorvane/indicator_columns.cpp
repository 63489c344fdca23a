#include "indicator_columns.hpp"

namespace zorvane_cli {

std::optional<int> modeNamed(const std::string& name) {
    for (int m = 0; m < kModes; ++m)
        if (name == kModeNames[m]) return m + 1;
    return std::nullopt;
}

}  // namespace zorvane_cli
