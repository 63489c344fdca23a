#include "csv_writer.hpp"

#include <charconv>

namespace zorvane_cli {
namespace {

void appendField(std::string& out, const std::string& text, char separator) {
    if (text.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

}  // namespace

void appendFloat(std::string& out, float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes) {
    const char sep = bars.separator;
    std::string line;
    appendField(line, bars.timeName, sep);
    line += sep;
    appendField(line, bars.priceAName, sep);
    if (!bars.singlePrice) {
        line += sep;
        appendField(line, bars.priceBName, sep);
    }
    for (int mode : modes) (line += sep) += kModeNames[mode - 1];
    out << line << '\n';

    for (std::size_t i = 0; i < bars.size(); ++i) {
        line.clear();
        appendField(line, bars.time[i], sep);
        line += sep;
        appendFloat(line, bars.priceA[i]);
        if (!bars.singlePrice) {
            line += sep;
            appendFloat(line, bars.priceB[i]);
        }
        for (int mode : modes) {
            line += sep;
            const float value = outputs[mode - 1][i];
            if (!isNoValue(value)) appendFloat(line, value);
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
