// The byte form of a saved streaming state: a magic tag, the format version,
// the payload size, the payload as little-endian 64-bit words, and a
// checksum over everything before it. Knows nothing of what the words mean.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zorvane::detail {

inline std::uint64_t toWord(double value) {
    std::uint64_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}
inline std::uint64_t toWord(std::int64_t value) { return static_cast<std::uint64_t>(value); }
inline std::uint64_t toWord(std::uint64_t value) { return value; }
inline void fromWord(std::uint64_t word, double& value) { std::memcpy(&value, &word, sizeof value); }
inline void fromWord(std::uint64_t word, std::int64_t& value) { value = static_cast<std::int64_t>(word); }
inline void fromWord(std::uint64_t word, std::uint64_t& value) { value = word; }

std::vector<unsigned char> encodeState(std::uint32_t version, const std::vector<std::uint64_t>& words);

// The payload of bytes made by encodeState with this version and this many
// words; throws StateError naming what is wrong otherwise.
std::vector<std::uint64_t> decodeState(const unsigned char* bytes, std::size_t size, std::uint32_t version,
                                       std::size_t words);

}  // namespace zorvane::detail
