#include "csv_writer.hpp"

#include <charconv>

namespace zorvane_cli {
namespace {

// Rows are formatted into one buffer and written in blocks of this size.
constexpr std::size_t kBlockBytes = 1 << 18;
// The longest shortest float text, "-1.17549435e-38", with room to spare.
constexpr std::ptrdiff_t kFloatChars = 24;

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
        // The numbers of a row go into a small buffer first: one append a row.
        char numbers[(kModes + 2) * kFloatChars];
        char* at = numbers;
        auto put = [&at](float value) { at = std::to_chars(at, at + kFloatChars, value).ptr; };
        *at++ = sep;
        put(bars.priceA[i]);
        if (!bars.singlePrice) {
            *at++ = sep;
            put(bars.priceB[i]);
        }
        for (int mode : modes) {
            *at++ = sep;
            const float value = outputs[mode - 1][i];
            if (!isNoValue(value)) put(value);
        }
        *at++ = '\n';
        line.append(numbers, at);
    }
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
