#include "csv_reader.hpp"

#include <algorithm>
#include <memory>
#include <utility>

#include "bar_layout.hpp"
#include "csv_records.hpp"
#include "price_text.hpp"
#include "text_encoding.hpp"

namespace zorvane_cli {
namespace {

constexpr std::size_t kGapLinesShown = 5;

// The bars of one pass over the rows, in file order.
struct Rows {
    TimeColumn time;
    std::vector<float> priceA, priceB;
    std::vector<long> lines;
    std::size_t gaps = 0;
    std::vector<long> gapLines;  // the first few
    std::size_t strays = 0;      // one-field lines after the bars: "Downloaded from ..."
    std::pair<long, std::string> firstStray;
};

class RowReader {
public:
    RowReader(std::shared_ptr<const std::string> text, const std::string& source, const BarLayout& layout, const ReadOptions& options,
              const ReadProgress& progress)
        : file_(std::move(text)), text_(*file_), source_(source), layout_(layout), options_(options), progress_(progress) {}

    Rows read(PriceParser& prices) const {
        Rows rows;
        rows.time = TimeColumn(file_);
        reserveRows(rows);
        RecordSplitter records(text_, layout_.dataOffset, layout_.dataLine, source_, layout_.separator);
        std::vector<std::string_view> fields;
        while (records.next(fields)) {
            const long line = records.line();
            if (fields.size() == 1 && layout_.names.size() > 1) {  // a footer, if nothing but footers follows
                if (rows.strays++ == 0) rows.firstStray = {line, std::string(fields[0])};
                continue;
            }
            if (rows.strays > 0) checkFieldCount({rows.firstStray.second}, rows.firstStray.first);
            checkFieldCount(fields, line);
            float price[2];
            const std::size_t columns[2] = {layout_.priceA, layout_.priceB};
            bool gap = false;
            for (int k = 0; k < 2; ++k) {
                const auto result = readPrice(prices, fields, columns[k], line, price[k]);
                if (result == PriceParser::Result::Gap && !gap) {
                    gap = true;
                    if (options_.gaps == GapChoice::Error)
                        throw InputError(where(line) + ": " + cell(columns[k], fields) +
                                         ": no price; give --gaps skip to skip rows without prices");
                }
            }
            if (gap) {
                if (rows.gaps++ < kGapLinesShown) rows.gapLines.push_back(line);
                continue;
            }
            if (layout_.guessedOpenClose) checkGuessedColumns(prices, fields, price, line);
            const std::string_view time = trimmedBlanks(fields[layout_.time[0]]);
            if (layout_.time.size() == 2) {
                const std::string_view timeOfDay = trimmedBlanks(fields[layout_.time[1]]);
                rows.time.append(time);
                if (!time.empty() && !timeOfDay.empty()) rows.time.append(" ");
                rows.time.append(timeOfDay);
                rows.time.endText();
            } else {
                rows.time.push_back(time);
            }
            rows.priceA.push_back(price[0]);
            rows.priceB.push_back(price[1]);
            rows.lines.push_back(line);
            if (progress_ && rows.priceA.size() % (1u << 20) == 0) progress_(rows.priceA.size());
        }
        return rows;
    }

private:
    // Room for as many bars as the text has lines, so that no column is
    // copied as it grows.
    void reserveRows(Rows& rows) const {
        const std::string_view data = text_.substr(std::min(layout_.dataOffset, text_.size()));
        const auto lines = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')) + 1;
        rows.time.reserve(lines);
        rows.priceA.reserve(lines);
        rows.priceB.reserve(lines);
        rows.lines.reserve(lines);
    }

    std::string where(long line) const { return source_ + ":" + std::to_string(line); }

    // Rows hold as many fields as the header; trailing empty ones beyond are let be.
    void checkFieldCount(const std::vector<std::string_view>& fields, long line) const {
        const std::size_t expected = layout_.names.size();
        if (fields.size() == expected) return;
        if (fields.size() > expected &&
            std::all_of(fields.begin() + static_cast<long>(expected), fields.end(),
                        [](std::string_view field) { return trimmedBlanks(field).empty(); }))
            return;
        throw InputError(where(line) + ": expected " + std::to_string(expected) + " fields as in " +
                         (layout_.header ? "the header" : "the first row") + ", found " +
                         std::to_string(fields.size()));
    }

    std::string cell(std::size_t column, const std::vector<std::string_view>& fields) const {
        return "column " + std::to_string(column + 1) + " (\"" + printable(layout_.names[column]) + "\") \"" +
               printable(fields[column]) + "\"";
    }

    PriceParser::Result readPrice(PriceParser& prices, const std::vector<std::string_view>& fields,
                                  std::size_t column, long line, float& value) const {
        const auto result = prices.parse(fields[column], value);
        if (result == PriceParser::Result::NotAPrice)
            throw InputError(where(line) + ": column " + std::to_string(column + 1) + " (\"" +
                             printable(layout_.names[column]) + "\"): not a price: \"" + printable(fields[column]) +
                             "\"");
        return result;
    }

