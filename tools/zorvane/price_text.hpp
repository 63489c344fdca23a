// Prices as data sources write them: a decimal point or comma, digits
// grouped in thousands ("51,994.63", "1.100,50", "16 769,36"), a leading
// sign or currency sign; and the placeholders they write for a missing one.
#pragma once

#include <cstddef>
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
    Result parse(std::string_view text, float& value);

    DecimalMark settledMark() const;
    bool needsSecondPass() const;

private:
    bool parsePlainDecimal(std::string_view text, float& value);
    DecimalMark markSoFar() const;

    char fieldSeparator_;
    DecimalMark settled_;
    std::size_t pointCells_ = 0, commaCells_ = 0;  // cells that showed their mark
    bool pointReadAsDecimal_ = false, pointReadAsGroup_ = false;
    bool commaReadAsDecimal_ = false, commaReadAsGroup_ = false;
};

// A number in any of the forms PriceParser reads.
bool isNumberText(std::string_view text);

std::string_view trimmedBlanks(std::string_view text);

}  // namespace zorvane_cli
