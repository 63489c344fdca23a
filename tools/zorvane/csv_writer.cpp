#include "csv_writer.hpp"

#include <algorithm>

#include "float_text.hpp"

namespace zorvane_cli {
namespace {

// Rows formatted and written at a time: two chunks in flight hold about a
// megabyte.
constexpr std::size_t kChunkRows = 1 << 13;
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
    out.append(buffer, writeShortestFloat(buffer, value));
}

void runInTurn(const std::function<void()>& first, const std::function<void()>& second) {
    first();
    second();
}

bool writeIndicatorCsv(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs,
                       const std::vector<int>& modes, const RunTogether& together) {
    const char sep = bars.separator;
    std::string header;
    appendField(header, bars.timeName, sep);
    header += sep;
    appendField(header, bars.priceAName, sep);
    if (!bars.singlePrice) {
        header += sep;
        appendField(header, bars.priceBName, sep);
    }
    for (int mode : modes) (header += sep) += kModeNames[mode - 1];
    header += '\n';
    out.write(header.data(), static_cast<std::streamsize>(header.size()));

    // Rows [first, last) appended to `text`.
    auto format = [&](std::size_t first, std::size_t last, std::string& text) {
        text.clear();
        for (std::size_t i = first; i < last; ++i) {
            appendField(text, bars.time[i], sep);
            // The numbers of a row go into a small buffer first: one append a row.
            char numbers[(kModes + 2) * kFloatChars];
            char* at = numbers;
            *at++ = sep;
            at = writeShortestPrice(at, bars.priceA[i]);
            if (!bars.singlePrice) {
                *at++ = sep;
                at = writeShortestPrice(at, bars.priceB[i]);
            }
            for (int mode : modes) {
                *at++ = sep;
                const float value = outputs[mode - 1][i];
                if (!isNoValue(value)) at = writeShortestFloat(at, value);
            }
            *at++ = '\n';
            text.append(numbers, at);
        }
    };
    auto write = [&out](const std::string& text) { out.write(text.data(), static_cast<std::streamsize>(text.size())); };
    // Each round: this thread writes the chunk the other formatted last round,
    // formats and writes its own; the other formats the next.
    std::string own, theirs, pending;
    const std::size_t count = bars.size();
    for (std::size_t first = 0; first < count; first += 2 * kChunkRows) {
        const std::size_t middle = std::min(first + kChunkRows, count), last = std::min(middle + kChunkRows, count);
        together(
            [&] {
                write(pending);
                format(first, middle, own);
                write(own);
            },
            [&] { format(middle, last, theirs); });
        std::swap(pending, theirs);
    }
    write(pending);
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
