// Which of sixteen bytes equal either of two bytes, as the bits of a mask
// (bit i for byte i): one vector compare where every build of the
// architecture has one (SSE2 on x86), else eight bytes a word at a time.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace zorvane_cli {

#if defined(__SSE2__) || defined(_M_X64)

inline std::uint32_t bytesEqualEither(const char* at, char a, char b) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i either = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(a)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(either));
}

#else

namespace byte_marks_detail {

constexpr std::uint64_t kLow = 0x0101010101010101u, kHigh = 0x8080808080808080u;

// The high bit of each byte of `word` equal to `byte`, exactly: no carry crosses bytes.
inline std::uint64_t equalBytes(std::uint64_t word, char byte) {
    const std::uint64_t x = word ^ (kLow * static_cast<unsigned char>(byte));
    return ~(((x & ~kHigh) + ~kHigh) | x) & kHigh;
}

// Eight bytes' marks, first byte lowest.
inline std::uint32_t eightMarks(const char* at, char a, char b) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    const std::uint64_t high = equalBytes(word, a) | equalBytes(word, b);
    return static_cast<std::uint32_t>(((high >> 7) * 0x0102040810204080u) >> 56);  // gathers the eight bits
}

}  // namespace byte_marks_detail

inline std::uint32_t bytesEqualEither(const char* at, char a, char b) {
    return byte_marks_detail::eightMarks(at, a, b) | byte_marks_detail::eightMarks(at + 8, a, b) << 8;
}

#endif

}  // namespace zorvane_cli
