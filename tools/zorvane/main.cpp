// zorvane: runs the Zorvane Oscillator module over CSV bars, writes the
// indicator as CSV and, if asked, draws it as an SVG chart.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "atomic_file.hpp"
#include "csv_reader.hpp"
#include "csv_writer.hpp"
#include "html_report.hpp"
#include "install_layout.hpp"
#include "module_loader.hpp"
#include "platform.hpp"
#include "read_options_cli.hpp"
#include "svg_chart.hpp"
#include "zorvane/oscillator.hpp"
#include "zorvane/version.h"

namespace cli = zorvane_cli;

namespace {

constexpr const char* kVersion = "zorvane " ZORVANE_VERSION_STRING;
constexpr std::size_t kProgressAbove = 1000000;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

struct Settings {
    std::string input;
    std::string output;
    std::string svg;
    std::size_t svgBars = cli::kReadableBars;
    std::string html;
    std::string modulePath;
    std::vector<std::string> modes = {"cycle-average", "smoothed-price", "sine", "lead-sine"};
    cli::ReadOptions reading;
    bool sample = false;
};

// Progress on standard error for long inputs, only when a person watches it.
class Progress {
public:
    explicit Progress(bool wanted) : enabled_(wanted && cli::standardErrorIsConsole()) {}
    void say(const std::string& what) {
        if (!enabled_) return;
        std::fprintf(stderr, "\r%-60s", what.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    ~Progress() {
        if (shown_) std::fprintf(stderr, "\r%-60s\r", "");
    }

private:
    bool enabled_;
    bool shown_ = false;
};

cli::BarTable readInput(const Settings& settings, Progress& progress, cli::FreshMemoryAhead* ahead) {
    auto onProgress = [&progress](std::size_t bars) {
        progress.say("reading: " + std::to_string(bars) + " bars");
    };
    cli::BarTable bars;
    if (settings.input == "-") {
        bars = cli::readBars(std::cin, "<stdin>", settings.reading, onProgress, kBlockBytes, true, ahead);
    } else {
        std::error_code error;
        if (std::filesystem::is_directory(cli::nativePath(settings.input), error))
            throw cli::InputError(settings.input + ": is a folder, not a CSV file");
        std::ifstream file(cli::nativePath(settings.input), std::ios::binary);
        if (!file) throw cli::InputError(settings.input + ": cannot open: " + std::strerror(errno));
        bars = cli::readBars(file, settings.input, settings.reading, onProgress, kBlockBytes, true, ahead);
    }
    return bars;
}

std::string sourceName(const Settings& settings) { return settings.input == "-" ? "<stdin>" : settings.input; }

// An output that goes to standard output for "-", otherwise through a
// temporary file that is renamed into place only when every output of the
// run has been written.
class Output {
public:
    explicit Output(const std::string& path) {
        if (path != "-") file_ = std::make_unique<cli::AtomicFile>(path);
    }
    std::ostream& stream() { return file_ ? file_->stream() : std::cout; }
    void expect(std::uint64_t bytes) {
        if (file_) file_->expect(bytes);
    }
    void commit() {
        if (file_) file_->commit();
    }

private:
    std::unique_ptr<cli::AtomicFile> file_;
};

std::string describe(const zorvane::PeriodRange& range) {
    if (range.highest == 0) return "no cycle found";
    return std::to_string(range.lowest) + " to " + std::to_string(range.highest) + " bars";
}

// Room for every output, `bars` values each (in the room reserved while
// reading, when that holds them).
void prepareOutputs(std::size_t bars, cli::IndicatorOutputs& outputs) {
    for (auto& output : outputs) {
        output.reserve(bars);
        cli::prefaultFor(output);
        output.resize(bars);
    }
}

// The bars read on this thread while, where the system can, a second thread
// maps the columns' fresh memory ahead of their filling, and then room for
// the outputs of the bars the reading expects.
cli::BarTable readWithOutputsRoom(const Settings& settings, Progress& progress, cli::IndicatorOutputs& outputs) {
    if (!cli::FreshMemoryAhead::available()) return readInput(settings, progress, nullptr);
    cli::FreshMemoryAhead ahead;
    cli::BarTable bars;
    cli::runTogether(
        [&] {
            const cli::ReadingEnds ends(&ahead);
            bars = readInput(settings, progress, &ahead);
        },
        [&] {
            const std::size_t expected = ahead.waitForReserved();
            if (expected == 0) return;
            cli::FreshMemoryAhead::Block later[cli::kModes];
            for (int m = 0; m < cli::kModes; ++m) {
                outputs[m].reserve(expected);
                later[m] = {outputs[m].data(), outputs[m].capacity() * sizeof(float)};
            }
            ahead.keepAhead(later, cli::kModes);
        });
    return bars;
}

// Every output from the built-in library's one pass, or, with --module, from
// that module's call per mode as a platform makes them. The period range is
// the library's measurement either way (a module reports no period), and
// `final` (if given) is told which rows are final as the one pass goes.
zorvane::PeriodRange computeOutputs(const cli::BarTable& bars, const cli::LoadedModule* module,
                                    cli::IndicatorOutputs& outputs, Progress& progress,
                                    const std::function<void(std::size_t)>& final = {}) {
    const bool showProgress = bars.size() > kProgressAbove;
    if (!module) {
        if (showProgress) progress.say("computing");
        return zorvane::compute(bars.priceA.data(), bars.priceB.data(), bars.size(),
                                {outputs[0].data(), outputs[1].data(), outputs[2].data(), outputs[3].data()}, final);
    }
    for (int mode = 1; mode <= cli::kModes; ++mode) {
        if (showProgress) progress.say("computing " + std::string(cli::kModeNames[mode - 1]));
        module->entry()(bars.priceA.data(), bars.priceB.data(), mode, static_cast<std::int32_t>(bars.size()),
                        outputs[mode - 1].data());
    }
    return zorvane::compute(bars.priceA.data(), bars.priceB.data(), bars.size(), zorvane::Outputs{});
}

int run(const Settings& settings) {
    std::vector<int> modes;
    for (const auto& name : settings.modes) {
        const auto mode = cli::modeNamed(name);
        if (!mode) throw cli::InputError("unknown mode \"" + name +
                                         "\" (use cycle-average, smoothed-price, sine, lead-sine)");
        modes.push_back(*mode);
    }
    std::optional<cli::LoadedModule> module;
    if (const std::string path = cli::chosenModule(settings.modulePath); !path.empty()) module.emplace(path);
    Progress progress(true);
    cli::IndicatorOutputs outputs;
    cli::BarTable bars = readWithOutputsRoom(settings, progress, outputs);
    const std::string readFrom = sourceName(settings);
    auto tellNotes = [&bars] {
        for (const auto& note : bars.notes) std::fprintf(stderr, "zorvane: note: %s\n", note.c_str());
    };
    zorvane::PeriodRange periods;
    const cli::LoadedModule* const loaded = module ? &*module : nullptr;
    // The CSV is opened first, so that rows are written while later ones are
    // computed. If it cannot be, its error comes where it always has, after
    // any error of the input's.
    std::optional<Output> csv;
    std::exception_ptr cannotWriteCsv;
    try {
        csv.emplace(settings.output);
        csv->expect(cli::expectedCsvBytes(bars, modes));
    } catch (const std::runtime_error&) {
        cannotWriteCsv = std::current_exception();
    }
    auto fill = [&](const std::function<void(std::size_t)>& final) {
        periods = computeOutputs(bars, loaded, outputs, progress, final);
        if (bars.size() > kProgressAbove) progress.say("writing");
    };
    bool writtenWhileComputed = false, writingFine = true;
    if (bars.linesForOrder && bars.size() <= static_cast<std::size_t>(INT32_MAX)) {
        // Whether the bars run newest first is found while they are
        // computed (and written) as they stand; in the rare file that does,
        // nothing is written, and they are turned and computed again. What
        // either throws comes out as finding the order first would have it.
        prepareOutputs(bars.size(), outputs);
        std::optional<cli::OrderFinding> order;
        auto oldestFirst = [&] {
            order = cli::findPendingOrder(bars, readFrom);
            return !order->newestFirst;
        };
        if (csv) {
            writingFine =
                cli::writeIndicatorCsv(csv->stream(), bars, outputs, modes, cli::runTogether, {fill, oldestFirst});
            writtenWhileComputed = !order->newestFirst;
        } else {
            cli::runTogether([&] { oldestFirst(); }, [&] { fill({}); });
        }
        cli::settleOrder(bars, *order, readFrom);
        if (order->newestFirst) fill({});
        tellNotes();
    } else {
        if (bars.linesForOrder) cli::settleOrder(bars, cli::findPendingOrder(bars, readFrom), readFrom);
        tellNotes();
        if (bars.size() > static_cast<std::size_t>(INT32_MAX))
            throw cli::InputError(settings.input + ": more bars than the module takes in one call");
        prepareOutputs(bars.size(), outputs);
        if (csv) {
            writingFine = cli::writeIndicatorCsv(csv->stream(), bars, outputs, modes, cli::runTogether, {fill, {}});
            writtenWhileComputed = true;
        } else {
            fill({});
        }
    }
    if (cannotWriteCsv) std::rethrow_exception(cannotWriteCsv);
    std::optional<Output> svg, html;
    if (!settings.svg.empty()) svg.emplace(settings.svg);
    if (!settings.html.empty()) html.emplace(settings.html);
    if (!writtenWhileComputed)
        writingFine = cli::writeIndicatorCsv(csv->stream(), bars, outputs, modes, cli::runTogether);
    if (!writingFine) throw std::runtime_error("cannot write " + settings.output);
    const std::string source = settings.input == "-" ? "standard input" : settings.input;
    const std::string title = "Zorvane Oscillator - " + source.substr(source.find_last_of(cli::kPathSeparators) + 1);
    if (svg && !cli::writeChartSvg(svg->stream(), title, bars, outputs, settings.svgBars))
        throw std::runtime_error("cannot write " + settings.svg);
    if (html && !cli::writeHtmlReport(html->stream(), title, bars, outputs))
        throw std::runtime_error("cannot write " + settings.html);
    if (svg) svg->commit();
    if (html) html->commit();
    csv->commit();

    // The summary goes where it cannot mix with CSV on standard output.
    FILE* summary = settings.output == "-" ? stderr : stdout;
    std::fprintf(summary, "Read %zu bars from %s\n", bars.size(),
                 settings.input == "-" ? "standard input" : settings.input.c_str());
    std::fprintf(summary, "Measured cycle period: %s\n", describe(periods).c_str());
    std::string written = settings.output == "-" ? "" : settings.output;
    for (const std::string* chart : {&settings.svg, &settings.html})
        if (!chart->empty()) written += (written.empty() ? "" : ", ") + *chart;
    if (!written.empty()) std::fprintf(summary, "Wrote %s\n", written.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    cli::prepareStandardStreams();
    cli::Arguments arguments(argc, argv);
    CLI::App app{"Runs the Zorvane Oscillator module over price bars from a CSV file and writes the\n"
                 "indicator as CSV (and as an SVG chart with --svg, an interactive HTML report with\n"
                 "--html). With no arguments it runs on the bundled sample bars and writes\n"
                 "zorvane-sample.csv, zorvane-sample.svg and zorvane-sample.html here.\n\n"
                 "Example:\n"
                 "  zorvane bars.csv -o indicator.csv --svg chart.svg --price-a High --price-b Low\n"
                 "  zorvane bars.csv -o indicator.csv --html report.html\n"
                 "  zorvane - --price close --modes sine,lead-sine < bars.csv\n",
                 "zorvane"};
    Settings settings;
    app.add_option("input", settings.input, "CSV file of bars (layouts below), or - for standard input");
    app.add_option("-o,--output", settings.output, "CSV to write (default: standard output)");
    app.add_option("--html", settings.html, "also write an interactive chart into this HTML file");
    app.add_option("--svg-bars", settings.svgBars, "bars the SVG chart shows, counted back from the last; 0: all")
        ->capture_default_str();
    app.add_option("--svg", settings.svg, "also draw a chart into this SVG file");
    cli::addReadOptions(app, settings.reading);
    app.add_option("--modes", settings.modes, "indicator columns to write, comma separated")
        ->delimiter(',')
        ->capture_default_str();
    app.add_option("--module", settings.modulePath,
                   "compute with this module file, one call per mode as a platform makes them (default:\n"
                   "the file $ZORVANE_MODULE names if set, else the built-in library: the same bits, one pass)");
    app.set_version_flag("--version", kVersion);
    app.footer(cli::layoutsHelp() +
               "\nThe output holds the bars oldest first, with the input's separator; the no-value marker\n"
               "of the first six bars is written as an empty cell. Exit codes: 0 done, 1 bad input or\n"
               "output, 2 module not loadable.");
    // Options are written the same way everywhere: a path may begin with "/".
    app.allow_windows_style_options(false);
    try {
        app.parse(arguments.count(), arguments.values());
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 1;
    }
    if (arguments.count() == 1) {
        settings.sample = true;
        settings.input = cli::sampleBarsPath();
        settings.output = "zorvane-sample.csv";
        settings.svg = "zorvane-sample.svg";
        settings.html = "zorvane-sample.html";
    }
    if (settings.input.empty()) {
        std::cerr << "zorvane: no input file given (see --help)\n";
        return 1;
    }
    if (settings.output.empty()) settings.output = "-";
    try {
        return run(settings);
    } catch (const cli::ModuleError& e) {
        std::cerr << "zorvane: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "zorvane: " << e.what() << "\n";
        return 1;
    }
}
