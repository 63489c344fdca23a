#include "indicator_columns.hpp"

#include <cstdint>
#include <cstring>

namespace zorvane_cli {

std::optional<int> modeNamed(const std::string& name) {
    for (int m = 0; m < kModes; ++m)
        if (name == kModeNames[m]) return m + 1;
    return std::nullopt;
}

bool isNoValue(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0x7F7FC99Eu;
}

}  // namespace zorvane_cli
