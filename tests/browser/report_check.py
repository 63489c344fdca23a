#!/usr/bin/env python3
"""Writes an HTML report with zorvane and checks it in headless Chromium with
the network off: no console error and no request beyond the file itself,
both panes drawn, the warm-up bars left as gaps, and every series decoded
from the page equal, bit for bit, to the CSV the same run wrote. Saves
screenshots (the opening view, the whole range) into --artifacts.

    report_check.py --zorvane build/bin/zorvane --artifacts DIR --name sample [--interact]
    report_check.py --zorvane ... --name bars-50 --generate 50
    report_check.py --zorvane ... --name mine --bars my-bars.csv [--zorvane-args "--price close"]
"""
import argparse
import array
import base64
import csv
import datetime
import fractions
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium import BrowserError, Chromium  # noqa: E402

NO_VALUE_BITS = 0x7F7FC99E
OUTPUTS = [("cycle-average", "cycleAverage"), ("smoothed-price", "smoothedPrice"),
           ("sine", "sine"), ("lead-sine", "leadSine")]
WIDTH, HEIGHT = 1280, 860


class Failures(list):
    def check(self, condition, message):
        if not condition:
            self.append(message)
        return condition


def generate_bars(path, count):
    """A walk around 100 with a cycle of slowly changing length in it. Small
    files get daily times with characters that need escaping in a page;
    large ones minute times."""
    rng = random.Random(count)
    start = datetime.datetime(2024, 1, 2, 9, 30)
    price, level = 100.0, 0.0
    with open(path, "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(['Date <&> "time"' if count < 1000 else "time", "open", "high", "low", "close"])
        for bar in range(count):
            if count < 1000:
                time = (start + datetime.timedelta(days=bar)).strftime("%Y-%m-%d")
                time += [" </script>", " «é», 9:30", ""][bar % 3] if bar % 7 == 3 else ""
            else:
                time = (start + datetime.timedelta(minutes=bar)).strftime("%Y-%m-%d %H:%M")
            period = 20 + 8 * math.sin(bar / 500.0)
            level = 0.9995 * level + rng.gauss(0, 0.004)
            cycle = 0.01 * math.sin(2 * math.pi * bar / period)
            close = 100 * math.exp(level + cycle) + rng.gauss(0, 0.1)
            high, low = max(price, close) + abs(rng.gauss(0, 0.2)), min(price, close) - abs(rng.gauss(0, 0.2))
            writer.writerow([time, "%.2f" % price, "%.2f" % high, "%.2f" % low, "%.2f" % close])
            price = close


def float_bits_of_text(texts):
    """The float nearest each decimal text, as bits. Parsed to double first,
    then rounded: where that double rounding could differ from a direct
    rounding, the caller rechecks with exact_float_matches."""
    values = array.array("f", (float(t) for t in texts))
    return array.array("I", values.tobytes())


def exact_float_matches(text, bits):
    """Whether `bits` is the float nearest the decimal `text` (ties to even)."""
    value = struct.unpack("<f", struct.pack("<I", bits))[0]
    if not math.isfinite(value):
        return False
    exact = fractions.Fraction(text)
    below = struct.unpack("<f", struct.pack("<I", bits - 1 if bits & 0x7FFFFFFF else bits))[0]
    above = struct.unpack("<f", struct.pack("<I", bits + 1))[0]
    here = fractions.Fraction(value)
    if value >= 0:
        low, high = (here + fractions.Fraction(below)) / 2, (here + fractions.Fraction(above)) / 2
    else:
        low, high = (here + fractions.Fraction(above)) / 2, (here + fractions.Fraction(below)) / 2
    even = bits % 2 == 0
    return (low < exact < high) or (even and exact in (low, high))


def compare_floats(failures, name, texts, page_bits, empty_means_marker):
    if not failures.check(len(texts) == len(page_bits), "%s: %d bars in the page, %d in the CSV"
                          % (name, len(page_bits), len(texts))):
        return
    numeric = [t if t not in ("", "nan", "-nan") else "0" for t in texts]
    csv_bits = float_bits_of_text(numeric)
    wrong = 0
    for i, text in enumerate(texts):
        page = page_bits[i]
        if text == "":
            good = empty_means_marker and page == NO_VALUE_BITS
        elif text in ("nan", "-nan"):
            good = (page & 0x7F800000) == 0x7F800000 and (page & 0x7FFFFF) != 0
        else:
            good = csv_bits[i] == page or exact_float_matches(text, page)
        if not good:
            wrong += 1
            if wrong <= 3:
                failures.append("%s, bar %d: page holds bits %08x, CSV says %r" % (name, i, page, text))
    failures.check(wrong == 0, "%s: %d of %d bars differ from the CSV" % (name, wrong, len(texts)))


def page_words(browser, series):
    """A Float32Array of the page, as the 32-bit patterns it holds."""
    data = browser.evaluate("""(() => {
        const values = window.zorvaneReport.series[%r];
        const bytes = new Uint8Array(values.buffer, values.byteOffset, values.byteLength);
        let text = "";
        for (let i = 0; i < bytes.length; i += 0x8000)
            text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return btoa(text);
    })()""" % series, timeout=300)
    return array.array("I", base64.b64decode(data))


def check_data(failures, browser, rows, header, single_price):
    n = len(rows)
    failures.check(browser.evaluate("zorvaneReport.bars") == n, "the page does not hold %d bars" % n)
    prices = [("priceA", 1)] + ([] if single_price else [("priceB", 2)])
    for series, column in prices:
        compare_floats(failures, series, [r[column] for r in rows], page_words(browser, series), False)
    for column_name, series in OUTPUTS:
        column = header.index(column_name)
        compare_floats(failures, series, [r[column] for r in rows], page_words(browser, series), True)
    times = browser.evaluate("(() => { const r = zorvaneReport, t = new Array(r.bars);"
                             " for (let i = 0; i < r.bars; i++) t[i] = r.timeAt(i); return t; })()", timeout=300)
    wrong = [i for i in range(n) if times[i] != rows[i][0]]
    failures.check(not wrong, "time text differs from the CSV at %d bars, first at bar %s: %r, CSV %r"
                   % (len(wrong), wrong[0] if wrong else "", times[wrong[0]] if wrong else "",
                      rows[wrong[0]][0] if wrong else ""))
    # Warm-up bars are gaps, not zeros: each output's line starts at bar 6.
    starts = browser.evaluate("[%s].map(k => zorvaneReport.runs[k].length ? zorvaneReport.runs[k][0][0] : null)"
                              % ", ".join('"%s"' % series for _, series in OUTPUTS))
    for (_, series), start in zip(OUTPUTS, starts):
        failures.check(start == (6 if n > 6 else None), "%s: the line starts at bar %s, not 6" % (series, start))


def pane_pixels(browser, before_bar=None):
    """Per pane, how many pixels of its canvas carry each line's colour
    (only left of `before_bar`, if given)."""
    return browser.evaluate("""(before => {
        const colours = {price: ["#8b929c", "#1f5fbf", "#e8850c"], oscillator: ["#18935a", "#c9302c", "#9aa0a6"]};
        const counts = {};
        for (const [pane, list] of Object.entries(colours)) {
            const canvas = zorvaneReport.panes[pane].ctx.canvas;
            const width = before === null ? canvas.width
                : Math.max(1, Math.floor(zorvaneReport.panes[pane].valToPos(before, "x", true)));
            const pixels = canvas.getContext("2d").getImageData(0, 0, width, canvas.height).data;
            const wanted = list.map(c => [1, 3, 5].map(k => parseInt(c.substr(k, 2), 16)));
            counts[pane] = list.map(() => 0);
            for (let p = 0; p < pixels.length; p += 4)
                wanted.forEach((w, k) => {
                    if (Math.abs(pixels[p] - w[0]) + Math.abs(pixels[p + 1] - w[1]) + Math.abs(pixels[p + 2] - w[2]) < 24)
                        counts[pane][k]++;
                });
        }
        return counts;
    })(%s)""" % ("null" if before_bar is None else before_bar))


def check_drawn(failures, browser, label, every_line):
    """Each line shows (or, where a whole range makes lines cover one
    another or a few bars leave little to draw, each pane shows something);
    with bar 0 in view, nothing of the oscillators left of bar 6."""
    names = {"price": ["mean price", "cycle average", "smoothed price"],
             "oscillator": ["sine", "lead sine", "bounds and zero line"]}
    for pane, counts in pane_pixels(browser).items():
        if every_line and browser.evaluate("zorvaneReport.bars") >= 30:
            for name, count in zip(names[pane], counts):
                failures.check(count >= 40, "%s: %s pane shows %s in only %d pixels" % (label, pane, name, count))
        else:
            failures.check(sum(counts) >= 10, "%s: %s pane is empty" % (label, pane))
    if view(browser)[0] == 0:
        warm_up = pane_pixels(browser, before_bar=5.5)["oscillator"][:2]
        failures.check(warm_up == [0, 0], "%s: oscillators drawn over the warm-up bars (%r pixels)" % (label, warm_up))


def view(browser):
    v = browser.evaluate("zorvaneReport.view()")
    return v["min"], v["max"]


def over_box(browser, pane):
    return browser.evaluate("(() => { const b = zorvaneReport.panes[%r].over.getBoundingClientRect();"
                            " return [b.left, b.top, b.width, b.height]; })()" % pane)


def close(a, b, tolerance):
    return abs(a - b) <= tolerance


def check_interaction(failures, browser, rows, header):
    """Cursor, wheel, keys, drag to zoom, shift-drag to pan, double-click, as a person uses them."""
    n = len(rows)
    opening = min(n, browser.evaluate("zorvaneReport.meta.openOnLast"))
    failures.check(view(browser) == (n - opening, n - 1), "opens on %r, not the last %d bars" % (view(browser), opening))
    left, top, width, height = over_box(browser, "oscillator")
    lo, hi = view(browser)
    # Legend under the cursor: the bar's time and values as the CSV has them.
    x = left + width * 0.37
    browser.mouse("mouseMoved", x, top + height / 2)
    bar = int(browser.evaluate("document.getElementById('legend').dataset.bar"))
    expected = lo + (x - left) / width * (hi - lo)
    failures.check(abs(bar - expected) <= 1, "cursor at bar %.1f, legend shows bar %d" % (expected, bar))
    legend = browser.evaluate("[...document.querySelectorAll('#legend .value')].map(e => e.textContent)")
    failures.check(legend[0] == rows[bar][0], "legend time %r, CSV %r" % (legend[0], rows[bar][0]))
    for k, (column_name, _) in enumerate(OUTPUTS):
        text = rows[bar][header.index(column_name)]
        shown = legend[4 + k]
        failures.check(text != "" and float_bits_of_text([shown]) == float_bits_of_text([text]),
                       "legend %s %r at bar %d, CSV %r" % (column_name, shown, bar, text))

    browser.wheel(x, top + height / 2, -100)
    lo2, hi2 = view(browser)
    failures.check(close(hi2 - lo2, 0.8 * (hi - lo), 1e-6) and close((expected - lo2) / (hi2 - lo2),
                   (expected - lo) / (hi - lo), 0.02), "wheel: %r to %r" % ((lo, hi), (lo2, hi2)))
    browser.key("ArrowLeft", "ArrowLeft", 37)
    lo3, hi3 = view(browser)
    step = 0.2 * (hi2 - lo2)
    failures.check(close(lo3, lo2 - step, 1e-6) and close(hi3, hi2 - step, 1e-6),
                   "left arrow: %r to %r" % ((lo2, hi2), (lo3, hi3)))
    pleft, ptop, pwidth, pheight = over_box(browser, "price")
    browser.drag(pleft + pwidth * 0.5, ptop + pheight / 2, pleft + pwidth * 0.5 + 100, modifiers=8)
    lo4, hi4 = view(browser)
    shift = 100 / pwidth * (hi3 - lo3)
    failures.check(close(lo4, lo3 - shift, 0.02 * (hi3 - lo3)) and close(hi4 - lo4, hi3 - lo3, 1e-6),
                   "shift-drag: %r to %r" % ((lo3, hi3), (lo4, hi4)))
    browser.drag(pleft + pwidth * 0.3, ptop + pheight / 2, pleft + pwidth * 0.6)
    lo5, hi5 = view(browser)
    per_pixel = (hi4 - lo4) / pwidth
    failures.check(close(lo5, lo4 + 0.3 * (hi4 - lo4), 2 * per_pixel) and
                   close(hi5, lo4 + 0.6 * (hi4 - lo4), 2 * per_pixel),
                   "drag: %r to %r" % ((lo4, hi4), (lo5, hi5)))
    browser.key("Home", "Home", 36)
    failures.check(view(browser)[0] == 0, "Home: %r" % (view(browser),))
    browser.key("End", "End", 35)
    failures.check(view(browser)[1] == n - 1, "End: %r" % (view(browser),))
    browser.mouse("mouseMoved", 2, 2)
    browser.double_click(left + width / 2, top + height / 2)
    failures.check(view(browser) == (0, n - 1), "double-click: %r" % (view(browser),))
    button = browser.evaluate("(() => { const b = document.getElementById('show-last').getBoundingClientRect();"
                              " return [b.left + b.width / 2, b.top + b.height / 2]; })()")
    browser.mouse("mousePressed", button[0], button[1], "left", 1, clicks=1)
    browser.mouse("mouseReleased", button[0], button[1], "left", 0, clicks=1)
    failures.check(view(browser) == (n - opening, n - 1), "last-bars button: %r" % (view(browser),))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zorvane", required=True)
    parser.add_argument("--artifacts", required=True, help="folder for screenshots and the report")
    parser.add_argument("--name", required=True)
    parser.add_argument("--generate", type=int, help="bars to generate (default: the bundled sample)")
    parser.add_argument("--bars", help="a bar file of your own instead")
    parser.add_argument("--zorvane-args", default="", help="further options for zorvane, with --bars")
    parser.add_argument("--interact", action="store_true", help="also check zoom, pan and the cursor")
    args = parser.parse_args()
    os.makedirs(args.artifacts, exist_ok=True)
    work = tempfile.mkdtemp(prefix="zorvane-report-")
    failures = Failures()
    try:
        if args.generate or args.bars:
            bars = os.path.abspath(args.bars) if args.bars else os.path.join(work, args.name + ".csv")
            if args.generate:
                generate_bars(bars, args.generate)
            command = [os.path.abspath(args.zorvane), bars, "-o", os.path.join(work, "out.csv"),
                       "--html", os.path.join(work, "report.html"), *args.zorvane_args.split()]
            outputs = ("out.csv", "report.html")
        else:
            command = [os.path.abspath(args.zorvane)]  # the sample run, in the work folder
            outputs = ("zorvane-sample.csv", "zorvane-sample.html")
        run = subprocess.run(command, cwd=work, capture_output=True, text=True)
        if run.returncode != 0:
            print("zorvane failed (%d): %s" % (run.returncode, run.stderr), file=sys.stderr)
            return 1
        csv_path, report = (os.path.join(work, name) for name in outputs)
        if not (args.generate or args.bars):
            failures.check("Wrote zorvane-sample.csv, zorvane-sample.svg, zorvane-sample.html" in run.stdout,
                           "the sample run's summary does not name the report: " + run.stdout)
        with open(csv_path, encoding="utf-8", newline="") as f:
            table = list(csv.reader(f))
        header, rows = table[0], table[1:]
        single_price = len(header) == 6

        with Chromium(WIDTH, HEIGHT) as browser:
            browser.open_page()
            url = "file://" + os.path.abspath(report)
            browser.call("Page.navigate", {"url": url})
            browser.wait_for("(() => { const f = document.getElementById('failure');"
                             " return Boolean(window.zorvaneReport?.ready || (f && !f.hidden)); })()", timeout=240)
            failure = browser.evaluate("document.getElementById('failure').hidden ? '' :"
                                       " document.getElementById('failure').textContent")
            failures.check(not failure, "the page failed: " + str(failure))
            load_ms = browser.evaluate("zorvaneReport.loadMs")
            summary = browser.evaluate("document.getElementById('summary').textContent")
            cli_period = re.search(r"Measured cycle period: (\d+ to \d+ bars|no cycle found)", run.stdout)
            failures.check(cli_period and cli_period.group(1) in summary,
                           "page summary %r does not give the period range zorvane printed" % summary)
            check_drawn(failures, browser, "opening view", True)
            # The cursor in the middle of the oscillator pane, so the screenshot shows it.
            left, top, width, height = over_box(browser, "oscillator")
            browser.mouse("mouseMoved", left + width * 0.6, top + height / 2)
            browser.screenshot(os.path.join(args.artifacts, args.name + ".png"))
            browser.mouse("mouseMoved", 2, 2)
            redraw_ms = browser.evaluate("(async () => { const t = performance.now(); zorvaneReport.showAll();"
                                         " await null; await null; return performance.now() - t; })()")
            check_drawn(failures, browser, "whole range", False)
            browser.screenshot(os.path.join(args.artifacts, args.name + "-whole.png"))
            browser.evaluate("zorvaneReport.showLast()")
            check_data(failures, browser, rows, header, single_price)
            fallback = browser.evaluate("(() => { const t = document.getElementById('series-sine').textContent;"
                                        " const a = zorvaneReport.decodeBase64Portable(t), b = Uint8Array.fromBase64(t);"
                                        " return a.length === b.length && a.every((v, i) => v === b[i]); })()")
            failures.check(fallback, "the portable base64 decoder disagrees with the browser's")
            if args.interact:
                check_interaction(failures, browser, rows, header)

            errors = [e for e in browser.events if
                      (e["method"] == "Runtime.consoleAPICalled" and e["params"]["type"] in ("error", "assert")) or
                      e["method"] == "Runtime.exceptionThrown" or
                      (e["method"] == "Log.entryAdded" and e["params"]["entry"]["level"] == "error")]
            for e in errors[:5]:
                failures.append("console: " + str(e["params"])[:300])
            requests = [e["params"]["request"]["url"] for e in browser.events
                        if e["method"] == "Network.requestWillBeSent"]
            failures.check(requests == [url], "requests other than the file itself: %r" % requests[:5])

        shutil.copy(report, os.path.join(args.artifacts, args.name + ".html"))
        size_mb = os.path.getsize(report) / 1e6
        print("%s: %d bars, report %.1f MB, loaded in %.0f ms, whole range drawn in %.0f ms; screenshots in %s"
              % (args.name, len(rows), size_mb, load_ms, redraw_ms, args.artifacts))
    except BrowserError as e:
        failures.append(str(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
