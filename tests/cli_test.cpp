// The zorvane program end to end: CSV in, CSV and SVG out, compared with
// the module's own outputs bit for bit; every error case with its message
// and exit code, and no output file left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "bar_file_samples.hpp"
#include "series_generator.hpp"
#include "zorvane/oscillator.h"

namespace fs = std::filesystem;
using testing_support::bitsOf;

namespace {

struct Outcome {
    int exitCode;
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zorvane-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Outcome run(const std::string& arguments, const std::string& stdinFile = "") const {
        const std::string command = "cd '" + dir_.string() + "' && " ZORVANE_CLI_LAUNCHER "'" ZORVANE_CLI "' " + arguments +
                                    (stdinFile.empty() ? " < /dev/null" : " < '" + path(stdinFile) + "'") +
                                    " > stdout.txt 2> stderr.txt";
        const int status = std::system(command.c_str());
        return {WEXITSTATUS(status), read(path("stdout.txt")), read(path("stderr.txt"))};
    }

    // Files other than the test's own inputs and captured streams.
    std::vector<std::string> outputsLeft(const std::vector<std::string>& inputs) const {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name == "stdout.txt" || name == "stderr.txt") continue;
            if (std::find(inputs.begin(), inputs.end(), name) == inputs.end()) left.push_back(name);
        }
        return left;
    }

    void expectRead(const testing_support::BarFileSample& sample) const;

    fs::path dir_;
};

// Output CSV rows; quoted fields (a time with the separator in it) unquoted.
std::vector<std::vector<std::string>> parseCsv(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            fields.back() += c;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == separator) {
            fields.emplace_back();
        } else if (!quoted && c == '\n') {
            rows.push_back(fields);
            fields.assign(1, "");
        } else {
            fields.back() += c;
        }
    }
    return rows;
}

float parseFloat(const std::string& text) {
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == text.data() + text.size()) << text;
    return value;
}

// Output columns from `first` on must be the module's values, bit for bit.
void expectModuleValues(const std::vector<std::vector<std::string>>& rows, std::size_t first,
                        const std::vector<float>& a, const std::vector<float>& b) {
    ASSERT_EQ(rows.size(), a.size() + 1);
    for (int mode = 1; mode <= 4; ++mode) {
        std::vector<float> expected(a.size());
        ZorvaneOscillator(a.data(), b.data(), mode, static_cast<int32_t>(a.size()), expected.data());
        for (std::size_t i = 0; i < a.size(); ++i) {
            const std::string& cell = rows[i + 1][first + mode - 1];
            if (i < 6) {
                EXPECT_EQ(cell, "") << "warm-up bar " << i;
                continue;
            }
            ASSERT_EQ(bitsOf(parseFloat(cell)), bitsOf(expected[i])) << "bar " << i << " mode " << mode;
        }
    }
}

std::string barsCsv(const testing_support::PriceSeries& s, const std::string& header, char sep) {
    std::ostringstream csv;
    csv << header << "\n";
    for (std::size_t i = 0; i < s.priceA.size(); ++i) {
        char a[32], b[32];
        *std::to_chars(a, a + 31, s.priceA[i]).ptr = 0;
        *std::to_chars(b, b + 31, s.priceB[i]).ptr = 0;
        csv << "2024-01-" << i << sep << "7" << sep << a << sep << b << "\n";
    }
    return csv.str();
}

void Cli::expectRead(const testing_support::BarFileSample& sample) const {
    const auto file = testing_support::writeSample(sample, testing_support::generateSeries(sample.variant, 300));
    write("bars.csv", file.bytes);
    const Outcome r = run("bars.csv -o out.csv " + sample.arguments);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(sample.note), std::string::npos) << r.err;
    if (!sample.newestFirst) {
        EXPECT_EQ(r.err.find("newest first"), std::string::npos) << r.err;
    }
    const auto rows = parseCsv(read(path("out.csv")), sample.separator);
    ASSERT_EQ(rows.size(), file.times.size() + 1);
    for (std::size_t i = 0; i < file.times.size(); ++i) {
        ASSERT_EQ(rows[i + 1][0], file.times[i]) << "bar " << i;
        ASSERT_EQ(bitsOf(parseFloat(rows[i + 1][1])), bitsOf(file.high[i])) << "bar " << i;
        ASSERT_EQ(bitsOf(parseFloat(rows[i + 1][2])), bitsOf(file.low[i])) << "bar " << i;
    }
    expectModuleValues(rows, 3, file.high, file.low);
}

