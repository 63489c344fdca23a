#include "svg_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "markup_text.hpp"

namespace zorvane_cli {
namespace {

constexpr double kWidth = 1280, kHeight = 760;
constexpr double kLeft = 84, kRight = 24, kTop = 72, kBottom = 56, kGap = 44;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom - kGap;
constexpr double kUpperHeight = kPlotHeight * 0.64, kLowerHeight = kPlotHeight - kUpperHeight;
constexpr double kUpperTop = kTop, kLowerTop = kTop + kUpperHeight + kGap;

struct Panel {
    double top, height, low, high;
    double y(double v) const { return top + height * (high - v) / (high - low); }
};

struct Line {
    const char* name;
    const char* color;
    double width;
    std::function<double(std::size_t)> value;  // NaN where there is nothing to draw
};

std::string number(double v, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

double xOf(std::size_t bar, std::size_t count) {
    return count < 2 ? kLeft + kPlotWidth / 2
                     : kLeft + kPlotWidth * static_cast<double>(bar) / static_cast<double>(count - 1);
}

// A 1-2-5 step giving about `ticks` intervals over the range.
double niceStep(double range, int ticks) {
    const double raw = range / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= f * magnitude) return f * magnitude;
    return 10 * magnitude;
}

// Path data for one line, thinned to a few points per pixel column, broken
// where values are missing.
std::string pathOf(const Line& line, std::size_t count, const Panel& panel) {
    std::string d;
    bool penDown = false;
    auto emit = [&](std::size_t bar) {
        const double v = line.value(bar);
        if (!std::isfinite(v)) {
            penDown = false;
            return;
        }
        const double y = std::clamp(panel.y(v), panel.top - 2, panel.top + panel.height + 2);
        d += penDown ? " L" : " M";
        d += number(xOf(bar, count), 1) + "," + number(y, 1);
        penDown = true;
    };
    const double barsPerColumn = static_cast<double>(count) / kPlotWidth;
    if (barsPerColumn <= 2) {
        for (std::size_t i = 0; i < count; ++i) emit(i);
        return d;
    }
    std::size_t begin = 0;
    for (int column = 0; column < static_cast<int>(kPlotWidth) && begin < count; ++column) {
        const auto end = std::min(count, static_cast<std::size_t>((column + 1) * barsPerColumn));
        std::size_t lowest = begin, highest = begin;
        bool gap = false;
        for (std::size_t i = begin; i < end; ++i) {
            const double v = line.value(i);
            if (!std::isfinite(v)) {
                gap = true;
                continue;
            }
            if (!std::isfinite(line.value(lowest)) || v < line.value(lowest)) lowest = i;
            if (!std::isfinite(line.value(highest)) || v > line.value(highest)) highest = i;
        }
        std::vector<std::size_t> keep = {begin, lowest, highest, end - 1};
        std::sort(keep.begin(), keep.end());
        keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
        if (gap) penDown = false;
        for (std::size_t bar : keep) emit(bar);
        begin = end;
    }
    return d;
}

void axes(std::string& svg, const Panel& panel, double step, int decimals) {
    svg += "<rect x=\"" + number(kLeft, 1) + "\" y=\"" + number(panel.top, 1) + "\" width=\"" +
           number(kPlotWidth, 1) + "\" height=\"" + number(panel.height, 1) +
           "\" fill=\"#fcfcfd\" stroke=\"#c8ccd2\"/>\n";
    for (double v = std::ceil(panel.low / step) * step; v <= panel.high + step * 1e-9; v += step) {
        const std::string y = number(panel.y(v), 1);
        svg += "<line x1=\"" + number(kLeft, 1) + "\" x2=\"" + number(kLeft + kPlotWidth, 1) + "\" y1=\"" +
               y + "\" y2=\"" + y + "\" stroke=\"#e6e8eb\"/>\n";
        svg += "<text x=\"" + number(kLeft - 8, 1) + "\" y=\"" + y +
               "\" text-anchor=\"end\" dominant-baseline=\"middle\">" +
               number(std::fabs(v) < step * 1e-9 ? 0.0 : v, decimals) + "</text>\n";
    }
}

void timeAxis(std::string& svg, const BarTable& bars, std::size_t first) {
    const std::size_t count = bars.size() - first;
    const int ticks = static_cast<int>(std::min<std::size_t>(8, count));
    for (int t = 0; t < ticks; ++t) {
        const std::size_t bar = ticks < 2 ? 0 : (count - 1) * static_cast<std::size_t>(t) / (ticks - 1);
        const std::string x = number(xOf(bar, count), 1);
        for (const double top : {kUpperTop, kLowerTop}) {
            const double height = top == kUpperTop ? kUpperHeight : kLowerHeight;
            svg += "<line x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" + number(top, 1) + "\" y2=\"" +
                   number(top + height, 1) + "\" stroke=\"#eef0f2\"/>\n";
        }
        std::string label(bars.time[first + bar].substr(0, 19));
        const char* anchor = t == 0 ? "start" : t == ticks - 1 ? "end" : "middle";
        svg += "<text x=\"" + x + "\" y=\"" + number(kLowerTop + kLowerHeight + 20, 1) +
               "\" text-anchor=\"" + anchor + "\">" + escapedMarkup(label) + "</text>\n";
    }
}

// Swatches and names, right-aligned just above a panel.
void legend(std::string& svg, const std::vector<Line>& lines, double panelTop) {
    double width = 0;
    for (const Line& line : lines) width += 40 + 7.0 * static_cast<double>(std::string(line.name).size());
    double x = kLeft + kPlotWidth - width;
    const std::string y = number(panelTop - 10, 1);
    for (const Line& line : lines) {
        svg += "<line x1=\"" + number(x, 1) + "\" x2=\"" + number(x + 22, 1) + "\" y1=\"" + y +
               "\" y2=\"" + y + "\" stroke=\"" + line.color + "\" stroke-width=\"3\"/>\n";
        svg += "<text x=\"" + number(x + 28, 1) + "\" y=\"" + y + "\" dominant-baseline=\"middle\">" +
               line.name + "</text>\n";
        x += 40 + 7.0 * static_cast<double>(std::string(line.name).size());
    }
}

void drawLines(std::string& svg, const std::vector<Line>& lines, std::size_t count, const Panel& panel) {
    for (const Line& line : lines)
        svg += "<path d=\"" + pathOf(line, count, panel) + "\" fill=\"none\" stroke=\"" + line.color +
               "\" stroke-width=\"" + number(line.width, 1) +
               "\" stroke-opacity=\"0.85\" stroke-linejoin=\"round\"/>\n";
}

std::string withThousands(std::size_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

}  // namespace

bool writeChartSvg(std::ostream& out, const std::string& title, const BarTable& bars,
                   const IndicatorOutputs& outputs, std::size_t lastBars) {
    // Bars from `first` on are drawn; lines and axes count from there.
    const std::size_t first = lastBars == 0 || lastBars >= bars.size() ? 0 : bars.size() - lastBars;
    const std::size_t count = bars.size() - first;
    const std::string heading =
        title + (first == 0 ? " (" + withThousands(count) + " bars)"
                            : " (last " + withThousands(count) + " of " + withThousands(bars.size()) + " bars)");
    auto output = [&outputs, first](int mode) {
        return [&outputs, mode, first](std::size_t i) {
            const float v = outputs[mode - 1][first + i];
            return isNoValue(v) ? NAN : static_cast<double>(v);
        };
    };
    auto price = [&bars, first](std::size_t i) {
        return (static_cast<double>(bars.priceA[first + i]) + static_cast<double>(bars.priceB[first + i])) * 0.5;
    };
    const std::vector<Line> upper = {{"price (mean of the two)", "#9ca3af", 2.4, price},
                                     {"cycle average", "#1f5fbf", 1.8, output(1)},
                                     {"smoothed price", "#e8850c", 1.3, output(2)}};
    const std::vector<Line> lower = {{"sine", "#18935a", 1.6, output(3)},
                                     {"lead sine", "#c9302c", 1.6, output(4)}};

    double low = INFINITY, high = -INFINITY;
    for (const Line& line : upper)
        for (std::size_t i = 0; i < count; ++i) {
            const double v = line.value(i);
            if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
        }
    if (!(low <= high)) low = 0, high = 1;
    if (high - low < 1e-9 * std::max(1.0, std::fabs(high))) low -= 1, high += 1;
    const double pad = (high - low) * 0.06;
    const double step = niceStep(high - low + 2 * pad, 6);
    const Panel upperPanel{kUpperTop, kUpperHeight, low - pad, high + pad};
    const Panel lowerPanel{kLowerTop, kLowerHeight, -1.1, 1.1};
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step))) + (step < 1 ? 1 : 0));

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth, 0) + "\" height=\"" +
           number(kHeight, 0) + "\" viewBox=\"0 0 " + number(kWidth, 0) + " " + number(kHeight, 0) +
           "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\" font-size=\"12\" fill=\"#222\">\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    svg += "<text x=\"" + number(kLeft, 1) + "\" y=\"30\" font-size=\"18\" font-weight=\"bold\">" +
           escapedMarkup(heading) + "</text>\n";
    axes(svg, upperPanel, step, std::min(decimals, 6));
    axes(svg, lowerPanel, 0.5, 1);
    timeAxis(svg, bars, first);
    drawLines(svg, upper, count, upperPanel);
    const std::string zero = number(lowerPanel.y(0), 1);
    svg += "<line x1=\"" + number(kLeft, 1) + "\" x2=\"" + number(kLeft + kPlotWidth, 1) + "\" y1=\"" +
           zero + "\" y2=\"" + zero + "\" stroke=\"#9aa0a6\" stroke-dasharray=\"4 3\"/>\n";
    drawLines(svg, lower, count, lowerPanel);
    legend(svg, upper, kUpperTop);
    legend(svg, lower, kLowerTop);
    svg += "<text x=\"" + number(kLeft, 1) + "\" y=\"" + number(kLowerTop - 10, 1) +
           "\" dominant-baseline=\"middle\" fill=\"#555\">phase oscillators (-1 to 1)</text>\n";
    svg += "<text x=\"" + number(kLeft, 1) + "\" y=\"" + number(kUpperTop - 10, 1) +
           "\" dominant-baseline=\"middle\" fill=\"#555\">price</text>\n";
    svg += "</svg>\n";
    out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zorvane_cli
