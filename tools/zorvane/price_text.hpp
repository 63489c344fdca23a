// Prices as data sources write them: a decimal point or comma, digits
// grouped in thousands ("51,994.63", "1.100,50", "16 769,36"), a leading
// sign or currency sign; and the placeholders they write for a missing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorvane_cli {

enum class DecimalMark { Unknown, Point, Comma };

// Empty, or a placeholder vendors write for "no price": null, NaN, N/A, -.
bool isGapText(std::string_view text);

// Reads the price cells of one file. A cell that shows its decimal mark
// ("1.5", "1,25", "1,234.5") is read as it shows; one that could be read
// either way ("1,234") follows the mark most of the file's cells show, or
// while none do the usual reading: a point is decimal, and a comma is
// decimal unless commas separate the fields. needsSecondPass() says when a
// cell was read before the file showed otherwise; the file is then read
// again with settledMark() for such cells.
class PriceParser {
public:
    explicit PriceParser(char fieldSeparator, DecimalMark eitherWayCells = DecimalMark::Unknown)
        : fieldSeparator_(fieldSeparator), settled_(eitherWayCells) {}

    enum class Result { Price, Gap, NotAPrice };
    // Inline: most cells of a large file take the plain path, a few dozen instructions.
    Result parse(std::string_view text, float& value) {
        return parsePlainDecimal(text, value) ? Result::Price : parseOtherForms(text, value);
    }

    DecimalMark settledMark() const;
    bool needsSecondPass() const;

private:
    bool parsePlainDecimal(std::string_view text, float& value);
    Result parseOtherForms(std::string_view text, float& value);
    DecimalMark markSoFar() const;

    char fieldSeparator_;
    DecimalMark settled_;
    std::size_t pointCells_ = 0, commaCells_ = 0;  // cells that showed their mark
    bool pointReadAsDecimal_ = false, pointReadAsGroup_ = false;
    bool commaReadAsDecimal_ = false, commaReadAsGroup_ = false;
};

// A number in any of the forms PriceParser reads.
bool isNumberText(std::string_view text);

inline std::string_view trimmedBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Most cells are "1234.56" or "-7" with few digits. Such a decimal of at
// most 2^24 in units of its last digit, over at most ten places, rounds to
// float in one division of two exact floats, as from_chars (and strtof)
// round it. A cell the general reading would weigh ("1.234", a point and
// three digits) or that has another form is left to it.
inline bool PriceParser::parsePlainDecimal(std::string_view text, float& value) {
    // Powers of ten that floats hold exactly.
    static constexpr float kExactTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    at += negative;
    // Digits, a point and digits, accumulated as units of the last digit
    // (wrapping harmlessly past eight digits, which are refused).
    std::uint32_t units = 0;
    const char* const first = at;
    for (; at != end && static_cast<unsigned>(*at - '0') < 10; ++at) units = units * 10 + static_cast<unsigned>(*at - '0');
    const auto before = static_cast<std::size_t>(at - first);
    std::size_t places = 0;
    const bool point = at != end && *at == '.';
    if (point) {
        const char* const fraction = ++at;
        for (; at != end && static_cast<unsigned>(*at - '0') < 10; ++at)
            units = units * 10 + static_cast<unsigned>(*at - '0');
        places = static_cast<std::size_t>(at - fraction);
    }
    const std::size_t digits = before + places;
    if (at != end || digits == 0 || digits > 8 || units > (std::uint32_t{1} << 24)) return false;
    if (point) {
        if (places == 3 && before >= 1 && before <= 3 && *first != '0') return false;  // "1.234"
        ++pointCells_;  // the cell shows a decimal point
    }
    const float magnitude = static_cast<float>(units) / kExactTens[places];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace zorvane_cli