    // A file without a header row read as open, high, low, close: each bar must fit.
    void checkGuessedColumns(PriceParser& prices, const std::vector<std::string_view>& fields, const float* highLow,
                             long line) const {
        float open, close;
        const auto [openColumn, closeColumn] = *layout_.guessedOpenClose;
        const bool read = prices.parse(fields[openColumn], open) == PriceParser::Result::Price &&
                          prices.parse(fields[closeColumn], close) == PriceParser::Result::Price;
        if (!read || highLow[0] < std::max(open, close) || highLow[1] > std::min(open, close))
            throw InputError(where(line) + ": no header row, and this bar is not open,high,low,close in columns " +
                             std::to_string(openColumn + 1) + " to " + std::to_string(closeColumn + 1) +
                             "; name the columns with --columns");
    }

    std::shared_ptr<const std::string> file_;
    std::string_view text_;
    const std::string& source_;
    const BarLayout& layout_;
    const ReadOptions& options_;
    const ReadProgress& progress_;
};

std::string gapNote(const std::string& source, const Rows& rows) {
    std::string lines;
    for (long line : rows.gapLines) lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    if (rows.gaps > rows.gapLines.size()) lines += ", ...";
    return source + ": skipped " + std::to_string(rows.gaps) + (rows.gaps == 1 ? " row" : " rows") +
           " without prices (line" + (rows.gaps == 1 ? " " : "s ") + lines + ")";
}

std::string readAll(std::istream& in) {
    std::string text;
    // A file's size is known: its text is read into one string of that size.
    const std::istream::pos_type start = in.tellg();
    if (start != std::istream::pos_type(-1) && in.seekg(0, std::ios::end)) {
        const std::istream::pos_type end = in.tellg();
        in.seekg(start);
        if (end != std::istream::pos_type(-1) && end >= start) text.reserve(static_cast<std::size_t>(end - start));
    }
    in.clear();
    std::vector<char> block(1 << 20);
    const auto blockSize = static_cast<std::streamsize>(block.size());
    while (in.read(block.data(), blockSize) || in.gcount() > 0)
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace

BarTable readBars(std::istream& in, const std::string& sourceName, const ReadOptions& options,
                  const ReadProgress& progress) {
    return readBarsFromText(readAll(in), sourceName, options, progress);
}

BarTable readBarsFromText(std::string bytes, const std::string& source, const ReadOptions& options,
                          const ReadProgress& progress) {
    const auto text = std::make_shared<const std::string>(asUtf8Text(std::move(bytes)));
    const BarLayout layout = findLayout(*text, source, options);
    const RowReader reader(text, source, layout, options, progress);
    PriceParser prices(layout.separator);
    Rows rows = reader.read(prices);
    if (prices.needsSecondPass()) {  // cells read before the file showed its decimal mark
        PriceParser settled(layout.separator, prices.settledMark());
        rows = reader.read(settled);
    }
    if (rows.priceA.empty())
        throw InputError(source + ": no bars" + (layout.header ? " after the header" : "") +
                         (rows.gaps ? " with prices (" + std::to_string(rows.gaps) + " rows without)" : ""));

    BarTable table;
    table.notes = layout.notes;
    if (rows.gaps) table.notes.push_back(gapNote(source, rows));
    if (rows.strays)
        table.notes.push_back(source + ":" + std::to_string(rows.firstStray.first) + ": " +
                              std::to_string(rows.strays) + (rows.strays == 1 ? " line" : " lines") +
                              " of one field after the bars skipped (\"" + printable(rows.firstStray.second) + "\")");
    bool newestFirst = options.order == OrderChoice::Descending;
    if (options.order == OrderChoice::Auto) {
        OrderFinding order = findOrder(rows.time, rows.lines, source);
        newestFirst = order.newestFirst;
        if (newestFirst) table.notes.push_back(source + ": the bars run newest first; computed and written oldest first");
        table.notes.insert(table.notes.end(), order.notes.begin(), order.notes.end());
    }
    if (newestFirst) {
        rows.time.reverse();
        std::reverse(rows.priceA.begin(), rows.priceA.end());
        std::reverse(rows.priceB.begin(), rows.priceB.end());
    }

    const auto& names = layout.names;
    table.timeName = names[layout.time[0]] + (layout.time.size() == 2 ? " " + names[layout.time[1]] : "");
    table.priceAName = names[layout.priceA];
    table.priceBName = names[layout.priceB];
    table.singlePrice = layout.priceA == layout.priceB;
    table.separator = layout.separator;
    table.time = std::move(rows.time);
    table.priceA = std::move(rows.priceA);
    table.priceB = std::move(rows.priceB);
    return table;
}

}  // namespace zorvane_cli
