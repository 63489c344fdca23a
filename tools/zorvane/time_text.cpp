#include "time_text.hpp"

#include <array>
#include <cctype>
#include <cstring>
#include <string>

#include "price_text.hpp"

namespace zorvane_cli {
namespace {

constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr std::int64_t kMicrosPerDay = 86400 * kMicrosPerSecond;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool done() const { return at_ == text_.size(); }
    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    bool eat(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    // A run of up to 18 digits (so that it fits); returns how many.
    int number(std::int64_t& value) {
        int digits = 0;
        value = 0;
        while (digits < 18 && isDigit(peek())) {
            value = value * 10 + (text_[at_++] - '0');
            ++digits;
        }
        return digits;
    }
    std::string_view word() {
        const std::size_t begin = at_;
        while (isLetter(peek())) ++at_;
        return text_.substr(begin, at_ - begin);
    }
    char take() { return text_[at_++]; }
    int spaces() {
        int count = 0;
        while (eat(' ')) ++count;
        return count;
    }
    std::size_t position() const { return at_; }
    void rewind(std::size_t position) { at_ = position; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string lowered(std::string_view word) {
    std::string text(word);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// 1 to 12 for an English month name or its first three letters (and "sept").
int monthNamed(std::string_view word) {
    static const std::array<const char*, 12> names = {"january", "february", "march",     "april",
                                                       "may",     "june",     "july",      "august",
                                                       "september", "october", "november", "december"};
    const std::string name = lowered(word);
    if (name.size() < 3) return 0;
    for (int m = 0; m < 12; ++m) {
        const std::string full = names[m];
        if (name == full || name == full.substr(0, 3) || (m == 8 && name == "sept")) return m + 1;
    }
    return 0;
}

bool isWeekday(std::string_view word) {
    const std::string name = lowered(word);
    for (const char* day : {"mon", "tue", "wed", "thu", "fri", "sat", "sun"})
        if (name.size() >= 3 && name.compare(0, 3, day) == 0) return true;
    return false;
}

bool isLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool isValidDate(std::int64_t y, std::int64_t m, std::int64_t d) {
    static const std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1000 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    return d <= days[m - 1] + (m == 2 && isLeapYear(y));
}

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t fullYear(std::int64_t year, int digits) {
    if (digits != 2) return year;
    return year < 70 ? 2000 + year : 1900 + year;
}

// Digits after a decimal mark, as microseconds (beyond the sixth dropped).
bool fraction(Scanner& s, std::int64_t& micros) {
    micros = 0;
    int digits = 0;
    for (; isDigit(s.peek()); ++digits) {
        const int digit = s.take() - '0';
        if (digits < 6) micros = micros * 10 + digit;
    }
    for (int k = digits; k < 6; ++k) micros *= 10;
    return digits > 0;
}

// "am", "pm", "a.m.", "p.m." after optional spaces: 1 for am, 2 for pm, else 0
// with the scanner where it was.
int meridiem(Scanner& s) {
    const std::size_t start = s.position();
    s.spaces();
    if (!isLetter(s.peek())) {
        s.rewind(start);
        return 0;
    }
    const std::string word = lowered(s.word());
    if (word == "am" || word == "pm") return word == "am" ? 1 : 2;
    if ((word == "a" || word == "p") && s.eat('.') && lowered(s.word()) == "m") {
        s.eat('.');
        return word == "a" ? 1 : 2;
    }
    s.rewind(start);
    return 0;
}

// A time of day: "9:30", "09:30:15.250", "1:30 PM", "093015", "0930" (when
// `fourDigits`), as microseconds from midnight.
bool clock(Scanner& s, bool fourDigits, std::int64_t& micros) {
    std::int64_t hour, minute = 0, second = 0, fractionPart = 0;
    const int digits = s.number(hour);
    if ((digits == 1 || digits == 2) && s.eat(':')) {
        if (s.number(minute) != 2) return false;
        if (s.eat(':')) {
            if (s.number(second) != 2) return false;
            if ((s.eat('.') || s.eat(',')) && !fraction(s, fractionPart)) return false;
        }
    } else if (digits == 6 || (digits == 4 && fourDigits)) {
        const std::int64_t packed = digits == 6 ? hour : hour * 100;
        hour = packed / 10000;
        minute = packed / 100 % 100;
        second = packed % 100;
        if (digits == 6 && s.eat('.') && !fraction(s, fractionPart)) return false;
    } else {
        return false;
    }
    if (const int half = meridiem(s)) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (half == 2 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 60) return false;
    micros = ((hour * 60 + minute) * 60 + second) * kMicrosPerSecond + fractionPart;
    return true;
}

// An optional zone: "Z", "+01:00", "-0500", "+01", " UTC", " GMT+2". Gives
// the offset east of UTC; without a zone the scanner stays where it was.
std::int64_t zone(Scanner& s) {
    const std::size_t start = s.position();
    if (s.eat('Z') || s.done()) return 0;
    s.spaces();
    const std::string name = isLetter(s.peek()) ? lowered(s.word()) : std::string();
    const bool named = name == "utc" || name == "gmt";
    if ((!name.empty() && !named) || (s.peek() != '+' && s.peek() != '-')) {
        if (!named) s.rewind(start);
        return 0;
    }
    const bool west = s.take() == '-';
    std::int64_t hours, minutes = 0;
    const int digits = s.number(hours);
    bool readable = true;
    if (digits == 4) {
        minutes = hours % 100;
        hours /= 100;
    } else if (digits == 1 || digits == 2) {
        if (s.eat(':')) readable = s.number(minutes) == 2;
    } else {
        readable = false;
    }
    if (!readable || hours > 14 || minutes > 59) {
        s.rewind(start);
        return 0;
    }
    const std::int64_t offset = (hours * 60 + minutes) * 60 * kMicrosPerSecond;
    return west ? -offset : offset;
}

struct CalendarDate {
    std::int64_t year, month, day;
    bool readsEitherWay;
};

bool readYear(Scanner& s, std::int64_t& year) {
    const int digits = s.number(year);
    year = fullYear(year, digits);
    return digits == 4 || digits == 2;
}

bool readMonthName(Scanner& s, std::int64_t& month) {
    month = monthNamed(s.word());
    s.eat('.');
    return month != 0;
}

// A calendar date at the scanner, in any of the forms the header lists.
bool calendarDate(Scanner& s, DayMonth order, CalendarDate& date) {
    date.readsEitherWay = false;
    const std::size_t start = s.position();
    if (isLetter(s.peek())) {  // a weekday first: "Tue, 02 Jan 2024"
        const std::string_view word = s.word();
        if (isWeekday(word) && monthNamed(word) == 0) {
            s.eat(',');
            s.spaces();
        } else {
            s.rewind(start);
        }
    }
    std::int64_t first;
    if (isLetter(s.peek())) {  // "Jan 02, 2024", "January 2 2024", "Jan-02-2024"
        if (!readMonthName(s, date.month) || (!s.spaces() && !s.eat('-'))) return false;
        const int digits = s.number(date.day);
        if (digits < 1 || digits > 2) return false;
        s.eat(',');
        if ((!s.spaces() && !s.eat('-')) || !readYear(s, date.year)) return false;
    } else if (const int digits = s.number(first); digits == 8) {  // 20240102
        date = {first / 10000, first / 100 % 100, first % 100, false};
    } else if (digits == 4) {  // 2024-01-02, 2024.01.02, 2024/01/02, 2024-01
        const char separator = s.peek();
        if (separator != '-' && separator != '.' && separator != '/') return false;
        s.take();
        date.year = first;
        if (isLetter(s.peek()) ? !readMonthName(s, date.month) : s.number(date.month) < 1) return false;
        date.day = 1;
        if (s.eat(separator)) {
            if (const int dayDigits = s.number(date.day); dayDigits < 1 || dayDigits > 2) return false;
        } else if (!s.done()) {
            return false;
        }
    } else if (digits == 1 || digits == 2) {
        const char separator = s.peek();
        if (separator != '-' && separator != '.' && separator != '/' && separator != ' ') return false;
        s.take();
        if (isLetter(s.peek())) {  // "02-Jan-2024", "2 January 2024"
            date.day = first;
            if (!readMonthName(s, date.month) || (!s.eat(separator) && !s.spaces()) || !readYear(s, date.year))
                return false;
        } else {  // 02.01.2024 (day first), 01/02/2024 and 01-02-2024 (either)
            std::int64_t second;
            if (separator == ' ' || s.number(second) < 1 || !s.eat(separator) || !readYear(s, date.year))
                return false;
            const bool dayFirst = separator == '.' || order == DayMonth::DayFirst;
            date.day = dayFirst ? first : second;
            date.month = dayFirst ? second : first;
            date.readsEitherWay = separator != '.';
        }
    } else {
        return false;
    }
    return isValidDate(date.year, date.month, date.day);
}

// Text of digits alone, perhaps with a fraction: 20240102, 20240102093000,
// or an epoch count whose number of digits gives its unit.
std::optional<TimePoint> compactOrEpoch(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fractionText = point == std::string_view::npos ? "" : text.substr(point + 1);
    if (whole.empty() || whole.size() > 19 || (point != std::string_view::npos && fractionText.empty())) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : whole) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    const auto n = static_cast<std::int64_t>(value);
    const std::size_t digits = whole.size();
    if (fractionText.empty()) {
        if (digits == 8 && isValidDate(n / 10000, n / 100 % 100, n % 100))
            return TimePoint{daysFromCivil(n / 10000, n / 100 % 100, n % 100) * kMicrosPerDay, true, false};
        if (digits == 12 || digits == 14) {
            const std::int64_t date = digits == 12 ? n / 10000 : n / 1000000;
            const std::int64_t clockPart = digits == 12 ? n % 10000 * 100 : n % 1000000;
            const std::int64_t h = clockPart / 10000, m = clockPart / 100 % 100, sec = clockPart % 100;
            if (isValidDate(date / 10000, date / 100 % 100, date % 100) && h < 24 && m < 60 && sec < 61)
                return TimePoint{daysFromCivil(date / 10000, date / 100 % 100, date % 100) * kMicrosPerDay +
                                     ((h * 60 + m) * 60 + sec) * kMicrosPerSecond,
                                 false, false};
        }
    }
    std::int64_t unit;  // microseconds per count, or 0 for nanoseconds
    if (digits == 9 || digits == 10) unit = kMicrosPerSecond;
    else if (digits == 12 || digits == 13) unit = 1000;
    else if ((digits == 15 || digits == 16) && fractionText.empty()) unit = 1;
    else if ((digits == 18 || digits == 19) && fractionText.empty()) unit = 0;
    else return std::nullopt;
    if (unit == 0) return TimePoint{static_cast<std::int64_t>(value / 1000), false, false};
    std::int64_t fractionMicros = 0, scale = unit;
    for (char c : fractionText.substr(0, 9)) {
        scale /= 10;
        fractionMicros += (c - '0') * scale;
    }
    return TimePoint{n * unit + fractionMicros, false, false};
}

bool digitsWithFraction(std::string_view text) {
    bool point = false;
    for (char c : text) {
        if (c == '.' && !point) point = true;
        else if (!isDigit(c)) return false;
    }
    return !text.empty();
}

// The forms most bar files hold, 2024-01-02, 2024-01-02 09:30:00 and
// 2024-01-02T09:30:00Z (or with '.' or '/' in the date), read without the
// scanner: the same point the general reading gives, or false for text
// that is not exactly such a form or not a valid date and time, which the
// general reading then decides.
bool fixedIsoForm(std::string_view text, TimePoint& point, RecentDate& recent) {
    const std::size_t size = text.size();
    if (size != 10 && size != 19 && !(size == 20 && text[19] == 'Z')) return false;
    auto digits = [&text](std::size_t at, std::size_t count, std::int64_t& value) {
        value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (!isDigit(text[i])) return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    // The date read once for a run of bars that share it (a day of minute bars).
    if (!recent.held || std::memcmp(text.data(), recent.text, sizeof recent.text) != 0) {
        const char separator = text[4];
        std::int64_t year, month, day;
        if ((separator != '-' && separator != '.' && separator != '/') || text[7] != separator ||
            !digits(0, 4, year) || !digits(5, 2, month) || !digits(8, 2, day) || !isValidDate(year, month, day))
            return false;
        std::memcpy(recent.text, text.data(), sizeof recent.text);
        recent.midnight = daysFromCivil(year, month, day) * kMicrosPerDay;
        recent.held = true;
    }
    const std::int64_t midnight = recent.midnight;
    if (size == 10) {
        point = TimePoint{midnight, true, false};
        return true;
    }
    std::int64_t hour, minute, second;
    if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':' || !digits(11, 2, hour) ||
        !digits(14, 2, minute) || !digits(17, 2, second) || hour > 23 || minute > 59 || second > 60)
        return false;
    point = TimePoint{midnight + ((hour * 60 + minute) * 60 + second) * kMicrosPerSecond, false, false};
    return true;
}

}  // namespace

std::optional<TimePoint> parseTimePoint(std::string_view text, DayMonth order, RecentDate& recent) {
    if (TimePoint point; fixedIsoForm(trimmedBlanks(text), point, recent)) return point;
    return parseTimePointByScanner(text, order);
}

std::optional<TimePoint> parseTimePoint(std::string_view text, DayMonth order) {
    RecentDate none;
    return parseTimePoint(text, order, none);
}

std::optional<TimePoint> parseTimePointByScanner(std::string_view text, DayMonth order) {
    text = trimmedBlanks(text);
    if (digitsWithFraction(text)) return compactOrEpoch(text);
    Scanner s(text);
    CalendarDate date;
    if (!calendarDate(s, order, date)) return std::nullopt;
    const std::int64_t midnight = daysFromCivil(date.year, date.month, date.day) * kMicrosPerDay;
    if (s.done()) return TimePoint{midnight, true, date.readsEitherWay};
    std::int64_t sinceMidnight;
    if ((!s.eat('T') && !s.spaces()) || !clock(s, true, sinceMidnight)) return std::nullopt;
    const std::int64_t offset = zone(s);
    s.spaces();
    if (!s.done()) return std::nullopt;
    return TimePoint{midnight + sinceMidnight - offset, false, date.readsEitherWay};
}

bool isTimeText(std::string_view text) {
    return parseTimePoint(text, DayMonth::MonthFirst) || parseTimePoint(text, DayMonth::DayFirst);
}

bool isDateOnlyText(std::string_view text) {
    for (DayMonth order : {DayMonth::MonthFirst, DayMonth::DayFirst})
        if (const auto point = parseTimePoint(text, order); point && point->dateOnly) return true;
    return false;
}

bool isTimeOfDayText(std::string_view text, bool fourDigits) {
    Scanner s(trimmedBlanks(text));
    std::int64_t micros;
    if (!clock(s, fourDigits, micros)) return false;
    zone(s);
    s.spaces();
    return s.done();
}

}  // namespace zorvane_cli
