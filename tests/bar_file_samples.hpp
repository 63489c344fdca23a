// Bar files laid out as trading platforms and data sources export them,
// written from a price series, with the bars they hold in time order: what
// the command-line host must read from each.
#pragma once

#include <string>
#include <vector>

#include "series_generator.hpp"

namespace testing_support {

enum class PriceStyle {
    Plain,               // 1234.5
    DecimalComma,        // 1234,5
    QuotedThousands,     // "1,234.5"
    ThousandsDot,        // 1.234,5
    QuotedThousandsDot,  // "1.234,5"
    SpaceThousands,      // 1 234,5 with a no-break space
    Dollar,              // $1234.5
};

enum class Encoding { Utf8, Windows1251, Utf16 };

struct BarFileSample {
    std::string name;
    std::string header;        // lines before the bars ("" for none)
    std::string footer;        // lines after them
    std::string row;           // a bar: {o} {h} {l} {c} prices, {t:strftime} {s} {ms} {us} its time
    std::string expectedTime;  // the time column the output holds, in the same placeholders
    char separator = ',';      // of the output, as of the input
    int variant = 0;           // of generateSeries
    PriceStyle style = PriceStyle::Plain;
    long step = 86400;  // seconds between bars
    bool firstTwelveDays = false;  // daily bars on days 1 to 12 of each month only
    int wholeFirst = 0;            // bars whose prices are whole numbers, from the first
    std::string arguments;
    bool newestFirst = false;
    std::string gapText;  // rows with this as every price go between bars
    int gapEvery = 0;
    float scale = 1;
    Encoding encoding = Encoding::Utf8;
    std::string lineEnd = "\n";
    std::string note;  // expected on standard error

    BarFileSample& pricesAs(PriceStyle s) { return style = s, *this; }
    BarFileSample& barsEvery(long seconds) { return step = seconds, *this; }
    BarFileSample& onFirstTwelveDays() { return firstTwelveDays = true, *this; }
    BarFileSample& wholePricesFirst(int bars) { return wholeFirst = bars, *this; }
    BarFileSample& runWith(std::string a) { return arguments = std::move(a), *this; }
    BarFileSample& listedNewestFirst() { return newestFirst = true, *this; }
    BarFileSample& gapRows(std::string text, int every) { return gapText = std::move(text), gapEvery = every, *this; }
    BarFileSample& scaledBy(float factor) { return scale = factor, *this; }
    BarFileSample& encodedAs(Encoding e) { return encoding = e, *this; }
    BarFileSample& windowsLineEnds() { return lineEnd = "\r\n", *this; }
    BarFileSample& endingWith(std::string lines) { return footer = std::move(lines), *this; }
    BarFileSample& expectingNote(std::string text) { return note = std::move(text), *this; }
};

const std::vector<BarFileSample>& barFileSamples();

struct SampleFile {
    std::string bytes;
    std::vector<std::string> times;  // of the bars, oldest first
    std::vector<float> high, low;
};

// The bars: high and low from the series (times `scale`), open the low, close the high.
// Bar i is at 2 * i steps from 2024-01-02, a gap row between at 2 * i + 1.
SampleFile writeSample(const BarFileSample& sample, const PriceSeries& series);

}  // namespace testing_support
