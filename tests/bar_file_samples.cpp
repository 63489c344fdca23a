#include "bar_file_samples.hpp"

#include <charconv>
#include <cmath>
#include <ctime>

namespace testing_support {
namespace {

constexpr long kFirstBar = 1704153600;  // 2024-01-02 00:00 UTC

std::string shortest(float value, std::chars_format format = std::chars_format::general) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, format).ptr);
}

// Fixed notation with `group` between thousands and `decimal` as the mark.
std::string grouped(float value, const std::string& group, char decimal) {
    std::string plain = shortest(value, std::chars_format::fixed), sign;
    if (plain[0] == '-') {
        sign = "-";
        plain.erase(0, 1);
    }
    const std::size_t point = plain.find('.');
    const std::string integer = plain.substr(0, point);
    std::string text;
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0) text += group;
        text += integer[i];
    }
    if (point != std::string::npos) text += decimal + plain.substr(point + 1);
    return sign + text;
}

std::string priceText(float value, PriceStyle style) {
    std::string plain = shortest(value);
    switch (style) {
        case PriceStyle::Plain: return plain;
        case PriceStyle::DecimalComma:
            for (char& c : plain) c = c == '.' ? ',' : c;
            return plain;
        case PriceStyle::QuotedThousands: return "\"" + grouped(value, ",", '.') + "\"";
        case PriceStyle::ThousandsDot: return grouped(value, ".", ',');
        case PriceStyle::QuotedThousandsDot: return "\"" + grouped(value, ".", ',') + "\"";
        case PriceStyle::SpaceThousands: return grouped(value, "\u00A0", ',');
        case PriceStyle::Dollar: return value < 0 ? "-$" + plain.substr(1) : "$" + plain;
    }
    return plain;
}

std::string timeText(long seconds, const std::string& format) {
    const std::time_t time = seconds;
    std::tm parts{};
    gmtime_r(&time, &parts);
    char buffer[128];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format.c_str(), &parts));
}

// The template with its placeholders filled; prices empty means `gap` for each.
std::string expand(const std::string& pattern, long seconds, const std::vector<float>& prices, PriceStyle style,
                   const std::string& gap) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t close = pattern.find('}', i);
        if (pattern[i] != '{' || close == std::string::npos) {
            text += pattern[i];
            continue;
        }
        const std::string key = pattern.substr(i + 1, close - i - 1);
        const std::string prices4 = "ohlc";
        if (key.size() == 1 && prices4.find(key) != std::string::npos)
            text += prices.empty() ? gap : priceText(prices[prices4.find(key)], style);
        else if (key == "s") text += std::to_string(seconds);
        else if (key == "ms") text += std::to_string(seconds * 1000);
        else if (key == "us") text += std::to_string(seconds * 1000000);
        else text += timeText(seconds, key.substr(2));  // "t:..."
        i = close;
    }
    return text;
}

// Midnight of the slot-th day among days 1 to 12 of each month from January 2024.
long dayOfFirstTwelve(long slot) {
    std::tm date{};
    date.tm_mday = static_cast<int>(slot % 12 + 1);
    date.tm_mon = static_cast<int>(slot / 12 % 12);
    date.tm_year = static_cast<int>(124 + slot / 144);
    return static_cast<long>(timegm(&date));
}

void appendUtf16(std::string& out, char32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// UTF-8 text (code points below U+10000) in another encoding.
std::string encoded(const std::string& text, Encoding encoding) {
    if (encoding == Encoding::Utf8) return text;
    std::string out = encoding == Encoding::Utf16 ? "\xFF\xFE" : "";
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) point = point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (encoding == Encoding::Utf16) appendUtf16(out, point);
        else out += static_cast<char>(point < 0x80 ? point : point == 0x401 ? 0xA8 : point == 0x451 ? 0xB8 : point - 0x350);
    }
    return out;
}

}  // namespace

SampleFile writeSample(const BarFileSample& sample, const PriceSeries& series) {
    SampleFile file;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < series.priceA.size(); ++i) {
        const long slot = 2 * static_cast<long>(i);
        const long seconds = sample.firstTwelveDays ? dayOfFirstTwelve(slot) : kFirstBar + slot * sample.step;
        float high = series.priceA[i] * sample.scale, low = series.priceB[i] * sample.scale;
        if (static_cast<int>(i) < sample.wholeFirst) {
            high = std::round(high);
            low = std::round(low);
        }
        lines.push_back(expand(sample.row, seconds, {low, high, low, high}, sample.style, ""));
        file.times.push_back(expand(sample.expectedTime, seconds, {}, sample.style, ""));
        file.high.push_back(high);
        file.low.push_back(low);
        if (sample.gapEvery > 0 && i % sample.gapEvery == static_cast<std::size_t>(sample.gapEvery - 1))
            lines.push_back(expand(sample.row, sample.firstTwelveDays ? dayOfFirstTwelve(slot + 1) : seconds + sample.step,
                                   {}, sample.style, sample.gapText));
    }
    std::string text = sample.header.empty() ? "" : sample.header + sample.lineEnd;
    for (std::size_t k = 0; k < lines.size(); ++k)
        text += lines[sample.newestFirst ? lines.size() - 1 - k : k] + sample.lineEnd;
    if (!sample.footer.empty()) text += sample.footer + sample.lineEnd;
    file.bytes = encoded(text, sample.encoding);
    return file;
}

