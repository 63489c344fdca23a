// Copies of a few dozen bytes whose count varies: a call to memcpy for each
// costs more than the copy. Two fixed-size copies that overlap in the
// middle cover every count of a size class and touch no byte outside
// [to, to + count).
#pragma once

#include <cstddef>
#include <cstring>

namespace zorvane_cli {

inline void copyShort(char* to, const char* from, std::size_t count) {
    if (count >= 16 && count <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + count - 16, from + count - 16, 16);
    } else if (count >= 8 && count < 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else if (count >= 4 && count < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + count - 4, from + count - 4, 4);
    } else if (count < 4) {
        for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
    } else {
        std::memcpy(to, from, count);
    }
}

}  // namespace zorvane_cli