TEST_F(Cli, OutputsEqualTheModuleBitForBit) {
    const auto s = testing_support::generateSeries(7);  // prices near the float limit
    write("bars.csv", barsCsv(s, "Time,Open,HIGH,low", ','));
    const Outcome r = run("bars.csv -o out.csv");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto rows = parseCsv(read(path("out.csv")), ',');
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Time", "HIGH", "low", "cycle-average", "smoothed-price",
                                                 "sine", "lead-sine"}));
    expectModuleValues(rows, 3, s.priceA, s.priceB);
    EXPECT_NE(r.out.find("Read " + std::to_string(s.priceA.size()) + " bars"), std::string::npos);
}

// The host sets room aside for its output while writing it (a hint to the
// file system) and gives back what the text did not fill.
TEST_F(Cli, AReplacedOutputHoldsNoRoomPastItsEnd) {
    write("bars.csv", barsCsv(testing_support::generateSeries(0, 20000), "time,open,high,low", ','));
    for (int run = 0; run < 2; ++run) ASSERT_EQ(this->run("bars.csv -o out.csv").exitCode, 0);
    struct stat status;
    ASSERT_EQ(::stat(path("out.csv").c_str(), &status), 0);
    const auto bytes = static_cast<long long>(status.st_size), roundedUp = (bytes + 65535) / 65536 * 65536;
    EXPECT_LE(static_cast<long long>(status.st_blocks) * 512, roundedUp) << bytes << " bytes";
}

// Each layout in barFileSamples(), run as --help says: the output holds the
// bars oldest first, their time text and prices as written, and the module's
// values for those prices in time order.
TEST_F(Cli, ReadsTheLayoutsOfRealExports) {
    for (const auto& sample : testing_support::barFileSamples()) {
        SCOPED_TRACE(sample.name);
        expectRead(sample);
    }
}

TEST_F(Cli, NonFiniteValuesRoundTrip) {
    auto s = testing_support::generateSeries(47);  // carries NaN and infinities
    write("bars.csv", barsCsv(s, "t,o,high,low", ','));
    const Outcome r = run("bars.csv");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectModuleValues(parseCsv(r.out, ','), 3, s.priceA, s.priceB);
}

TEST_F(Cli, SemicolonsQuotesStandardInputAndOnePriceColumn) {
    write("bars.csv",
          "\"Date; time\";close;note\r\n"
          "\"2024-01-02; 09:00\";101,5;\"a \"\"quoted\"\" note\"\r\n"
          "\"2024-01-03; 09:00\";102.25;x\r\n\r\n");
    const Outcome r = run("- --price Close --modes sine,cycle-average", "bars.csv");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\"Date; time\";close;sine;cycle-average\n"
              "\"2024-01-02; 09:00\";101.5;;\n"
              "\"2024-01-03; 09:00\";102.25;;\n");
    EXPECT_NE(r.err.find("Read 2 bars from standard input"), std::string::npos);
}

