// Writes the runs on which zorvane.exe (from the Windows zip, under Wine)
// must do exactly what the Linux program does: every bar-file layout of the
// Linux tests, every file of the reader's fuzzing corpus (its first byte
// turned into the options it stands for), refused inputs, paths with spaces
// and non-ASCII characters, an output replacing an existing file, standard
// input, and no arguments at all (the sample beside the program).
//
//   windows_cli_cases CASES_DIR CSV_CORPUS_DIR
//
// Each case is a folder: `arguments` (one a line), `work/` (the folder the
// program starts in, with its inputs) and, if given, `stdin`.
// tests/windows/run_cli_cases.sh runs them; windows_zip_tests compares.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bar_file_samples.hpp"
#include "series_generator.hpp"
#include "test_files.hpp"

namespace fs = std::filesystem;

using zorvane::test::readFile;

namespace {

fs::path casesDir;

void writeFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A case: its arguments, the files its working folder starts with, its standard input.
void addCase(const std::string& name, const std::vector<std::string>& arguments,
             const std::vector<std::pair<std::string, std::string>>& files, const std::string* input = nullptr) {
    const fs::path dir = casesDir / name;
    std::string lines;
    for (const auto& argument : arguments) lines += argument + "\n";
    writeFile(dir / "arguments", lines);
    fs::create_directories(dir / "work");
    for (const auto& [file, bytes] : files) writeFile(dir / "work" / fs::u8path(file), bytes);
    if (input) writeFile(dir / "stdin", *input);
}

// Words of a sample's arguments as a shell splits them ('' quotes only).
std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        std::string unquoted;
        for (char c : word)
            if (c != '\'') unquoted += c;
        result.push_back(unquoted);
    }
    return result;
}

// The reading options the fuzzer draws from a corpus file's first byte, as the program's options.
std::vector<std::string> optionsFrom(std::uint8_t choice) {
    std::vector<std::string> options;
    if (choice & 1) options.insert(options.end(), {"--separator", std::vector<std::string>{",", ";", "tab", "|"}[(choice >> 1) & 3]});
    if (choice & 8) options.insert(options.end(), {"--gaps", "error"});
    options.insert(options.end(), {"--order", std::vector<std::string>{"auto", "asc", "desc"}[(choice >> 4) % 3]});
    if (choice & 0x40) options.insert(options.end(), {"--price", "close"});
    if (choice & 0x80) options.insert(options.end(), {"--columns", "time,open,high,low,close"});
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: windows_cli_cases CASES_DIR CSV_CORPUS_DIR\n");
        return 2;
    }
    casesDir = argv[1];
    fs::remove_all(casesDir);
    const std::vector<std::string> allOutputs = {"-o", "out.csv", "--svg", "out.svg", "--html", "out.html"};

    int number = 0;
    for (const auto& sample : testing_support::barFileSamples()) {
        const auto file = testing_support::writeSample(sample, testing_support::generateSeries(sample.variant, 300));
        std::vector<std::string> arguments = {"bars.csv", "-o", "out.csv"};
        for (const auto& word : words(sample.arguments)) arguments.push_back(word);
        char name[32];
        std::snprintf(name, sizeof name, "layout-%02d", number++);
        addCase(name, arguments, {{"bars.csv", file.bytes}});
    }

    std::vector<fs::path> corpus;
    for (const auto& entry : fs::directory_iterator(argv[2])) corpus.push_back(entry.path());
    std::sort(corpus.begin(), corpus.end());
    for (const auto& path : corpus) {
        const std::string bytes = readFile(path);
        if (bytes.empty()) continue;
        std::vector<std::string> arguments = {"bars.csv"};
        for (const auto& option : optionsFrom(static_cast<std::uint8_t>(bytes[0]))) arguments.push_back(option);
        arguments.insert(arguments.end(), allOutputs.begin(), allOutputs.end());
        addCase("corpus-" + path.filename().string(), arguments, {{"bars.csv", bytes.substr(1)}});
    }

    const std::string header = "time,high,low\n";
    const std::pair<std::string, std::string> refused[] = {
        {"word", header + "1,2,3\n2,abc,3\n"},
        {"ragged", header + "1,2,3\n2,3\n"},
        {"empty", ""},
        {"header-only", header},
        {"open-quote", header + "\"1,2,3\n"},
        {"out-of-order", header + "2024-01-02,2,1\n2024-01-04,2,1\n2024-01-03,2,1\n2024-01-05,2,1\n"},
        {"no-high", "date,close\n1,2\n"},
    };
    for (const auto& [name, text] : refused) addCase("refused-" + name, {"bars.csv", "-o", "out.csv", "--svg", "out.svg"}, {{"bars.csv", text}});
    addCase("refused-unknown-mode", {"bars.csv", "--modes", "sine,cosine", "-o", "out.csv"}, {{"bars.csv", header + "1,2,3\n"}});
    addCase("refused-missing-file", {"nowhere.csv", "-o", "out.csv"}, {});

    const auto series = testing_support::generateSeries(3, 500);
    const auto sample = testing_support::writeSample(testing_support::barFileSamples()[0], series);
    // Folders and files named with spaces, accents, Cyrillic, a CJK character and an emoji.
    const std::string folder = "Kurse März 2024/Дані €/";
    addCase("unicode-paths",
            {folder + "Bars ü 株.csv", "-o", folder + "Ausgabe ü 😀.csv", "--svg", "Chart é.svg", "--html", folder + "Bericht ß.html"},
            {{folder + "Bars ü 株.csv", sample.bytes}});
    addCase("unicode-refused", {"Üngültig €.csv", "-o", "Ausgabe ü.csv"}, {{"Üngültig €.csv", header + "1,2,3\n2,x,3\n"}});
    addCase("replaces-existing-output", {"bars.csv", "-o", "out.csv", "--svg", "out.svg"},
            {{"bars.csv", sample.bytes}, {"out.csv", "an older result\r\n"}, {"out.svg", "<svg/>"}});
    addCase("refused-keeps-existing-output", {"bars.csv", "-o", "out.csv"},
            {{"bars.csv", header + "1,2,3\n2,abc,3\n"}, {"out.csv", "an older result\r\n"}});
    addCase("standard-input-output", {"-", "--modes", "sine,lead-sine"}, {}, &sample.bytes);
    addCase("no-arguments", {}, {});
    return 0;
}
