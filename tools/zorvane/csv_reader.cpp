#include "csv_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "bar_layout.hpp"
#include "csv_records.hpp"
#include "plain_records.hpp"
#include "price_text.hpp"
#include "text_encoding.hpp"

namespace zorvane_cli {
namespace {

constexpr std::size_t kGapLinesShown = 5;

// The bars of one pass over the rows, in file order.
struct Rows {
    TimeColumn time;
    FloatColumn priceA, priceB;
    LineNumbers lines;
    std::size_t gaps = 0;
    std::vector<long> gapLines;  // the first few
    std::size_t strays = 0;      // one-field lines after the bars: "Downloaded from ..."
    std::pair<long, std::string> firstStray;
};

class RowReader {
public:
    RowReader(const std::string& source, const BarLayout& layout, const ReadOptions& options,
              const ReadProgress& progress)
        : source_(source), layout_(layout), options_(options), progress_(progress) {}

    // The bars of a whole text, whose time texts `rows` may keep as they stand.
    Rows read(PriceParser& prices, const std::shared_ptr<const std::string>& text) const {
        Rows rows;
        rows.time = TimeColumn(text);
        const std::string_view data = std::string_view(*text).substr(std::min(layout_.dataOffset, text->size()));
        const auto lines = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')) + 1;
        reserveRows(rows, lines, 0);
        readStretch(prices, rows, *text, layout_.dataOffset, layout_.dataLine);
        return rows;
    }

    // Room for `bars` bars, so that no column is copied as it grows; with
    // mapNow, the price columns mapped before it returns.
    static void reserveRows(Rows& rows, std::size_t bars, std::size_t timeChars, bool mapNow = true) {
        rows.time.reserve(bars, timeChars, mapNow);
        rows.priceA.reserve(bars);
        rows.priceB.reserve(bars);
        if (!mapNow) return;
        prefaultFor(rows.priceA);
        prefaultFor(rows.priceB);
    }

