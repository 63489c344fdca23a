#include "price_text.hpp"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace zorvane_cli {
namespace {

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Removes `prefix` from the front of `text` if it is there.
bool consume(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}
bool consumeBack(std::string_view& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix) return false;
    text.remove_suffix(suffix.size());
    return true;
}

constexpr std::array<std::string_view, 6> kCurrencySigns = {"$", "\u20AC", "\u00A3", "\u00A5", "\u20BD", "\u20B9"};

// Returns whether there was one.
bool dropCurrencySign(std::string_view& text, bool atFront) {
    if (text.empty() || isDigit(atFront ? text.front() : text.back())) return false;
    for (std::string_view sign : kCurrencySigns) {
        if (atFront ? consume(text, sign) : consumeBack(text, sign)) {
            text = trimmedBlanks(text);
            return true;
        }
    }
    return false;
}

// Digit-group separators other than a point or comma: spaces and apostrophes.
constexpr std::array<std::string_view, 4> kWideGroupSpaces = {"\u00A0", "\u202F", "\u2009", "\u2019"};

std::size_t groupSpaceLength(std::string_view text) {
    if (text[0] == ' ' || text[0] == '\'') return 1;
    if (static_cast<unsigned char>(text[0]) < 0x80) return 0;
    for (std::string_view space : kWideGroupSpaces)
        if (text.substr(0, space.size()) == space) return space.size();
    return 0;
}

// Whether the integer digits between group separators come in thousands.
bool groupedInThousands(std::string_view integer, char group) {
    std::size_t digits = 0, groups = 0;
    for (std::size_t i = 0; i < integer.size();) {
        const std::size_t space = group == ' ' ? groupSpaceLength(integer.substr(i)) : 0;
        if (integer[i] == group || space > 0) {
            if ((groups == 0 && (digits == 0 || digits > 3)) || (groups > 0 && digits != 3)) return false;
            ++groups;
            digits = 0;
            i += space > 0 ? space : 1;
        } else {
            ++digits;
            ++i;
        }
    }
    return digits == 3;
}

}  // namespace

constexpr std::array<std::string_view, 13> kGapTexts = {"",    "null", "none", "nil",  "nan", "-nan", "+nan",
                                                         "n/a", "na",   "#n/a", "#na", "-",   "--"};

bool isGapText(std::string_view text) {
    text = trimmedBlanks(text);
    if (!text.empty() && isDigit(text[0])) return false;
    for (std::string_view gap : kGapTexts)
        if (equalsIgnoringCase(text, gap)) return true;
    return false;
}

