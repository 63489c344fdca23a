// The decimal comes from Raffaello Giulietti's Schubfach method ("The
// Schubfach way to render doubles", 2020): the value and the two ends of its
// rounding interval scaled by a power of ten in one 64-bit multiplication
// each, rounded to odd, from which the shortest decimal in the interval (the
// closest of them, ties to an even digit) is read off. Zeros, subnormals,
// infinities and NaN, rare in prices and indicator values, are left to
// std::to_chars; the choice between fixed and exponent form is the one
// to_chars makes: whichever is shorter, fixed on a tie.
#include "float_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>


namespace zorvane_cli {
namespace {

// floor(e log10(2)), floor(log10(3/4 2^e)) and floor(e log2(10)), exact
// for the exponents of floats.
int floorLog10Pow2(int e) { return static_cast<int>((std::int64_t{e} * 661971961083) >> 41); }
int floorLog10ThreeQuartersPow2(int e) { return static_cast<int>((std::int64_t{e} * 661971961083 - 274743187321) >> 41); }
int floorLog2Pow10(int e) { return static_cast<int>((std::int64_t{e} * 913124641741) >> 38); }

// For k from kMinK on: the upper 63 bits of floor(10^-k 2^-r) + 1, where r
// makes that lie in [2^125, 2^126) (tools/zorvane/float_text_table.py).
constexpr int kMinK = -46;
constexpr std::uint64_t kPowers[] = {
    0x701A97B150CF1837, 0x59AEDFC10D7279C5, 0x47BF19673DF52E37,
    0x72CB5BD86321E38C, 0x5BD5E313828182D6, 0x4977E8DC68679BDF,
    0x758CA7C70D7292FE, 0x5E0A1FD271287598, 0x4B3B4CA85A86C47A,
    0x785EE10D5DA46D90, 0x604BE73DE4838AD9, 0x4D0985CB1D3608AE,
    0x7B426FAB61F00DE3, 0x629B8C891B267182, 0x4EE2D6D415B85ACE,
    0x7E37BE2022C0914B, 0x64F964E68233A76F, 0x50C783EB9B5C85F2,
    0x409F9CBC7C4A04C2, 0x6765C793FA10079D, 0x52B7D2DCC80CD2E4,
    0x422CA8B0A00A4250, 0x69E10DE76676D080, 0x54B40B1F852BDA00,
    0x43C33C1937564800, 0x6C6B935B8BBD4000, 0x56BC75E2D6310000,
    0x4563918244F40000, 0x6F05B59D3B200000, 0x58D15E1762800000,
    0x470DE4DF82000000, 0x71AFD498D0000000, 0x5AF3107A40000000,
    0x48C2739500000000, 0x746A528800000000, 0x5D21DBA000000000,
    0x4A817C8000000000, 0x7735940000000000, 0x5F5E100000000000,
    0x4C4B400000000000, 0x7A12000000000000, 0x61A8000000000000,
    0x4E20000000000000, 0x7D00000000000000, 0x6400000000000000,
    0x5000000000000000, 0x4000000000000000, 0x6666666666666666,
    0x51EB851EB851EB85, 0x4189374BC6A7EF9D, 0x68DB8BAC710CB295,
    0x53E2D6238DA3C211, 0x431BDE82D7B634DA, 0x6B5FCA6AF2BD215E,
    0x55E63B88C230E77E, 0x44B82FA09B5A52CB, 0x6DF37F675EF6EADF,
    0x57F5FF85E592557F, 0x465E6604B7A84465, 0x709709A125DA0709,
    0x5A126E1A84AE6C07, 0x480EBE7B9D58566C, 0x734ACA5F6226F0AD,
    0x5C3BD5191B525A24, 0x49C97747490EAE83, 0x760F253EDB4AB0D2,
    0x5E72843249088D75, 0x4B8ED0283A6D3DF7, 0x78E480405D7B9658,
    0x60B6CD004AC94513, 0x4D5F0A66A23A9DA9, 0x7BCB43D769F762A8,
    0x63090312BB2C4EED, 0x4F3A68DBC8F03F24, 0x7EC3DAF941806506,
    0x65697BFA9ACD1D9F, 0x51212FFBAF0A7E18, 0x40E7599625A1FE7A,
};

std::uint64_t multiplyHigh(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
#else  // 32-bit targets
    const std::uint64_t aLow = a & 0xFFFFFFFF, aHigh = a >> 32, bLow = b & 0xFFFFFFFF, bHigh = b >> 32;
    const std::uint64_t low = aLow * bLow, middle1 = aHigh * bLow, middle2 = aLow * bHigh;
    const std::uint64_t carry = ((low >> 32) + (middle1 & 0xFFFFFFFF) + (middle2 & 0xFFFFFFFF)) >> 32;
    return aHigh * bHigh + (middle1 >> 32) + (middle2 >> 32) + carry;
#endif
}

// g times cp, scaled down and rounded to odd.
std::uint64_t roundToOdd(std::uint64_t g, std::uint64_t cp) {
    const std::uint64_t product = multiplyHigh(g, cp);
    return (product >> 31) | (((product & 0xFFFFFFFF) + 0xFFFFFFFF) >> 32);
}

constexpr std::uint32_t kWholePowers10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

struct Decimal {
    std::uint32_t digits;  // without trailing zeros
    int exponent;          // value = digits 10^exponent
};

Decimal withoutTrailingZeros(std::uint32_t digits, int exponent) {
    while (digits % 10 == 0) {
        digits /= 10;
        ++exponent;
    }
    return {digits, exponent};
}

// The shortest decimal of c 2^q, c a normal float's significand.
Decimal shortestDecimal(int q, std::uint32_t c) {
    constexpr std::uint32_t kHiddenBit = std::uint32_t{1} << 23;
    // A whole number below 2^24 is its own shortest decimal.
    if (q < 0 && q > -24) {
        const std::uint32_t whole = c >> -q;
        if (whole << -q == c) return withoutTrailingZeros(whole, 0);
    }
    const std::uint64_t out = c & 1;
    const std::uint64_t cb = std::uint64_t{c} << 2, cbr = cb + 2;
    std::uint64_t cbl;
    int k;
    if (c != kHiddenBit || q == -149) {
        cbl = cb - 2;
        k = floorLog10Pow2(q);
    } else {  // a power of two: the interval below is half as wide
        cbl = cb - 1;
        k = floorLog10ThreeQuartersPow2(q);
    }
    const int h = q + floorLog2Pow10(-k) + 33;
    const std::uint64_t g = kPowers[k - kMinK] + 1;
    const std::uint64_t vb = roundToOdd(g, cb << h), vbl = roundToOdd(g, cbl << h), vbr = roundToOdd(g, cbr << h);
    // The closest decimal of full length (s or s + 1), or the one a digit
    // shorter when exactly one such is in the interval. Which it is is a
    // coin toss for indicator values: chosen by arithmetic on the
    // comparisons, not by branches (which compilers keep for ?: here); 5%
    // a float.
    const std::uint64_t s = vb >> 2, t = s + 1;
    const std::uint64_t sp10 = s / 10 * 10, tp10 = sp10 + 10;
    const unsigned upIn = vbl + out <= sp10 << 2, wpIn = (tp10 << 2) + out <= vbr;
    const unsigned uIn = vbl + out <= s << 2, wIn = (t << 2) + out <= vbr;
    const auto twice = static_cast<std::int64_t>(vb) - static_cast<std::int64_t>((s + t) << 1);
    const unsigned closerBelow =
        static_cast<unsigned>(twice < 0) | (static_cast<unsigned>(twice == 0) & ~static_cast<unsigned>(s) & 1);
    const unsigned oneIn = uIn ^ wIn;
    const std::uint64_t full = t - ((oneIn & uIn) | (~oneIn & closerBelow));
    const std::uint64_t shorter = tp10 - 10 * std::uint64_t{upIn};
    const std::uint64_t useShorter = 0 - std::uint64_t{static_cast<unsigned>(s >= 100) & (upIn ^ wpIn)};
    return withoutTrailingZeros(static_cast<std::uint32_t>(full + (useShorter & (shorter - full))), k);
}

// 2^e for the exponents of normal floats.
double powerOfTwo(int e) {
    const std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A price as files write it, 1000.25 or 0.0123: a float that a decimal of
// at most six significant digits rounds to has that decimal as its shortest
// text (two such decimals lie further apart than a float's rounding interval
// is wide), found by one rounding and checked with exact products in double
// (24-bit significands times powers of five below 2^24). False for floats
// outside [1e-5, 1e11) and for those no such decimal rounds to.
bool sixDigitDecimal(float magnitude, int q, std::uint32_t c, Decimal& decimal) {
    static constexpr double kPowers10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
    // floor(log10 of the value), from its binary exponent and one comparison.
    const int binary = q + 23;
    int tens = floorLog10Pow2(binary);
    if (tens < -5 || tens > 9) return false;
    const double value = magnitude;
    if (value >= (tens + 1 >= 0 ? kPowers10[tens + 1] : 1 / kPowers10[-(tens + 1)])) ++tens;
    // The value scaled to six digits before the point, rounded to a whole number.
    const int shift = 5 - tens;  // digits = value 10^shift
    const double scaled = shift >= 0 ? value * kPowers10[shift] : value / kPowers10[-shift];
    const auto digits = static_cast<std::uint32_t>(scaled + 0.5);
    if (digits < 100000 || digits > 1000000) return false;  // six digits, or the next power of ten
    // Whether the decimal lies in the rounding interval; a decimal on an end
    // reads as the float whose significand is even.
    const double ulp = powerOfTwo(q);
    const double below = value - (c == (std::uint32_t{1} << 23) ? ulp / 4 : ulp / 2), above = value + ulp / 2;
    double low, high, point;
    if (shift >= 0) {
        low = below * kPowers10[shift];
        high = above * kPowers10[shift];
        point = digits;
    } else {
        low = below;
        high = above;
        point = static_cast<double>(digits) * kPowers10[-shift];
    }
    const bool inside = (low < point && point < high) || ((point == low || point == high) && (c & 1) == 0);
    if (!inside) return false;
    decimal = withoutTrailingZeros(digits, -shift);
    return true;
}

// Digits of a value from 1 on: from its bit length, and one comparison.
int digitCount(std::uint32_t value) {
    const int bits = 32 - __builtin_clz(value);
    const int tens = (bits * 1233) >> 12;  // floor(bits log10 2), at most one short
    return tens + 1 - (value < kWholePowers10[tens]);
}

// The digits of `value`, `count` of them, at `at`, two at a time.
template <class Unsigned>
void writeDigits(char* at, Unsigned value, int count) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* end = at + count;
    while (end - at >= 2) {
        const auto pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        end -= 2;
        end[0] = kPairs[pair];
        end[1] = kPairs[pair + 1];
    }
    if (end > at) at[0] = static_cast<char>('0' + value);
}

}  // namespace

namespace {

char* writeDecimal(char* at, float value, bool shortDecimalLikely) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 23 & 0xFF);
    if (biased == 0 || biased == 0xFF) return std::to_chars(at, at + 16, value).ptr;
    *at = '-';  // kept for negative values only: an oscillator's sign is a coin toss too
    at += bits >> 31;
    const int q = biased - 150;
    const std::uint32_t c = (bits & 0x7FFFFF) | 0x800000;
    Decimal decimal;
    if (!shortDecimalLikely || !sixDigitDecimal(std::fabs(value), q, c, decimal)) decimal = shortestDecimal(q, c);
    const int n = digitCount(decimal.digits), e = decimal.exponent;
    // Lengths without the sign: d.ddde+XX (a float's exponent has two
    // digits), and dddddd, dd.d or 0.000ddd.
    const int scientificLength = n + (n > 1) + 4;
    const int fixedLength = e >= 0 ? n + e : n + e > 0 ? n + 1 : 2 - e;
    if (fixedLength <= scientificLength) {
        if (e > 0) {  // a whole number: its digits as they are, the closest text of that length
            writeDigits(at, q >= 0 ? std::uint64_t{c} << q : c >> -q, fixedLength);
        } else if (e == 0) {
            writeDigits(at, decimal.digits, n);
        } else if (n + e > 0) {
            // The whole part and the fraction each written in place: digits
            // written to a scratch buffer and read back as wider words (to
            // put the point in) wait for the small stores to reach memory,
            // longer than the division takes.
            const std::uint32_t scale = kWholePowers10[-e];
            const std::uint32_t whole = decimal.digits / scale;
            writeDigits(at, whole, n + e);
            at[n + e] = '.';
            writeDigits(at + n + e + 1, decimal.digits - whole * scale, -e);
        } else {  // a few characters: plain stores beat a call to memset
            at[0] = '0';
            at[1] = '.';
            for (int i = 0; i < -(n + e); ++i) at[2 + i] = '0';
            writeDigits(at + 2 - (n + e), decimal.digits, n);
        }
        return at + fixedLength;
    }
    writeDigits(at + 1, decimal.digits, n);
    at[0] = at[1];
    char* end = at + 1;
    if (n > 1) {
        at[1] = '.';
        end = at + n + 1;
    }
    const int exponent = e + n - 1;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    end[0] = 'e';
    end[1] = exponent < 0 ? '-' : '+';
    end[2] = static_cast<char>('0' + magnitude / 10);
    end[3] = static_cast<char>('0' + magnitude % 10);
    return end + 4;
}

}  // namespace

char* writeShortestFloat(char* at, float value) { return writeDecimal(at, value, false); }
char* writeShortestPrice(char* at, float value) { return writeDecimal(at, value, true); }

}  // namespace zorvane_cli