    // Adds the bars of the records in text from `offset` on (the first
    // beginning on `line`) to rows; returns the line after them. Text that
    // ends inside a record ends that record: a stretch ends at a line end.
    // Text without quotes may be split by PlainRecordSplitter.
    template <class Splitter = RecordSplitter>
    long readStretch(PriceParser& prices, Rows& rows, std::string_view text, std::size_t offset, long line) const {
        Splitter records = splitter<Splitter>(text, offset, line);
        std::vector<std::string_view>& fields = fields_;
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
        return records.nextLine();
    }

private:
    template <class Splitter>
    Splitter splitter(std::string_view text, std::size_t offset, long line) const {
        if constexpr (std::is_same_v<Splitter, RecordSplitter>)
            return RecordSplitter(text, offset, line, source_, layout_.separator);
        else
            return PlainRecordSplitter(text, offset, line, layout_.separator);
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
        if (result == PriceParser::Result::NotAPrice) notAPrice(fields, column, line);
        return result;
    }
    // Apart, so that reading a price stays a few instructions in the row loop.
    [[noreturn]] void notAPrice(const std::vector<std::string_view>& fields, std::size_t column, long line) const {
        throw InputError(where(line) + ": column " + std::to_string(column + 1) + " (\"" +
                         printable(layout_.names[column]) + "\"): not a price: \"" + printable(fields[column]) +
                         "\"");
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

    mutable std::vector<std::string_view> fields_;
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

void reverseBars(BarTable& table) {
    table.time.reverse();
    std::reverse(table.priceA.begin(), table.priceA.end());
    std::reverse(table.priceB.begin(), table.priceB.end());
}

// The table of the rows read: notes, the order found (or left to be found,
// with the bars' lines kept for it), oldest first.
BarTable finish(Rows rows, const BarLayout& layout, const std::string& source, const ReadOptions& options,
                bool orderLater) {
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
    const auto& names = layout.names;
    table.timeName = names[layout.time[0]] + (layout.time.size() == 2 ? " " + names[layout.time[1]] : "");
    table.priceAName = names[layout.priceA];
    table.priceBName = names[layout.priceB];
    table.singlePrice = layout.priceA == layout.priceB;
    table.separator = layout.separator;
    table.time = std::move(rows.time);
    table.priceA = std::move(rows.priceA);
    table.priceB = std::move(rows.priceB);
    if (options.order == OrderChoice::Descending) {
        reverseBars(table);
    } else if (options.order == OrderChoice::Auto) {
        table.linesForOrder = std::move(rows.lines);
        if (!orderLater) settleOrder(table, findPendingOrder(table, source), source);
    }
    return table;
}

// Bytes read and not yet used, in one buffer that every block reuses.
class BlockBuffer {
public:
    explicit BlockBuffer(std::size_t blockBytes) : blockBytes_(blockBytes) {}

    std::string_view text() const { return {data_.get(), size_}; }
    // Reads up to a block more; false once nothing is left.
    bool readMore(std::istream& in) {
        if (capacity_ - size_ < blockBytes_) {
            const std::size_t capacity = std::max(2 * capacity_, size_ + blockBytes_);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (size_) std::memcpy(grown.get(), data_.get(), size_);
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        in.read(data_.get() + size_, static_cast<std::streamsize>(blockBytes_));
        size_ += static_cast<std::size_t>(in.gcount());
        return in.gcount() > 0;
    }
    // Drops the first `bytes` bytes.
    void consume(std::size_t bytes) {
        std::memmove(data_.get(), data_.get() + bytes, size_ - bytes);
        size_ -= bytes;
    }

private:
    std::size_t blockBytes_, size_ = 0, capacity_ = 0;
    std::unique_ptr<char[]> data_;
};

// Whether the layout found from `prefix` is the one the whole text gives:
// findLayout reads the first 20 lines that hold a separator candidate and
// at most the first seven records that are not blank. When the first
// kSettlingLines lines that are not blank each hold a candidate and no quote
// or lone carriage return, both are the same lines of the prefix and of the
// whole text.
constexpr int kSettlingLines = 32;
constexpr std::size_t kSettlingBytes = 1 << 20;
bool layoutSettlesWithin(std::string_view prefix) {
    std::size_t begin = 0;
    for (int k = 0; k < kSettlingLines;) {
        const std::size_t end = prefix.find('\n', begin);
        if (end == std::string_view::npos) return false;
        std::string_view line = prefix.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (line.find_first_of("\"\r") != std::string_view::npos) return false;
        if (line.find_first_of(",;\t|") == std::string_view::npos) return false;
        ++k;
    }
    return true;
}

// A large file without quotes read a block at a time, so that its text is
// never held whole: the layout from the first block, then each block's
// complete lines through the same reader, the time texts copied. Exactly
// what readBarsFromText gives for the whole text, or nothing (with `in`
// back at `start`) where that cannot be promised: a file that does not
// settle its layout in the first block, a byte-order mark, a quote (a
// quoted field may hold line ends) or cells that need a second pass.
std::optional<BarTable> readByBlocks(std::istream& in, std::istream::pos_type start, const std::string& source,
                                     const ReadOptions& options, const ReadProgress& progress,
                                     std::size_t blockBytes, bool orderLater, FreshMemoryAhead* ahead) {
    auto giveUp = [&in, start]() -> std::optional<BarTable> {
        in.clear();
        in.seekg(start);
        return std::nullopt;
    };
    // The first block, grown until it settles the layout (a few lines).
    BlockBuffer block(blockBytes);
    std::string_view first;
    do {
        if (!block.readMore(in) || in.eof()) return giveUp();  // small: read whole
        first = block.text().substr(0, block.text().rfind('\n') + 1);
    } while (!layoutSettlesWithin(first) && first.size() < kSettlingBytes);
    const bool marked = first.rfind("\xEF\xBB\xBF", 0) == 0 || first.rfind("\xFF\xFE", 0) == 0 ||
                        first.rfind("\xFE\xFF", 0) == 0;
    if (marked || !layoutSettlesWithin(first)) return giveUp();
    const BarLayout layout = findLayout(first, source, options);
    const RowReader reader(source, layout, options, progress);

    // Room for the bars the file's size suggests, at the first block's line length.
    const auto linesSeen = static_cast<double>(std::count(first.begin(), first.end(), '\n'));
    const std::istream::pos_type resume = in.tellg();
    in.seekg(0, std::ios::end);
    const auto size = static_cast<double>(in.tellg() - start);
    in.seekg(resume);
    const auto expected = static_cast<std::size_t>(size / static_cast<double>(first.size()) * linesSeen * 1.02) + 16;
    Rows rows;
    RowReader::reserveRows(rows, expected, expected * 24, !ahead);
    // The columns in the order handed over, with how far each is filled.
    constexpr std::size_t kColumns = 4;
    auto rooms = [&rows] {
        auto roomOf = [](const FloatColumn& prices) {
            return TimeColumn::Room{prices.data(), prices.capacity() * sizeof(float), prices.size() * sizeof(float)};
        };
        return std::array<TimeColumn::Room, kColumns>{roomOf(rows.priceA), roomOf(rows.priceB),
                                                      rows.time.endsRoom(), rows.time.charsRoom()};
    };
    if (ahead) {
        const auto reserved = rooms();
        FreshMemoryAhead::Block blocks[kColumns];
        for (std::size_t i = 0; i < kColumns; ++i) blocks[i] = {reserved[i].data, reserved[i].reserved};
        ahead->reserved(blocks, kColumns, expected);
    }

    PriceParser prices(layout.separator);
    std::size_t offset = layout.dataOffset;
    long line = layout.dataLine;
    for (bool more = true; more;) {
        more = block.readMore(in);
        // Whole lines only, unless the text ends here.
        const std::string_view text = block.text();
        const std::size_t end = more ? text.rfind('\n') + 1 : text.size();
        if (end == 0) continue;  // one line longer than the block so far
        const std::string_view lines = text.substr(0, end);
        if (lines.find('"', offset) != std::string_view::npos) return giveUp();
        line = reader.readStretch<PlainRecordSplitter>(prices, rows, lines, offset, line);
        if (ahead) {
            const auto filled = rooms();
            for (std::size_t i = 0; i < kColumns; ++i) ahead->filled(i, filled[i].filled);
        }
        block.consume(end);
        offset = 0;
    }
    if (prices.needsSecondPass()) return giveUp();
    return finish(std::move(rows), layout, source, options, orderLater);
}

}  // namespace

BarTable readBars(std::istream& in, const std::string& sourceName, const ReadOptions& options,
                  const ReadProgress& progress) {
    return readBars(in, sourceName, options, progress, std::size_t{1} << 20);
}

BarTable readBars(std::istream& in, const std::string& sourceName, const ReadOptions& options,
                  const ReadProgress& progress, std::size_t blockBytes, bool orderLater, FreshMemoryAhead* ahead) {
    const std::istream::pos_type start = in.tellg();
    if (start != std::istream::pos_type(-1))
        if (auto table = readByBlocks(in, start, sourceName, options, progress, blockBytes, orderLater, ahead))
            return std::move(*table);
    return readBarsFromText(readAll(in), sourceName, options, progress, orderLater);
}

BarTable readBarsFromText(std::string bytes, const std::string& source, const ReadOptions& options,
                          const ReadProgress& progress, bool orderLater) {
    const auto text = std::make_shared<const std::string>(asUtf8Text(std::move(bytes)));
    const BarLayout layout = findLayout(*text, source, options);
    const RowReader reader(source, layout, options, progress);
    PriceParser prices(layout.separator);
    Rows rows = reader.read(prices, text);
    if (prices.needsSecondPass()) {  // cells read before the file showed its decimal mark
        PriceParser settled(layout.separator, prices.settledMark());
        rows = reader.read(settled, text);
    }
    return finish(std::move(rows), layout, source, options, orderLater);
}

OrderFinding findPendingOrder(const BarTable& table, const std::string& source) {
    return findOrder(table.time, *table.linesForOrder, source);
}

void settleOrder(BarTable& table, const OrderFinding& order, const std::string& source) {
    if (order.newestFirst) {
        table.notes.push_back(source + ": the bars run newest first; computed and written oldest first");
        reverseBars(table);
    }
    table.notes.insert(table.notes.end(), order.notes.begin(), order.notes.end());
    table.linesForOrder.reset();
}

}  // namespace zorvane_cli
