#include "pe_version_info.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace testing_support {
namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | (at + i < b.size() ? b[at + i] : 0);
    return value;
}

std::size_t align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// A VS_VERSIONINFO node (wLength, wValueLength, wType, UTF-16 key, value,
// children), each part aligned to 4 bytes from the resource's start.
void readNode(const Bytes& b, std::size_t at, PeVersionInfo& info, int depth) {
    const std::size_t length = le(b, at, 2), valueLength = le(b, at + 2, 2), type = le(b, at + 4, 2);
    std::string key;
    std::size_t p = at + 6;
    for (; p + 1 < b.size() && le(b, p, 2) != 0; p += 2) key += static_cast<char>(le(b, p, 2));
    p = align4(p + 2);
    const std::size_t valueBytes = type == 1 ? 2 * valueLength : valueLength;
    if (depth == 0 && valueBytes >= 52 && le(b, p, 4) == 0xFEEF04BD) {
        info.found = true;
        for (int i = 0; i < 2; ++i) {
            info.fileVersion[2 * i] = static_cast<std::uint16_t>(le(b, p + 8 + 4 * i, 4) >> 16);
            info.fileVersion[2 * i + 1] = static_cast<std::uint16_t>(le(b, p + 8 + 4 * i, 4));
            info.productVersion[2 * i] = static_cast<std::uint16_t>(le(b, p + 16 + 4 * i, 4) >> 16);
            info.productVersion[2 * i + 1] = static_cast<std::uint16_t>(le(b, p + 16 + 4 * i, 4));
        }
        info.fileType = le(b, p + 36, 4);
    }
    if (depth == 3 && type == 1) {
        std::string text;
        for (std::size_t q = p; q + 1 < p + valueBytes && le(b, q, 2) != 0; q += 2) text += static_cast<char>(le(b, q, 2));
        info.strings[key] = text;
    }
    for (std::size_t child = align4(p + valueBytes); child + 6 <= at + length;) {
        const std::size_t childLength = le(b, child, 2);
        if (childLength == 0) break;
        readNode(b, child, info, depth + 1);
        child = align4(child + childLength);
    }
}

}  // namespace

PeVersionInfo readPeVersionInfo(const std::string& path) {
    PeVersionInfo info;
    std::ifstream in(path, std::ios::binary);
    const Bytes b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t pe = le(b, 0x3C, 4);
    if (b.size() < 64 || le(b, pe, 4) != 0x4550) return info;
    const std::size_t sections = le(b, pe + 6, 2), optional = pe + 24, optionalSize = le(b, pe + 20, 2);
    const bool pe32plus = le(b, optional, 2) == 0x20B;
    const std::size_t resourceRva = le(b, optional + (pe32plus ? 112 : 96) + 2 * 8, 4);
    auto offsetOf = [&](std::size_t rva) -> std::size_t {
        for (std::size_t s = 0; s < sections; ++s) {
            const std::size_t header = optional + optionalSize + 40 * s;
            const std::size_t start = le(b, header + 12, 4), size = le(b, header + 8, 4);
            if (rva >= start && rva < start + size) return rva - start + le(b, header + 20, 4);
        }
        return b.size();
    };
    // Resource tree: type RT_VERSION (16), then the first name, then the first language.
    const std::size_t root = offsetOf(resourceRva);
    std::size_t directory = root, entry = 0;
    for (int level = 0; level < 3; ++level) {
        const std::size_t entries = le(b, directory + 12, 2) + le(b, directory + 14, 2);
        std::size_t chosen = b.size();
        for (std::size_t e = 0; e < entries; ++e) {
            const std::size_t at = directory + 16 + 8 * e;
            if (level > 0 || le(b, at, 4) == 16) {
                chosen = at;
                break;
            }
        }
        if (chosen >= b.size()) return info;
        entry = le(b, chosen + 4, 4);
        if (level < 2 && !(entry & 0x80000000u)) return info;
        directory = root + (entry & 0x7FFFFFFFu);
    }
    const std::size_t data = offsetOf(le(b, root + entry, 4));
    if (data >= b.size()) return info;
    const Bytes resource(b.begin() + static_cast<long>(data), b.begin() + static_cast<long>(std::min(b.size(), data + le(b, root + entry + 4, 4))));
    readNode(resource, 0, info, 0);
    return info;
}

}  // namespace testing_support
