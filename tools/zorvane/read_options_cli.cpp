#include "read_options_cli.hpp"

#include <map>

#include "column_names.hpp"

namespace zorvane_cli {

namespace {

// An option that takes one of a few words; anything else is refused with the list.
template <class Value, class Store>
void addChoice(CLI::App& app, const std::string& name, const std::map<std::string, Value>& words,
               const std::string& accepted, Store store, const std::string& description, const std::string& fallback) {
    app.add_option_function<std::string>(
           name,
           [=](const std::string& text) {
               const auto found = words.find(text);
               if (found == words.end()) throw CLI::ValidationError(name, "use " + accepted + ", not \"" + text + "\"");
               store(found->second);
           },
           description)
        ->type_name("WORD")
        ->default_str(fallback);
}

}  // namespace

void addReadOptions(CLI::App& app, ReadOptions& options) {
    app.add_option("--price-a", options.priceA, "column of the first price")->capture_default_str();
    app.add_option("--price-b", options.priceB, "column of the second price")->capture_default_str();
    app.add_option("--price", options.price, "one column used as both prices");
    app.add_option("--time", options.time,
                   "time column passed through, or two joined by a space: --time date,time (default: found, see "
                   "below)");
    app.add_option("--columns", options.columns,
                   "names for the columns in order, comma separated: for a file without a header row, or to "
                   "rename (e.g. --columns date,time,open,high,low,close,volume)");
    addChoice<char>(app, "--separator",
                    {{",", ','}, {";", ';'}, {"|", '|'}, {"tab", '\t'}, {"\t", '\t'}, {"\\t", '\t'}}, ", ; | or tab",
                    [&options](char separator) { options.separator = separator; },
                    "field separator: , ; | or tab (default: found from the first lines)", "");
    addChoice<GapChoice>(app, "--gaps", {{"skip", GapChoice::Skip}, {"error", GapChoice::Error}}, "skip or error",
                         [&options](GapChoice gaps) { options.gaps = gaps; },
                         "rows without prices (null, NaN, N/A, -, empty): skip or error", "skip");
    addChoice<OrderChoice>(
        app, "--order",
        {{"auto", OrderChoice::Auto}, {"asc", OrderChoice::Ascending}, {"desc", OrderChoice::Descending}}, "auto, asc or desc",
        [&options](OrderChoice order) { options.order = order; },
        "bar order in the file: auto (from the times), asc (oldest first), desc (newest first)", "auto");
}

std::string layoutsHelp() {
    return R"(Bar files it reads. Each example is a header row, then a bar (⏎ marks a line break, \t a TAB):
  comma, ISO dates            time,open,high,low,close ⏎ 2024-01-02,100.5,101.2,99.8,100.9
  semicolon, decimal comma    Datum;Eröffnung;Hoch;Tief;Schluss ⏎ 02.01.2024;100,5;101,2;99,8;100,9
  TAB, <NAME> columns         <DATE>\t<TIME>\t<HIGH>\t<LOW> ⏎ 2024.01.02\t09:00:00\t1.105\t1.103
  | separated                 date|high|low ⏎ 2024-01-02|101.2|99.8
  no header row               2024.01.02,09:00,1.1042,1.105,1.103,1.1045,1234 (date,time,open,high,low,close,volume)
  no header row, one time     20240102 093000;1.1042;1.105;1.103;1.1045;17 (time,open,high,low,close,volume)
  no header row, other order  1,2024-01-02,99.8,101.2 with --columns id,time,low,high
  <HIGH> names, byte-order mark, date and time apart
                              <TICKER>,<PER>,<DATE>,<TIME>,<HIGH>,<LOW> ⏎ SBER,D,20240102,000000,274.7,270.93
  names in other languages    Data;Apertura;Massimo;Minimo ⏎ 02/01/2024;1,1042;1,105;1,103
  thousands, quoted           "Date","Price","High","Low" ⏎ "01/03/2024","51,994.63","52,100.00","51,800.25"
  thousands and decimal comma Datum;Hoch;Tief ⏎ 03.01.2024;1.100,50;1.098,25
  currency signs              Date,Close/Last,Open,High,Low ⏎ 01/02/2024,$185.64,$187.15,$188.44,$183.885
  gaps                        Date,Open,High,Low,Close ⏎ 2020-03-04,null,null,null,null  (also NaN, N/A, -, empty)
  newest bar first            Date,High,Low ⏎ 2024-01-03,101.2,99.8 ⏎ 2024-01-02,100.9,99.1
  date and time apart         Date,Time,High,Low ⏎ 2024-01-02,09:30,101.2,99.8
  epoch seconds, ms, us, ns   time,high,low ⏎ 1704187800,101.2,99.8  (or 1704187800000, 1704187800000000)
  ISO time with a zone        time,high,low ⏎ 2024-01-02T09:30:00-05:00,101.2,99.8
  YYYYMMDD, YYYY.MM.DD        Date,High,Low ⏎ 20240102,101.2,99.8  (or 2024.01.02, 2024/01/02)
  DD.MM.YYYY                  Gmt time,Open,High,Low,Close ⏎ 02.01.2024 00:00:00.000,1.1042,1.105,1.103,1.1045
  MM/DD/YYYY or DD/MM/YYYY    Date,High,Low ⏎ 01/02/2024,101.2,99.8
  month names                 Date,High,Low ⏎ "Jan 02, 2024",101.2,99.8  (or 02-Jan-2024, 2 January 2024)
  sep= line                   sep=; ⏎ Date;High;Low ⏎ 2024-01-02;101,2;99,8
  a title, a footer line      AAPL daily ⏎ Time,High,Low ⏎ 01/02/2024,101.2,99.8 ⏎ "Downloaded from ..."
  spaces after separators     Date, High, Low ⏎ 01/02/24, 101.2, 99.8
  UTF-16 with byte-order mark any of the above

How it decides:
  Separator: TAB, ; or | when every one of the first lines holds it equally often, else comma.
  Title and footer: lines of one field before the first line of several, and after the last bar, are
    skipped (a note says so).
  Header: a first row of numbers, dates and times is a bar; such a file's columns are named with --columns,
    or recognised as [date,time|time],open,high,low,close[,volume] when every bar fits (low <= open, close <= high).
  Column names: case, accents, brackets, quotes, punctuation and a byte-order mark are ignored, then a
    trailing (unit) and a prefix before the last word (AAPL.High); the usual names in other languages are
    found for high, low, open, close, date and time:
)" + highLowSynonyms() +
           R"(
  Numbers: a decimal point or comma, digits grouped in thousands by , . space or ' (the group mark is the
    other one of the two), a leading + or -, a currency sign ($ € £ ¥ ₽ ₹). A cell like 1,234 or 1.234 follows
    the mark the file's other prices show; when none do, a point is decimal, and a comma is decimal unless
    commas separate the fields. inf is a price; anything else is an error. Unused columns are never read.
  Gaps: rows where a price is empty, null, NaN, N/A, NA, none, - or -- are skipped (--gaps skip; a note says
    how many and where) or refused (--gaps error).
  Time: the first column named and written like a date or time, else the first written like one, else the
    first named like one, else the first column; a date followed by a time of day is joined with a space.
    01/02/2024 is read month first or day first, whichever puts the bars in one order; if both do, in
    opposite orders, the file is refused (give --order). Epoch numbers: 9-10 digits are seconds, 12-13
    milliseconds, 15-16 microseconds, 18-19 nanoseconds.
  Order: newest-first files are computed and written oldest first (a note says so). A file whose times go
    both ways is refused; --order asc or desc takes the file order as it stands, or reversed. Repeated times
    are kept. Times that are not dates keep the file order.
)";
}

}  // namespace zorvane_cli
