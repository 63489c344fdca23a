#include "bar_layout.hpp"

#include <algorithm>

#include "column_names.hpp"
#include "csv_records.hpp"
#include "input_error.hpp"
#include "price_text.hpp"
#include "time_text.hpp"

namespace zorvane_cli {
namespace {

constexpr int kTitleLinesAtMost = 5;

std::vector<std::string> splitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = list.find(',', begin);
        names.emplace_back(trimmedBlanks(std::string_view(list).substr(begin, comma - begin)));
        if (comma == std::string::npos) return names;
        begin = comma + 1;
    }
}

// A first row of numbers, dates and times holds bars, not column names.
bool holdsBars(const std::vector<std::string>& row) {
    bool anyValue = false;
    for (const auto& field : row) {
        if (isGapText(field)) continue;
        if (!isNumberText(field) && !isTimeText(field) && !isTimeOfDayText(field, false)) return false;
        anyValue = true;
    }
    return anyValue;
}

// Names for a file without a header row, from its first row:
// [date,time | time],open,high,low,close[,volume], the layout platforms use.
std::optional<std::vector<std::string>> recognisedNames(const std::vector<std::string>& row) {
    std::vector<std::string> names(row.size());
    std::size_t next = 0;
    if (row.size() > 1 && isDateOnlyText(row[0]) && isTimeOfDayText(row[1], false)) {
        names[0] = "date";
        names[1] = "time";
        next = 2;
    } else if (!row.empty() && isTimeText(row[0])) {
        names[0] = "time";
        next = 1;
    } else {
        return std::nullopt;
    }
    for (const char* name : {"open", "high", "low", "close", "volume"}) {
        if (next == row.size() || !isNumberText(row[next])) break;
        names[next++] = name;
    }
    if (std::find(names.begin(), names.end(), "close") == names.end()) return std::nullopt;
    return names;
}

// The time: the first column named and written like one, else the first
// written like one, else the first named like one, else the first column;
// a date followed by a time of day gives both.
std::vector<std::size_t> findTimeColumns(const ColumnNames& names, const std::vector<std::string>& row,
                                         std::size_t priceA, std::size_t priceB) {
    const std::size_t count = std::min(names.size(), row.size());
    auto candidate = [&](std::size_t c) { return c < count && c != priceA && c != priceB; };
    std::optional<std::size_t> chosen;
    for (int rule = 0; rule < 3 && !chosen; ++rule)
        for (std::size_t c = 0; c < count && !chosen; ++c)
            if (candidate(c) && (rule == 2 || isTimeText(row[c])) && (rule == 1 || names.namesTime(c))) chosen = c;
    std::vector<std::size_t> columns = {chosen.value_or(0)};
    const std::size_t next = columns[0] + 1;
    if (chosen && candidate(next) && isDateOnlyText(row[*chosen]) && isTimeOfDayText(row[next], names.namesTime(next)))
        columns.push_back(next);
    return columns;
}

}  // namespace

std::string listOfNames(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ", ") + (name.empty() ? "(unnamed)" : name);
    return printable(list);
}

