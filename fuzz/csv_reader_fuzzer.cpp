// libFuzzer target for the bar-file reader: any bytes, read with options
// drawn from the first byte. The sanitizers catch stray accesses and
// undefined behaviour; a table the reader returns must hold one time and
// two non-NaN prices per bar, and written out as the host writes it and read
// back with its columns named, must give the same times and the same price
// bits; text without quotes must split the same by the plain splitter.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "csv_reader.hpp"
#include "csv_records.hpp"
#include "csv_writer.hpp"
#include "plain_records.hpp"

namespace {

using namespace zorvane_cli;

void check(bool condition) {
    if (!condition) std::abort();
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

ReadOptions optionsFrom(std::uint8_t choice) {
    ReadOptions options;
    if (choice & 1) options.separator = ",;\t|"[(choice >> 1) & 3];
    if (choice & 8) options.gaps = GapChoice::Error;
    options.order = static_cast<OrderChoice>((choice >> 4) % 3);
    if (choice & 0x40) options.price = "close";
    if (choice & 0x80) options.columns = "time,open,high,low,close";
    return options;
}

// The table as the host writes it (no indicator columns), read back.
void expectRoundTrip(const BarTable& table) {
    std::ostringstream out;
    check(writeIndicatorCsv(out, table, IndicatorOutputs{}, {}));
    const std::string text = out.str();
    // A first line the reader takes for a byte-order mark or a separator line.
    if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) return;
    if (text.rfind("sep=", 0) == 0 && text.size() > 5 && (text[5] == '\n' || text[5] == '\r')) return;

    ReadOptions again;
    again.separator = table.separator;
    again.header = true;
    again.columns = table.singlePrice ? "t,a" : "t,a,b";
    again.time = "t";
    again.priceA = "a";
    again.priceB = table.singlePrice ? "a" : "b";
    again.order = OrderChoice::Ascending;
    again.gaps = GapChoice::Error;
    const BarTable back = readBarsFromText(text, "written", again);
    check(back.size() == table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        check(back.time[i] == table.time[i]);
        check(sameBits(back.priceA[i], table.priceA[i]) && sameBits(back.priceB[i], table.priceB[i]));
    }
}

// The same bytes read a small block at a time must give the same table or
// the same error as the whole text.
void expectSameInBlocks(const std::string& text, const ReadOptions& options, const BarTable* whole,
                        const std::string& wholeError) {
    std::istringstream in(text);
    try {
        const BarTable blocks = readBars(in, "fuzz", options, {}, 64);
        check(whole && blocks.size() == whole->size() && blocks.notes == whole->notes &&
              blocks.timeName == whole->timeName && blocks.separator == whole->separator);
        for (std::size_t i = 0; i < blocks.size(); ++i)
            check(blocks.time[i] == whole->time[i] && sameBits(blocks.priceA[i], whole->priceA[i]) &&
                  sameBits(blocks.priceB[i], whole->priceB[i]));
    } catch (const InputError& e) {
        check(!whole && wholeError == e.what());
    }
}

// Text without quotes: the plain splitter gives the general one's records and lines.
void expectSamePlainRecords(const std::string& text, char separator) {
    if (text.find('"') != std::string::npos) return;
    RecordSplitter general(text, 0, 1, "fuzz", separator);
    PlainRecordSplitter plain(text, 0, 1, separator);
    std::vector<std::string_view> expected, actual;
    for (;;) {
        const bool more = general.next(expected);
        check(plain.next(actual) == more && plain.line() == general.line() && plain.nextLine() == general.nextLine());
        if (!more) return;
        check(actual == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ReadOptions options = optionsFrom(data[0]);
    expectSamePlainRecords(text, options.separator.value_or(','));
    BarTable table;
    try {
        table = readBarsFromText(text, "fuzz", options);
    } catch (const InputError& e) {
        expectSameInBlocks(text, options, nullptr, e.what());
        return 0;
    }
    expectSameInBlocks(text, options, &table, "");
    check(table.size() > 0 && table.time.size() == table.size() && table.priceB.size() == table.size());
    for (std::size_t i = 0; i < table.size(); ++i) check(!std::isnan(table.priceA[i]) && !std::isnan(table.priceB[i]));
    expectRoundTrip(table);
    return 0;
}
