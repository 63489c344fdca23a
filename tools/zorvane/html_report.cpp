#include "html_report.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "markup_text.hpp"
#include "report_assets.hpp"
#include "zorvane/oscillator.hpp"

namespace zorvane_cli {
namespace {

using Bytes = std::vector<unsigned char>;

std::string base64(const Bytes& bytes) {
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift : {18, 12, 6, 0}) text += digits[group >> shift & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t group = bytes[i] << 16 | (two ? bytes[i + 1] << 8 : 0);
        text += digits[group >> 18 & 63];
        text += digits[group >> 12 & 63];
        text += two ? digits[group >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

// The floats' bits, least significant byte first whatever this machine's order.
Bytes littleEndian(const FloatColumn& values) {
    Bytes bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        for (int k = 0; k < 4; ++k) bytes[4 * i + k] = static_cast<unsigned char>(bits >> 8 * k);
    }
    return bytes;
}

// The measured cycle period at every bar; it never exceeds 37, so one byte each.
Bytes measuredPeriods(const BarTable& bars) {
    zorvane::Oscillator oscillator;
    Bytes periods(bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
        oscillator.push(bars.priceA[i], bars.priceB[i]);
        periods[i] = static_cast<unsigned char>(oscillator.period());
    }
    return periods;
}

void appendVarint(Bytes& out, std::size_t value) {
    do {
        out.push_back(static_cast<unsigned char>((value & 0x7f) | (value > 0x7f ? 0x80 : 0)));
        value >>= 7;
    } while (value != 0);
}

// Time texts front-coded: for each bar the number of leading bytes it shares
// with the previous bar's text and the length of the rest (two varints), and
// all the rests as one run. Consecutive times mostly differ in the last few
// characters, so this is a fraction of the plain text. Every kTimeRestart-th
// text is whole, so the page decodes any bar from at most that many steps.
constexpr std::size_t kTimeRestart = 64;

std::pair<Bytes, Bytes> frontCodedTimes(const BarTable& bars) {
    Bytes shape, rests;
    for (std::size_t i = 0; i < bars.time.size(); ++i) {
        const std::string_view time = bars.time[i];
        std::size_t shared = 0;
        if (i % kTimeRestart != 0) {
            const std::string_view previous = bars.time[i - 1];
            while (shared < time.size() && shared < previous.size() && time[shared] == previous[shared]) ++shared;
        }
        appendVarint(shape, shared);
        appendVarint(shape, time.size() - shared);
        rests.insert(rests.end(), time.begin() + static_cast<std::ptrdiff_t>(shared), time.end());
    }
    return {std::move(shape), std::move(rests)};
}

// A JSON string that cannot end the <script> element holding it.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void dataBlock(std::ostream& out, const std::string& id, const char* type, const std::string& text) {
    out << "<script type=\"" << type << "\" id=\"" << id << "\">" << text << "</script>\n";
}

void writeData(std::ostream& out, const BarTable& bars, const IndicatorOutputs& outputs) {
    dataBlock(out, "report-meta", "application/json",
              "{\"bars\":" + std::to_string(bars.size()) + ",\"columns\":{\"time\":" + jsonString(bars.timeName) +
                  ",\"priceA\":" + jsonString(bars.priceAName) + ",\"priceB\":" + jsonString(bars.priceBName) +
                  "},\"singlePrice\":" + (bars.singlePrice ? "true" : "false") +
                  ",\"openOnLast\":" + std::to_string(kReadableBars) +
                  ",\"timeRestart\":" + std::to_string(kTimeRestart) + "}");
    const char* binary = "application/octet-stream";
    dataBlock(out, "series-priceA", binary, base64(littleEndian(bars.priceA)));
    if (!bars.singlePrice) dataBlock(out, "series-priceB", binary, base64(littleEndian(bars.priceB)));
    const char* names[kModes] = {"cycleAverage", "smoothedPrice", "sine", "leadSine"};
    for (int mode = 1; mode <= kModes; ++mode)
        dataBlock(out, std::string("series-") + names[mode - 1], binary, base64(littleEndian(outputs[mode - 1])));
    dataBlock(out, "series-period", binary, base64(measuredPeriods(bars)));
    const auto [shape, rests] = frontCodedTimes(bars);
    dataBlock(out, "time-shape", binary, base64(shape));
    dataBlock(out, "time-rests", binary, base64(rests));
}

}  // namespace

bool writeHtmlReport(std::ostream& out, const std::string& title, const BarTable& bars,
                     const IndicatorOutputs& outputs) {
    const std::string_view page = report_assets::pageTemplate();
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = page.find("{{", at);
        out << page.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at);
        if (open == std::string_view::npos) break;
        const std::size_t close = page.find("}}", open);
        const std::string_view name = page.substr(open + 2, close - open - 2);
        if (name == "title")
            out << escapedMarkup(title);
        else if (name == "data")
            writeData(out, bars, outputs);
        else if (name == "page-style")
            out << report_assets::pageStyle();
        else if (name == "page-script")
            out << report_assets::pageScript();
        else if (name == "uplot-style")
            out << report_assets::uplotStyle();
        else if (name == "uplot-script")
            out << report_assets::uplotScript();
        else if (name == "uplot-licence")
            out << report_assets::uplotLicence();
        else
            throw std::logic_error("report page: unknown placeholder " + std::string(name));
        at = close + 2;
    }
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
