#include "csv_reader.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

namespace zorvane_cli {
namespace {

// Splits CSV records: fields separated by `separator`; a field in double
// quotes may hold separators, line breaks and doubled quotes.
class RecordReader {
public:
    RecordReader(std::istream& in, std::string source, long firstLine)
        : in_(*in.rdbuf()), source_(std::move(source)), line_(firstLine) {}

    // The next record that is not blank; false at the end of the input.
    bool next(char separator, std::vector<std::string>& fields) {
        while (readRecord(separator, fields))
            if (!(fields.size() == 1 && fields[0].empty() && !quoted_)) return true;
        return false;
    }
    long line() const { return recordLine_; }

private:
    bool readRecord(char separator, std::vector<std::string>& fields) {
        fields.clear();
        std::string field;
        bool inQuotes = false, any = false;
        quoted_ = false;
        recordLine_ = line_;
        for (;;) {
            const int c = in_.sbumpc();
            if (c == std::char_traits<char>::eof()) {
                if (inQuotes)
                    throw InputError(source_ + ":" + std::to_string(recordLine_) +
                                     ": quoted field is never closed");
                if (!any) return false;
                fields.push_back(std::move(field));
                return true;
            }
            any = true;
            if (inQuotes) {
                if (c == '"') {
                    if (in_.sgetc() == '"') {
                        field += '"';
                        in_.sbumpc();
                    } else {
                        inQuotes = false;
                    }
                } else {
                    if (c == '\n') ++line_;
                    field += static_cast<char>(c);
                }
            } else if (c == '"' && field.empty()) {
                inQuotes = quoted_ = true;
            } else if (c == separator) {
                fields.push_back(std::move(field));
                field.clear();
            } else if (c == '\n' || c == '\r') {
                if (c == '\r' && in_.sgetc() == '\n') in_.sbumpc();
                ++line_;
                fields.push_back(std::move(field));
                return true;
            } else {
                field += static_cast<char>(c);
            }
        }
    }

    std::streambuf& in_;
    std::string source_;
    long line_, recordLine_ = 0;
    bool quoted_ = false;
};

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The separator used most often outside quotes in the header line.
char detectSeparator(const std::string& header) {
    int commas = 0, semicolons = 0;
    bool inQuotes = false;
    for (char c : header) {
        if (c == '"') inQuotes = !inQuotes;
        if (inQuotes) continue;
        commas += c == ',';
        semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

// A price as the nearest float. Accepts a leading '+', surrounding blanks,
// nan and inf, and a decimal comma when the separator is not a comma.
bool parsePrice(const std::string& text, char separator, float& value) {
    std::string number = trimmed(text);
    if (!number.empty() && number[0] == '+') number.erase(0, 1);
    if (separator != ',' && number.find(',') != std::string::npos && number.find('.') == std::string::npos)
        std::replace(number.begin(), number.end(), ',', '.');
    if (number.empty()) return false;
    const char* end = number.data() + number.size();
    const auto result = std::from_chars(number.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

// Column names for a message: unprintable bytes shown as '?', long lists cut.
std::string listOf(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ", ") + name;
    for (char& c : list)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    return list.size() > 200 ? list.substr(0, 200) + "..." : list;
}

}  // namespace

BarTable readBars(std::istream& in, const std::string& sourceName, const ColumnChoice& columns,
                  const ReadProgress& progress) {
    std::string headerLine;
    if (!std::getline(in, headerLine))
        throw InputError(sourceName + ": empty input, expected a header row");
    if (headerLine.rfind("\xEF\xBB\xBF", 0) == 0) headerLine.erase(0, 3);  // byte order mark
    if (!headerLine.empty() && headerLine.back() == '\r') headerLine.pop_back();

    BarTable table;
    table.separator = detectSeparator(headerLine);
    std::vector<std::string> header;
    std::istringstream headerText(headerLine);
    RecordReader(headerText, sourceName, 1).next(table.separator, header);
    for (auto& name : header) name = trimmed(name);
    if (header.empty()) throw InputError(sourceName + ":1: empty header row");

    auto columnOf = [&](const std::string& wanted, const char* role) {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (lowered(header[i]) == lowered(trimmed(wanted))) return i;
        throw InputError(sourceName + ":1: no column named \"" + wanted + "\" for " + role +
                         " (columns: " + listOf(header) + ")");
    };
    const std::size_t columnA = columnOf(columns.price.value_or(columns.priceA), "the first price");
    const std::size_t columnB = columnOf(columns.price.value_or(columns.priceB), "the second price");
    const std::size_t columnTime = columns.time ? columnOf(*columns.time, "the time") : 0;
    table.timeName = header[columnTime];
    table.priceAName = header[columnA];
    table.priceBName = header[columnB];
    table.singlePrice = columnA == columnB;

    RecordReader records(in, sourceName, 2);
    std::vector<std::string> fields;
    while (records.next(table.separator, fields)) {
        const std::string where = sourceName + ":" + std::to_string(records.line());
        if (fields.size() != header.size())
            throw InputError(where + ": expected " + std::to_string(header.size()) +
                             " fields as in the header, found " + std::to_string(fields.size()));
        float prices[2];
        const std::size_t priceColumns[2] = {columnA, columnB};
        for (int k = 0; k < 2; ++k) {
            const std::size_t column = priceColumns[k];
            if (!parsePrice(fields[column], table.separator, prices[k]))
                throw InputError(where + ": column " + std::to_string(column + 1) + " (\"" +
                                 header[column] + "\"): not a price: \"" + fields[column] + "\"");
        }
        table.time.push_back(std::move(fields[columnTime]));
        table.priceA.push_back(prices[0]);
        table.priceB.push_back(prices[1]);
        if (progress && table.size() % (1u << 20) == 0) progress(table.size());
    }
    if (table.size() == 0) throw InputError(sourceName + ": no bars after the header");
    return table;
}

}  // namespace zorvane_cli