TEST_F(Cli, BadInputNamesFileLineColumnAndText) {
    const std::string header = "time,high,low\n";
    const struct {
        std::string name, text, arguments, message;
    } cases[] = {
        {"missing.csv", header + "1,2,3\n", "--price-a bid", "no column named \"bid\""},
        {"word.csv", header + "1,2,3\n2,abc,3\n", "", "word.csv:3: column 2 (\"high\"): not a price: \"abc\""},
        {"ragged.csv", header + "1,2,3\n2,3\n", "", "ragged.csv:3: expected 3 fields as in the header, found 2"},
        {"empty.csv", "", "", "empty.csv: empty input"},
        {"header.csv", header, "", "header.csv: no bars after the header"},
        {"quote.csv", header + "\"1,2,3\n", "", "quote.csv:2: quoted field is never closed"},
        {"modes.csv", header + "1,2,3\n", "--modes sine,cosine", "unknown mode \"cosine\""},
        {"mixed.csv", header + "2024-01-02,2,1\n2024-01-04,2,1\n2024-01-03,2,1\n2024-01-05,2,1\n", "",
         "mixed.csv:4: bars out of time order: \"2024-01-03\" follows \"2024-01-04\" (line 3)"},
        {"daymonth.csv", header + "01/02/2024,2,1\n02/01/2024,2,1\n", "",
         "daymonth.csv: dates such as \"01/02/2024\" read month first and read day first put the bars in opposite"},
        {"gap.csv", header + "1,2,3\n2,null,3\n", "--gaps error", "gap.csv:3: column 2 (\"high\") \"null\": no price"},
        {"bare.csv", "1,2\n3,4\n", "", "bare.csv:1: no header row, and the columns are not"},
        {"unfit.csv", "2024-01-02,1,2,3,4\n", "", "unfit.csv:1: no header row, and this bar is not open,high,low,close"},
        {"times.csv", header + "1,2,3\n", "--time a,b,c", "--time takes one column, or two joined: --time date,time"},
        {"nohigh.csv", "date,close\n1,2\n", "", "nohigh.csv:1: no column named \"high\" for the first price (columns: date, close); choose one with --price-a"},
    };
    for (const auto& c : cases) {
        write(c.name, c.text);
        const Outcome r = run(c.name + " -o out.csv --svg out.svg " + c.arguments);
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    std::vector<std::string> inputs;
    for (const auto& c : cases) inputs.push_back(c.name);
    EXPECT_TRUE(outputsLeft(inputs).empty());
}

TEST_F(Cli, MissingModuleOrEntryIsExitCode2) {
    write("bars.csv", "time,high,low\n1,2,3\n");
    const Outcome missing = run("bars.csv -o out.csv --module ./nowhere.so");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot load module ./nowhere.so"), std::string::npos) << missing.err;
    const Outcome wrong = run("bars.csv -o out.csv --module libm.so.6");
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("module libm.so.6 has no ZorvaneOscillator"), std::string::npos) << wrong.err;
    EXPECT_TRUE(outputsLeft({"bars.csv"}).empty());
}

TEST_F(Cli, AnOutputThatCannotBeWrittenLeavesNoOtherBehind) {
    write("bars.csv", "time,high,low\n1,2,3\n");
    const Outcome r = run("bars.csv -o out.csv --svg missing-folder/chart.svg");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write missing-folder/chart.svg"), std::string::npos) << r.err;
    EXPECT_TRUE(outputsLeft({"bars.csv"}).empty());
}

TEST_F(Cli, NoArgumentsRunsTheSampleAndDrawsWellFormedSvg) {
    const Outcome r = run("");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Measured cycle period:"), std::string::npos);
    EXPECT_NE(r.out.find("Wrote zorvane-sample.csv, zorvane-sample.svg, zorvane-sample.html"), std::string::npos);
    const std::string check = "python3 -c \"import sys, xml.dom.minidom as m; m.parse(sys.argv[1])\" '" +
                              path("zorvane-sample.svg") + "'";
    EXPECT_EQ(std::system(check.c_str()), 0);
    EXPECT_NE(read(path("zorvane-sample.svg")).find("(last 300 of 2,000 bars)</text>"), std::string::npos);
    // The page itself is checked in a browser (tests/browser/).
    EXPECT_NE(read(path("zorvane-sample.html")).find("<html"), std::string::npos);

    const std::string sample = read(path("zorvane-sample.csv"));
    write("bars.csv", sample);
    ASSERT_EQ(run("bars.csv -o out.csv --svg all.svg --svg-bars 0").exitCode, 0);
    EXPECT_NE(read(path("all.svg")).find("Zorvane Oscillator - bars.csv (2,000 bars)</text>"), std::string::npos);
}

TEST_F(Cli, HelpAndVersion) {
    const Outcome help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--output", "--svg", "--svg-bars", "--html", "--price-a", "--price-b", "--price", "--time",
                               "--columns", "--separator", "--gaps", "--order", "--modes", "--module", "--version",
                               "Example", "<DATE>", "Plus haut", "newest bar first", "02.01.2024 00:00:00.000"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_NE(run("--version").out.find("zorvane 1."), std::string::npos);
}

}  // namespace
