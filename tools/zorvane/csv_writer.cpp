#include "csv_writer.hpp"

#include <charconv>

namespace zorvane_cli {
namespace {

// Rows are formatted into one buffer and written in blocks of this size.
constexpr std::size_t kBlockBytes = 1 << 20;

bool needsQuotes(std::string_view text, char separator) {
    for (char c : text)
        if (c == '"' || c == '\r' || c == '\n' || c == separator) return true;
    return false;
}

void appendField(std::string& out, std::string_view text, char separator) {
    if (!needsQuotes(text, separator)) {
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
    line += '\n';

    line.reserve(kBlockBytes + 4096);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (line.size() >= kBlockBytes) {
            out.write(line.data(), static_cast<std::streamsize>(line.size()));
            line.clear();
        }
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
    }
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
