// The bar-file reader a block at a time (and with the bars' order found
// after reading) against the reader of the whole text: the same table
// (times, price bits, names, notes) or the same error, for every platform
// layout the host reads, each with a gap, a quote, a footer, out-of-order
// bars or an unreadable cell put in somewhere, read in blocks of a few sizes
// (with the order found after reading as the host reads: its memory mapped
// ahead on a second thread).
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include "bar_file_samples.hpp"
#include "csv_reader.hpp"

using namespace zorvane_cli;
using testing_support::barFileSamples;
using testing_support::generateSeries;

namespace {

// A table, or the error, as text: what must agree bit for bit.
std::string outcome(const std::function<BarTable()>& read) {
    std::string text;
    try {
        const BarTable t = read();
        text = t.timeName + "|" + t.priceAName + "|" + t.priceBName + "|" + t.separator + (t.singlePrice ? "1" : "0");
        for (const auto& note : t.notes) text += "\nnote " + note;
        for (std::size_t i = 0; i < t.size(); ++i) {
            std::uint32_t a, b;
            std::memcpy(&a, &t.priceA[i], 4);
            std::memcpy(&b, &t.priceB[i], 4);
            (text += '\n').append(t.time[i]) += " " + std::to_string(a) + " " + std::to_string(b);
        }
    } catch (const InputError& e) {
        text = std::string("error ") + e.what();
    }
    return text;
}

// The file's text with a change at one line: none, quotes, a gap row, a
// footer, two lines swapped, a cell that is not a price, a blank line.
std::string altered(const std::string& text, int change, std::size_t seed) {
    std::vector<std::size_t> starts = {0};
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && i + 1 < text.size()) starts.push_back(i + 1);
    if (change == 0 || starts.size() < 4) return text;
    const std::size_t k = 2 + seed % (starts.size() - 2), at = starts[k];
    const std::size_t end = text.find('\n', at) == std::string::npos ? text.size() : text.find('\n', at) + 1;
    const std::string line = text.substr(at, end - at);
    std::string changed = line;
    switch (change) {
        case 1: changed = "\"" + line + "\""; break;  // a quoted field across a line end
        case 2: changed = ",,,,\n" + line; break;
        case 3: return text + "Downloaded from somewhere\n";
        case 4: return text.substr(0, starts[k - 1]) + line + text.substr(starts[k - 1], at - starts[k - 1]) +
                       text.substr(end);
        case 5: changed = "x" + line; break;
        case 6: changed = "\n" + line; break;
    }
    return text.substr(0, at) + changed + text.substr(end);
}

// Read as the host reads: a second thread maps the columns ahead meanwhile.
BarTable readMappingAhead(std::istream& in, std::size_t block) {
    FreshMemoryAhead ahead;
    std::thread mapping([&ahead] {
        if (ahead.waitForReserved() > 0) ahead.keepAhead(nullptr, 0);
    });
    BarTable table;
    try {
        const ReadingEnds ends(&ahead);
        table = readBars(in, "f.csv", ReadOptions{}, {}, block, true, &ahead);
    } catch (...) {
        mapping.join();
        throw;
    }
    mapping.join();
    return table;
}

TEST(CsvBlocks, EveryLayoutReadsTheSameInBlocks) {
    int files = 0;
    for (const auto& sample : barFileSamples()) {
        const auto file = writeSample(sample, generateSeries(sample.variant));
        for (int change = 0; change <= 6; ++change) {
            const std::string text = altered(file.bytes, change, files++ * 7919);
            const std::string whole = outcome([&] { return readBarsFromText(text, "f.csv", ReadOptions{}); });
            for (std::size_t block : {64, 701, 4096}) {
                std::istringstream in(text);
                const std::string blocks = outcome([&] { return readBars(in, "f.csv", ReadOptions{}, {}, block); });
                ASSERT_EQ(blocks, whole) << sample.name << " change " << change << " blocks of " << block;
                // The order left to be found after reading, as the host finds it.
                std::istringstream again(text);
                const std::string orderLater = outcome([&] {
                    BarTable table = readMappingAhead(again, block);
                    if (table.linesForOrder) settleOrder(table, findPendingOrder(table, "f.csv"), "f.csv");
                    return table;
                });
                ASSERT_EQ(orderLater, whole) << sample.name << " change " << change << " blocks of " << block;
            }
        }
    }
    EXPECT_GT(files, 100);
}

}  // namespace