const std::vector<BarFileSample>& barFileSamples() {
    using S = PriceStyle;
    const long hour = 3600, minute = 60;
    auto sample = [](const char* name, std::string header, std::string row, std::string time, char separator,
                     int variant) {
        BarFileSample s;
        s.name = name;
        s.header = std::move(header);
        s.row = std::move(row);
        s.expectedTime = std::move(time);
        s.separator = separator;
        s.variant = variant;
        return s;
    };
    static const std::vector<BarFileSample> samples = {
        sample("comma, ISO dates", "time,open,high,low,close", "{t:%Y-%m-%d},{o},{h},{l},{c}", "{t:%Y-%m-%d}", ',', 0),
        sample("semicolon, decimal comma, German names, DD.MM.YYYY", "Datum;Eröffnung;Hoch;Tief;Schluss",
               "{t:%d.%m.%Y};{o};{h};{l};{c}", "{t:%d.%m.%Y}", ';', 1)
            .pricesAs(S::DecimalComma),
        sample("TAB, <NAME> columns, date and time apart (MetaTrader 5)",
               "<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t<TICKVOL>",
               "{t:%Y.%m.%d}\t{t:%H:%M:%S}\t{o}\t{h}\t{l}\t{c}\t17", "{t:%Y.%m.%d} {t:%H:%M:%S}", '\t', 2)
            .barsEvery(hour)
            .windowsLineEnds(),
        sample("| separated, epoch seconds", "time|high|low", "{s}|{h}|{l}", "{s}", '|', 3).barsEvery(minute),
        sample("no header row (MetaTrader 4)", "", "{t:%Y.%m.%d},{t:%H:%M},{o},{h},{l},{c},17",
               "{t:%Y.%m.%d} {t:%H:%M}", ',', 4)
            .barsEvery(hour)
            .windowsLineEnds()
            .expectingNote("no header row; columns read as date, time, open, high, low, close, volume"),
        sample("no header row, named by --columns, one time field", "", "{t:%Y%m%d %H%M%S};{o};{h};{l};{c};0",
               "{t:%Y%m%d %H%M%S}", ';', 5)
            .barsEvery(minute)
            .runWith("--columns time,open,high,low,close,volume,extra --separator ';'")
            .expectingNote("--columns names 7 columns, the file has 6; the rest are not used"),
        sample("<HIGH> names, byte-order mark, YYYYMMDD and HHMMSS apart (Finam)",
               "\xEF\xBB\xBF<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>",
               "SBER,60,{t:%Y%m%d},{t:%H%M%S},{o},{h},{l},{c},100", "{t:%Y%m%d} {t:%H%M%S}", ',', 6)
            .barsEvery(hour),
        sample("quoted thousands, MM/DD/YYYY, newest first (Investing.com)",
               "\"Date\",\"Price\",\"Open\",\"High\",\"Low\",\"Vol.\",\"Change %\"",
               "\"{t:%m/%d/%Y}\",{c},{o},{h},{l},\"1.2K\",\"-0.5%\"", "{t:%m/%d/%Y}", ',', 12)
            .pricesAs(S::QuotedThousands)
            .scaledBy(997)
            .listedNewestFirst()
            .expectingNote("the bars run newest first; computed and written oldest first"),
        sample("quoted 1.234,56 between commas, DD.MM.YYYY, newest first",
               "\"Datum\",\"Zuletzt\",\"Eröffn.\",\"Hoch\",\"Tief\",\"Vol.\",\"+/- %\"",
               "\"{t:%d.%m.%Y}\",{c},{o},{h},{l},\"80,87M\",\"0,97%\"", "{t:%d.%m.%Y}", ',', 7)
            .pricesAs(S::QuotedThousandsDot)
            .listedNewestFirst(),
        sample("French names, 1 234,56, DD/MM/YYYY", "Date;Ouverture;Plus haut;Plus bas;Clôture",
               "{t:%d/%m/%Y};{o};{h};{l};{c}", "{t:%d/%m/%Y}", ';', 13)
            .pricesAs(S::SpaceThousands)
            .scaledBy(997),
        sample("Spanish names, TAB, decimal comma, DD/MM/YYYY newest first", "Fecha\tÚltimo\tApertura\tMáximo\tMínimo",
               "{t:%d/%m/%Y}\t{c}\t{o}\t{h}\t{l}", "{t:%d/%m/%Y}", '\t', 8)
            .pricesAs(S::DecimalComma)
            .listedNewestFirst(),
        sample("DD/MM/YYYY on days 1 to 12 only: month first would go back and forth", "Date;High;Low",
               "{t:%d/%m/%Y};{h};{l}", "{t:%d/%m/%Y}", ';', 25)
            .onFirstTwelveDays()
            .pricesAs(S::DecimalComma),
        sample("Italian names, DD-MM-YYYY", "Data,Apertura,Massimo,Minimo,Chiusura", "{t:%d-%m-%Y},{o},{h},{l},{c}",
               "{t:%d-%m-%Y}", ',', 9),
        sample("Russian names in Windows-1251, 1.234,56, --time", "Дата;Время;Откр.;Макс.;Мин.;Закр.",
               "{t:%d.%m.%Y};{t:%H:%M};{o};{h};{l};{c}", "{t:%d.%m.%Y} {t:%H:%M}", ';', 14)
            .pricesAs(S::ThousandsDot)
            .scaledBy(997)
            .wholePricesFirst(40)
            .barsEvery(hour)
            .encodedAs(Encoding::Windows1251)
            .windowsLineEnds()
            .runWith("--time Дата,Время"),
        sample("Portuguese names, UTF-16", "Data\tAbertura\tMáxima\tMínima\tFechamento", "{t:%d/%m/%Y}\t{o}\t{h}\t{l}\t{c}",
               "{t:%d/%m/%Y}", '\t', 15)
            .pricesAs(S::DecimalComma)
            .encodedAs(Encoding::Utf16)
            .windowsLineEnds(),
        sample("null gap rows (Yahoo)", "Date,Open,High,Low,Close,Adj Close,Volume",
               "{t:%Y-%m-%d},{o},{h},{l},{c},{c},100", "{t:%Y-%m-%d}", ',', 16)
            .gapRows("null", 17)
            .expectingNote("skipped 17 rows without prices (lines 19, 37, 55, 73, 91, ...)"),
        sample("empty-cell gaps, ISO time with a zone", "timestamp,open,high,low,close",
               "{t:%Y-%m-%dT%H:%M:%S+01:00},{o},{h},{l},{c}", "{t:%Y-%m-%dT%H:%M:%S+01:00}", ',', 17)
            .barsEvery(15 * minute)
            .gapRows("", 23),
        sample("no header row, epoch milliseconds (Binance)", "", "{ms},{o},{h},{l},{c},12.5,{ms},1000.5,42,1.5,2.5,0",
               "{ms}", ',', 18)
            .barsEvery(minute),
        sample("epoch microseconds, NaN gaps, newest first", "open_time,high,low", "{us},{h},{l}", "{us}", ',', 19)
            .barsEvery(minute)
            .gapRows("NaN", 31)
            .listedNewestFirst(),
        sample("DD.MM.YYYY HH:MM:SS.mmm (Dukascopy)", "Gmt time,Open,High,Low,Close,Volume",
               "{t:%d.%m.%Y %H:%M:%S}.000,{o},{h},{l},{c},0", "{t:%d.%m.%Y %H:%M:%S}.000", ',', 20)
            .barsEvery(hour),
        sample("MM/DD/YYYY with AM/PM", "Date,High,Low", "{t:%m/%d/%Y %I:%M:%S %p},{h},{l}", "{t:%m/%d/%Y %I:%M:%S %p}",
               ',', 21)
            .barsEvery(5 * hour),
        sample("$ prices, MM/DD/YYYY newest first (Nasdaq)", "Date,Close/Last,Volume,Open,High,Low",
               "{t:%m/%d/%Y},{c},100,{o},{h},{l}", "{t:%m/%d/%Y}", ',', 9)
            .pricesAs(S::Dollar)
            .listedNewestFirst(),
        sample("month names, quoted, newest first", "Date,Open,High,Low,Close", "\"{t:%b %d, %Y}\",{o},{h},{l},{c}",
               "{t:%b %d, %Y}", ',', 22)
            .listedNewestFirst(),
        sample("sep= line", "sep=;\nDate;High;Low", "{t:%Y-%m-%d};{h};{l}", "{t:%Y-%m-%d}", ';', 23)
            .pricesAs(S::DecimalComma),
        sample("a title line, a footer line (Barchart)", "AAPL daily prices\n\nTime,Open,High,Low,Last,Change,Volume",
               "{t:%m/%d/%Y},{o},{h},{l},{c},+0.5,100", "{t:%m/%d/%Y}", ',', 26)
            .endingWith("\"Downloaded from Barchart.com as of 01-03-2024 09:23am CST\"")
            .expectingNote("1 line of one field after the bars skipped"),
        sample("spaces after commas, two-digit years, newest first (WSJ)", "Date, Open, High, Low, Close, Volume",
               "{t:%m/%d/%y}, {o}, {h}, {l}, {c}, 100", "{t:%m/%d/%y}", ',', 27)
            .listedNewestFirst(),
        sample("ticker-prefixed names (R quantmod), names with a unit", "Index,AAPL.Open,AAPL.High,Low (USD),AAPL.Close",
               "{t:%Y-%m-%d},{o},{h},{l},{c}", "{t:%Y-%m-%d}", ',', 28),
        sample("bars without dates, --order desc", "bar,high,low", "b{s},{h},{l}", "b{s}", ',', 24)
            .barsEvery(1)
            .listedNewestFirst()
            .runWith("--order desc"),
    };
    return samples;
}

}  // namespace testing_support
