// Times as bar files write them, read into one scale so that bars can be
// put in time order: ISO 8601 (with a zone or not), 2024.01.02, 20240102,
// 02.01.2024, 01/02/2024 (month or day first), Jan 02, 2024, 02-Jan-2024,
// each with an optional time of day; or seconds, milliseconds, microseconds
// or nanoseconds since 1970, told apart by their number of digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorvane_cli {

// How 01/02/2024 and 01-02-2024 are read; other forms say which is which.
enum class DayMonth { MonthFirst, DayFirst };

struct TimePoint {
    std::int64_t microseconds;  // since 1970-01-01, in the zone the text gives, else as written
    bool dateOnly;              // a calendar date with no time of day
    bool readsEitherWay;        // a form where DayMonth decided the reading
};

std::optional<TimePoint> parseTimePoint(std::string_view text, DayMonth order);

// The last date read in a fixed ISO form and its first microsecond, so that
// reading a column of times reads each day's date once: the same points as
// reading each text alone.
struct RecentDate {
    char text[10];
    std::int64_t midnight = 0;
    bool held = false;
};
std::optional<TimePoint> parseTimePoint(std::string_view text, DayMonth order, RecentDate& recent);
// The general reading parseTimePoint falls back to when the text is not
// one of the fixed ISO forms it reads directly; the same result for those too.
std::optional<TimePoint> parseTimePointByScanner(std::string_view text, DayMonth order);

// A date, date and time, or epoch number under either day-month reading.
bool isTimeText(std::string_view text);
// A date without a time of day, under either reading.
bool isDateOnlyText(std::string_view text);

// A time of day: 09:30, 9:30:15.250, 1:30 PM, 093015 (and 0930 when `fourDigits`).
bool isTimeOfDayText(std::string_view text, bool fourDigits);

}  // namespace zorvane_cli