PriceParser::Result PriceParser::parseOtherForms(std::string_view text, float& value) {
    text = trimmedBlanks(text);
    if (isGapText(text)) return Result::Gap;
    bool negative = false;
    bool currency = dropCurrencySign(text, true);
    const std::string_view signedText = text;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
        currency = dropCurrencySign(text, true) || currency;
    }
    currency = dropCurrencySign(text, false) || currency;
    if (equalsIgnoringCase(text, "inf") || equalsIgnoringCase(text, "infinity")) {
        value = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
        return Result::Price;
    }

    // Mantissa: digits and separators, up to an exponent.
    std::size_t end = 0;
    int points = 0, commas = 0, spaces = 0, digits = 0;
    char lastMark = 0;
    while (end < text.size() && text[end] != 'e' && text[end] != 'E') {
        const char c = text[end];
        if (isDigit(c)) {
            ++digits;
            ++end;
        } else if (c == '.' || c == ',') {
            ++(c == '.' ? points : commas);
            lastMark = c;
            ++end;
        } else if (const std::size_t space = groupSpaceLength(text.substr(end))) {
            ++spaces;
            end += space;
        } else {
            return Result::NotAPrice;
        }
    }
    const std::string_view mantissa = text.substr(0, end), exponent = text.substr(end);
    if (digits == 0) return Result::NotAPrice;

    // Which separator is the decimal mark, and what the cell shows of the file's.
    char decimal = 0, group = spaces > 0 ? ' ' : 0;
    if (points > 0 && commas > 0) {  // "51,994.63", "1.100,50": the last one is decimal
        if ((lastMark == '.' ? points : commas) != 1 || spaces > 0) return Result::NotAPrice;
        decimal = lastMark;
        group = lastMark == '.' ? ',' : '.';
    } else if (points + commas > 1) {  // "1,234,567": only groups
        if (spaces > 0) return Result::NotAPrice;
        group = lastMark;
    } else if (points + commas == 1) {
        const std::size_t before = mantissa.find(lastMark), after = mantissa.size() - before - 1;
        const bool couldBeGroup =
            spaces == 0 && exponent.empty() && after == 3 && before >= 1 && before <= 3 && mantissa[0] != '0';
        if (!couldBeGroup) {
            decimal = lastMark;
        } else {  // "1,234": as the file's other cells show, or the usual reading
            DecimalMark reading = settled_;
            if (reading == DecimalMark::Unknown) {
                reading = markSoFar();
                if (reading == DecimalMark::Unknown) reading = lastMark == '.' ? DecimalMark::Point : DecimalMark::Comma;
                const bool asDecimal = (lastMark == '.') == (reading == DecimalMark::Point);
                (lastMark == '.' ? (asDecimal ? pointReadAsDecimal_ : pointReadAsGroup_)
                                 : (asDecimal ? commaReadAsDecimal_ : commaReadAsGroup_)) = true;
            }
            ((lastMark == '.') == (reading == DecimalMark::Point) ? decimal : group) = lastMark;
            lastMark = 0;  // shows nothing of the file's mark
        }
    }
    if (lastMark != 0) ++((decimal == '.' || group == ',') ? pointCells_ : commaCells_);

    // Plain "-1234.5e6" as it stands, else composed in that form for from_chars.
    if (group == 0 && decimal != ',' && !currency) {
        const std::string_view plain = negative ? signedText : text;
        const char* last = plain.data() + plain.size();
        const auto result = std::from_chars(plain.data(), last, value);
        return result.ec == std::errc() && result.ptr == last ? Result::Price : Result::NotAPrice;
    }
    const std::size_t decimalAt = decimal ? mantissa.find(decimal) : std::string_view::npos;
    const std::string_view integer = mantissa.substr(0, decimalAt);
    if (group != 0 && !groupedInThousands(integer, group)) return Result::NotAPrice;
    std::string plain;
    plain.reserve(text.size() + 1);
    if (negative) plain += '-';
    for (char c : integer)
        if (isDigit(c)) plain += c;
    if (decimalAt != std::string_view::npos) {
        const std::string_view fraction = mantissa.substr(decimalAt + 1);
        for (char c : fraction)
            if (!isDigit(c)) return Result::NotAPrice;
        (plain += '.').append(fraction);
    }
    plain.append(exponent);
    const char* last = plain.data() + plain.size();
    const auto result = std::from_chars(plain.data(), last, value);
    return result.ec == std::errc() && result.ptr == last ? Result::Price : Result::NotAPrice;
}

DecimalMark PriceParser::markSoFar() const {
    if (pointCells_ != commaCells_) return pointCells_ > commaCells_ ? DecimalMark::Point : DecimalMark::Comma;
    return fieldSeparator_ == ',' ? DecimalMark::Point : DecimalMark::Unknown;
}

DecimalMark PriceParser::settledMark() const {
    if (settled_ != DecimalMark::Unknown) return settled_;
    const DecimalMark mark = markSoFar();
    if (mark != DecimalMark::Unknown) return mark;
    return commaReadAsDecimal_ || commaCells_ > 0 ? DecimalMark::Comma : DecimalMark::Point;
}

bool PriceParser::needsSecondPass() const {
    if (settled_ != DecimalMark::Unknown) return false;
    return settledMark() == DecimalMark::Point ? commaReadAsDecimal_ || pointReadAsGroup_
                                               : pointReadAsDecimal_ || commaReadAsGroup_;
}

bool isNumberText(std::string_view text) {
    float value;
    return PriceParser(0).parse(text, value) == PriceParser::Result::Price;
}

}  // namespace zorvane_cli
