#include "bar_order.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "input_error.hpp"
#include "time_text.hpp"

namespace zorvane_cli {
namespace {

// Steps between neighbouring bars: how many go forward, back, nowhere.
struct Steps {
    std::size_t forward = 0, back = 0, still = 0;
    std::size_t firstForward = 0, firstBack = 0, firstStill = 0;  // index of the later bar

    bool mixed() const { return forward > 0 && back > 0; }
    bool newestFirst() const { return back > 0 && forward == 0; }
};

struct Reading {
    Steps steps;               // between the bars read
    std::size_t readable = 0;  // bars read before the first that is not a time
    bool eitherWay = false;    // some text read by the day-month choice
};

// The times read one after another; only neighbours are compared, so no
// bar's time is kept.
Reading readTimes(const TimeColumn& times, DayMonth order) {
    Reading reading;
    Steps& steps = reading.steps;
    std::int64_t before = 0;
    RecentDate recent;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const auto point = parseTimePoint(times[i], order, recent);
        if (!point) break;
        const std::int64_t now = point->microseconds;
        auto count = [i](std::size_t& n, std::size_t& first) { first = n++ == 0 ? i : first; };
        if (i > 0) {
            if (now > before) count(steps.forward, steps.firstForward);
            else if (now < before) count(steps.back, steps.firstBack);
            else count(steps.still, steps.firstStill);
        }
        before = now;
        reading.eitherWay = reading.eitherWay || point->readsEitherWay;
        ++reading.readable;
    }
    return reading;
}

}  // namespace

OrderFinding findOrder(const TimeColumn& times, const LineNumbers& lines,
                       const std::string& source) {
    OrderFinding finding;
    const Reading monthFirst = readTimes(times, DayMonth::MonthFirst);
    std::optional<Reading> dayFirst;
    if (monthFirst.eitherWay || monthFirst.readable < times.size()) dayFirst = readTimes(times, DayMonth::DayFirst);

    std::vector<const Reading*> complete;
    for (const Reading* reading : {&monthFirst, dayFirst ? &*dayFirst : static_cast<const Reading*>(nullptr)})
        if (reading && reading->readable == times.size()) complete.push_back(reading);
    if (complete.empty()) {
        const std::size_t readable = std::max(monthFirst.readable, dayFirst ? dayFirst->readable : 0);
        if (readable > 0)
            finding.notes.push_back(source + ":" + std::to_string(lines[readable]) + ": time \"" +
                                    printable(times[readable]) +
                                    "\" is not a date or time like those before it; bars kept in file order");
        return finding;
    }

    std::vector<Steps> steps;
    for (const Reading* reading : complete) steps.push_back(reading->steps);
    std::size_t chosen = 0;
    if (steps.size() == 2) {
        if (steps[0].mixed() && !steps[1].mixed()) chosen = 1;
        else if (!steps[0].mixed() && !steps[1].mixed() && steps[0].newestFirst() != steps[1].newestFirst() &&
                 steps[0].forward + steps[0].back > 0 && steps[1].forward + steps[1].back > 0)
            throw InputError(source + ": dates such as \"" + printable(times[0]) +
                             "\" read month first and read day first put the bars in opposite orders; give "
                             "--order asc (oldest first) or --order desc (newest first)");
    }
    const Steps& s = steps[chosen];
    if (s.mixed()) {
        const bool mostlyNewestFirst = s.back > s.forward;
        const std::size_t at = mostlyNewestFirst ? s.firstForward : s.firstBack;
        throw InputError(source + ":" + std::to_string(lines[at]) + ": bars out of time order: \"" +
                         printable(times[at]) + "\" follows \"" + printable(times[at - 1]) + "\" (line " +
                         std::to_string(lines[at - 1]) + ") in a file that otherwise runs " +
                         (mostlyNewestFirst ? "newest" : "oldest") +
                         " first; sort the file, or give --order asc to compute the bars in file order");
    }
    finding.newestFirst = s.newestFirst();
    if (s.still > 0)
        finding.notes.push_back(source + ":" + std::to_string(lines[s.firstStill]) + ": " +
                                std::to_string(s.still) + (s.still == 1 ? " bar has" : " bars have") +
                                " the same time as the bar before");
    return finding;
}

}  // namespace zorvane_cli