BarLayout findLayout(std::string_view text, const std::string& source, const ReadOptions& options) {
    BarLayout layout;
    std::size_t offset = 0;
    long line = 1;
    std::optional<char> separator = options.separator;
    // Spreadsheets may name the separator on a line of its own: "sep=;".
    if (text.substr(0, 4) == "sep=" && text.size() >= 5 && std::string_view(",;\t|").find(text[4]) != std::string_view::npos &&
        (text.size() == 5 || text[5] == '\n' || text[5] == '\r')) {
        separator = separator.value_or(text[4]);
        offset = text.substr(5, 2) == "\r\n" ? 7 : std::min<std::size_t>(6, text.size());
        line = 2;
    }
    layout.separator = separator ? *separator : detectSeparator(text.substr(offset));

    std::vector<std::string_view> fields;
    // One-field lines before the first of several fields are a title ("AAPL daily").
    RecordSplitter ahead(text, offset, line, source, layout.separator);
    std::string title;
    for (int k = 0; k < kTitleLinesAtMost; ++k) {
        const std::size_t recordOffset = ahead.offset();
        const long recordLine = ahead.nextLine();
        if (!ahead.next(fields)) break;
        if (fields.size() > 1) {
            if (k > 0) {
                layout.notes.push_back(source + ":" + std::to_string(line) + ": " + std::to_string(k) +
                                       (k == 1 ? " line" : " lines") + " before the columns taken for a title (\"" +
                                       printable(title) + "\")");
                offset = recordOffset;
                line = recordLine;
            }
            break;
        }
        if (k == 0) title = std::string(trimmedBlanks(fields[0]));
    }
    RecordSplitter records(text, offset, line, source, layout.separator);
    auto copyOf = [&fields] {
        std::vector<std::string> row;
        for (std::string_view field : fields) row.emplace_back(trimmedBlanks(field));
        return row;
    };
    const std::size_t firstOffset = records.offset();
    if (!records.next(fields)) throw InputError(source + ": empty input, expected a header row and bars");
    const long firstLine = records.line();
    const std::vector<std::string> firstRow = copyOf();
    layout.header = options.header.value_or(!holdsBars(firstRow));
    std::vector<std::string> barRow = firstRow;  // the first bar, to recognise columns by their values
    layout.dataOffset = firstOffset;
    layout.dataLine = firstLine;
    if (layout.header) {
        layout.dataOffset = records.offset();
        layout.dataLine = records.nextLine();
        if (!records.next(fields)) throw InputError(source + ": no bars after the header");
        barRow = copyOf();
    }

    // Column names.
    const std::string where = source + ":" + std::to_string(firstLine);
    layout.names = layout.header ? firstRow : std::vector<std::string>(firstRow.size());
    if (options.columns) {
        const std::vector<std::string> given = splitNames(*options.columns);
        const std::size_t named = std::min(given.size(), layout.names.size());
        std::copy(given.begin(), given.begin() + static_cast<long>(named), layout.names.begin());
        if (given.size() > named)
            layout.notes.push_back(where + ": --columns names " + std::to_string(given.size()) +
                                   " columns, the file has " + std::to_string(named) + "; the rest are not used");
    } else if (!layout.header) {
        const auto recognised = recognisedNames(barRow);
        if (!recognised)
            throw InputError(where + ": no header row, and the columns are not [date,time|time],open,high,low,close"
                                     "[,volume]; name them with --columns, e.g. --columns "
                                     "date,time,open,high,low,close,volume");
        layout.names = *recognised;
        const auto index = [&](const char* name) {
            return static_cast<std::size_t>(std::find(layout.names.begin(), layout.names.end(), name) - layout.names.begin());
        };
        layout.guessedOpenClose = std::make_pair(index("open"), index("close"));
        layout.notes.push_back(source + ": no header row; columns read as " + listOfNames(layout.names));
    }

    // The columns used.
    const ColumnNames names(layout.names);
    auto columnOf = [&](const std::string& wanted, const char* role, const char* options) {
        if (const auto column = names.find(wanted)) return *column;
        throw InputError(where + ": no column named \"" + printable(wanted) + "\" for " + role + " (columns: " +
                         listOfNames(layout.names) + "); choose one with " + options +
                         ", or name the columns with --columns");
    };
    const char* priceOptions = "--price-a and --price-b (or --price for one column)";
    layout.priceA = columnOf(options.price.value_or(options.priceA), "the first price", priceOptions);
    layout.priceB = columnOf(options.price.value_or(options.priceB), "the second price", priceOptions);
    if (options.time) {
        const std::vector<std::string> wanted = splitNames(*options.time);
        if (wanted.size() > 2) throw InputError("--time takes one column, or two joined: --time date,time");
        for (const auto& name : wanted) layout.time.push_back(columnOf(name, "the time", "--time"));
    } else {
        layout.time = findTimeColumns(names, barRow, layout.priceA, layout.priceB);
    }
    return layout;
}

}  // namespace zorvane_cli
