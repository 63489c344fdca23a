#include "state_bytes.hpp"

#include <string>

#include "zorvane/oscillator.hpp"

namespace zorvane::detail {
namespace {

constexpr unsigned char kMagic[8] = {'Z', 'V', 'O', 'S', 'T', 'A', 'T', 'E'};
constexpr std::size_t kHeaderBytes = sizeof kMagic + 4 + 4;  // magic, version, payload bytes
constexpr std::size_t kChecksumBytes = 8;

void putLittleEndian(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::uint64_t getLittleEndian(const unsigned char* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{in[i]} << (8 * i);
    return value;
}

// FNV-1a, 64 bits: catches truncation, flipped bits and swapped words.
std::uint64_t checksum(const unsigned char* bytes, std::size_t size) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3u;
    return hash;
}

[[noreturn]] void refuse(const std::string& why) {
    throw StateError("zorvane::Oscillator::fromBytes: " + why);
}

}  // namespace

std::vector<unsigned char> encodeState(std::uint32_t version, const std::vector<std::uint64_t>& words) {
    std::vector<unsigned char> out(kMagic, kMagic + sizeof kMagic);
    putLittleEndian(out, version, 4);
    putLittleEndian(out, words.size() * 8, 4);
    for (std::uint64_t word : words) putLittleEndian(out, word, 8);
    putLittleEndian(out, checksum(out.data(), out.size()), 8);
    return out;
}

std::vector<std::uint64_t> decodeState(const unsigned char* bytes, std::size_t size, std::uint32_t version,
                                       std::size_t words) {
    if (!bytes || size < kHeaderBytes || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        refuse("not a saved oscillator state");
    const std::uint64_t payloadBytes = getLittleEndian(bytes + sizeof kMagic + 4, 4);
    if (size != kHeaderBytes + payloadBytes + kChecksumBytes)
        refuse("expected " + std::to_string(kHeaderBytes + payloadBytes + kChecksumBytes) + " bytes, got " +
               std::to_string(size) + " (truncated or extended)");
    const std::size_t checked = size - kChecksumBytes;
    if (getLittleEndian(bytes + checked, 8) != checksum(bytes, checked))
        refuse("checksum mismatch (damaged)");
    const std::uint64_t found = getLittleEndian(bytes + sizeof kMagic, 4);
    if (found != version)
        refuse("format version " + std::to_string(found) + ", this library reads version " +
               std::to_string(version));
    if (payloadBytes != words * 8)
        refuse("payload of " + std::to_string(payloadBytes) + " bytes, version " + std::to_string(version) +
               " has " + std::to_string(words * 8));
    std::vector<std::uint64_t> payload(words);
    for (std::size_t i = 0; i < words; ++i) payload[i] = getLittleEndian(bytes + kHeaderBytes + 8 * i, 8);
    return payload;
}

}  // namespace zorvane::detail
