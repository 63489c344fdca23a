// The report page: decodes the bars embedded in this file, draws the price
// pane and the oscillator pane with uPlot on one time axis, and keeps their
// view and cursor together. window.zorvaneReport exposes the decoded series
// and the view, so the page can be checked from outside.
(function () {
  "use strict";

  const NO_VALUE_BITS = 0x7f7fc99e; // what the module writes for the warm-up bars
  const MIN_SPAN = 4; // bars; closer than this shows nothing more
  const COLORS = {
    price: "#8b929c", cycleAverage: "#1f5fbf", smoothedPrice: "#e8850c",
    sine: "#18935a", leadSine: "#c9302c", bounds: "#9aa0a6", grid: "#eef0f2",
  };

  function block(id) {
    const element = document.getElementById(id);
    if (!element) throw new Error("the report holds no " + id);
    return element.textContent;
  }

  function decodeBase64Portable(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  function decodeBase64(text) {
    return typeof Uint8Array.fromBase64 === "function" ? Uint8Array.fromBase64(text)
                                                      : decodeBase64Portable(text);
  }

  const littleEndian = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;

  // The file stores every 4-byte value least significant byte first.
  function words(id, count) {
    const bytes = decodeBase64(block(id));
    if (bytes.length !== count * 4) throw new Error(id + ": " + bytes.length + " bytes for " + count + " bars");
    if (!littleEndian) {
      for (let i = 0; i < bytes.length; i += 4) {
        let t = bytes[i]; bytes[i] = bytes[i + 3]; bytes[i + 3] = t;
        t = bytes[i + 1]; bytes[i + 1] = bytes[i + 2]; bytes[i + 2] = t;
      }
    }
    return bytes.buffer;
  }

  function varints(bytes) {
    const values = [];
    for (let pos = 0; pos < bytes.length;) {
      let value = 0, scale = 1, byte;
      do {
        byte = bytes[pos++];
        value += (byte & 0x7f) * scale;
        scale *= 128;
      } while (byte & 0x80);
      values.push(value);
    }
    return values;
  }

  // Time texts, front-coded: each bar's text is the leading `shared` bytes
  // of the previous bar's and its own rest; every `restart`-th bar's text is
  // whole. Decoded one bar at a time, when shown.
  function timeTexts(count, restart) {
    const shape = varints(decodeBase64(block("time-shape")));
    const rests = decodeBase64(block("time-rests"));
    if (shape.length !== 2 * count) throw new Error("time texts do not match the bars");
    const shared = new Float64Array(count), restStart = new Float64Array(count + 1);
    for (let i = 0; i < count; i++) {
      shared[i] = shape[2 * i];
      restStart[i + 1] = restStart[i] + shape[2 * i + 1];
      if (i % restart === 0 ? shared[i] !== 0 : shared[i] > shape[2 * i - 2] + shape[2 * i - 1])
        throw new Error("time texts do not match the bars");
    }
    if (restStart[count] !== rests.length) throw new Error("time texts do not match the bars");
    const decoder = new TextDecoder("utf-8");
    let text = new Uint8Array(64), length = 0, built = -1;
    function step(i) {
      const rest = rests.subarray(restStart[i], restStart[i + 1]);
      length = shared[i] + rest.length;
      if (length > text.length) {
        const larger = new Uint8Array(2 * length);
        larger.set(text.subarray(0, shared[i]));
        text = larger;
      }
      text.set(rest, shared[i]);
      built = i;
    }
    return i => {
      // Walking on from the bar built last is the common case (the axis, a full read).
      const from = built >= 0 && built < i && i - built <= i % restart ? built + 1 : i - i % restart;
      for (let j = from; j <= i; j++) step(j);
      return decoder.decode(text.subarray(0, length));
    };
  }

  // Values to draw, NaN where there is nothing to draw: the warm-up marker,
  // NaN and infinities. Typed arrays keep a million bars cheap.
  function drawable(values, bits) {
    const out = new Float64Array(values.length);
    for (let i = 0; i < values.length; i++) {
      const v = values[i];
      out[i] = bits[i] === NO_VALUE_BITS || !Number.isFinite(v) ? NaN : v;
    }
    return out;
  }

  // The stretches of bars a line is drawn over, as [first, last] pairs.
  function drawnRuns(values) {
    const runs = [];
    for (let i = 0; i < values.length; i++) {
      if (Number.isNaN(values[i])) continue;
      const first = i;
      while (i + 1 < values.length && !Number.isNaN(values[i + 1])) i++;
      runs.push([first, i]);
    }
    return runs;
  }

  // The fewest significant digits that read back as the same float.
  function floatText(v) {
    if (Number.isNaN(v)) return "NaN";
    if (!Number.isFinite(v)) return v > 0 ? "\u221e" : "\u2212\u221e";
    for (let digits = 1; digits < 9; digits++) {
      const text = v.toPrecision(digits);
      if (Math.fround(Number(text)) === v) return String(Number(text));
    }
    return String(Number(v.toPrecision(9)));
  }

  function build() {
    const meta = JSON.parse(block("report-meta"));
    const n = meta.bars;
    const series = {};
    const bits = {};
    for (const name of ["priceA", "priceB", "cycleAverage", "smoothedPrice", "sine", "leadSine"]) {
      if (name === "priceB" && meta.singlePrice) continue;
      const buffer = words("series-" + name, n);
      series[name] = new Float32Array(buffer);
      bits[name] = new Uint32Array(buffer);
    }
    if (meta.singlePrice) series.priceB = series.priceA;
    const period = decodeBase64(block("series-period"));
    if (period.length !== n) throw new Error("series-period: " + period.length + " entries for " + n + " bars");
    const timeAt = timeTexts(n, meta.timeRestart);

    const x = new Float64Array(n);
    const mean = new Float64Array(n);
    for (let i = 0; i < n; i++) {
      x[i] = i;
      const m = (series.priceA[i] + series.priceB[i]) * 0.5;
      mean[i] = Number.isFinite(m) ? m : NaN;
    }
    const lines = {
      price: mean,
      cycleAverage: drawable(series.cycleAverage, bits.cycleAverage),
      smoothedPrice: drawable(series.smoothedPrice, bits.smoothedPrice),
      sine: drawable(series.sine, bits.sine),
      leadSine: drawable(series.leadSine, bits.leadSine),
    };

    summarize(meta, n, period, timeAt);
    const legend = makeLegend(meta, n, series, bits, period, timeAt);
    const runs = {};
    for (const name in lines) runs[name] = drawnRuns(lines[name]);
    const view = makePanes(meta, n, x, lines, runs, timeAt, legend);

    return {
      bars: n, meta, series, period, timeAt, runs, panes: view.panes,
      view: view.current, setView: view.set, showAll: view.showAll, showLast: view.showLast,
      floatText, decodeBase64Portable,
    };
  }

  function summarize(meta, n, period, timeAt) {
    let lowest = 0, highest = 0;
    for (let i = 0; i < n; i++) {
      const p = period[i];
      if (p === 0) continue;
      if (lowest === 0 || p < lowest) lowest = p;
      if (p > highest) highest = p;
    }
    const range = n === 0 ? "" : ", " + timeAt(0) + " to " + timeAt(n - 1);
    const cycle = highest === 0 ? "no cycle found" : "measured cycle period " + lowest + " to " + highest + " bars";
    document.getElementById("summary").textContent =
      n.toLocaleString("en-US") + (n === 1 ? " bar" : " bars") + range + "; " + cycle + ". The first six bars are warm-up (no value).";
  }

  // One line above the panes: the bar under the cursor (else the last bar in
  // view), its time and measured period, and every series' value.
  function makeLegend(meta, n, series, bits, period, timeAt) {
    const root = document.getElementById("legend");
    function item(label, color) {
      const span = document.createElement("span");
      span.className = "item";
      if (color) {
        const swatch = document.createElement("span");
        swatch.className = "swatch";
        swatch.style.background = color;
        span.appendChild(swatch);
      }
      const name = document.createElement("span");
      name.className = "name";
      name.textContent = label;
      const value = document.createElement("span");
      value.className = "value";
      span.append(name, value);
      root.appendChild(span);
      return value;
    }
    const fields = {
      time: item(meta.columns.time || "time"),
      bar: item("bar"),
      period: item("period"),
      price: item("mean price", COLORS.price),
      cycleAverage: item("cycle average", COLORS.cycleAverage),
      smoothedPrice: item("smoothed price", COLORS.smoothedPrice),
      sine: item("sine", COLORS.sine),
      leadSine: item("lead sine", COLORS.leadSine),
    };
    function put(field, text, missing) {
      field.textContent = text;
      field.classList.toggle("none", Boolean(missing));
    }
    let shown = -1;
    return function show(i) {
      if (i === shown || n === 0) return;
      shown = i;
      root.dataset.bar = i;
      put(fields.time, timeAt(i));
      put(fields.bar, (i + 1).toLocaleString("en-US"));
      put(fields.period, period[i] === 0 ? "none found yet" : period[i] + " bars", period[i] === 0);
      put(fields.price, floatText(Math.fround((series.priceA[i] + series.priceB[i]) * 0.5)));
      for (const name of ["cycleAverage", "smoothedPrice", "sine", "leadSine"]) {
        const warmUp = bits[name][i] === NO_VALUE_BITS;
        put(fields[name], warmUp ? "no value (warm-up)" : floatText(series[name][i]), warmUp);
      }
    };
  }

  // uPlot's line, drawn over each run of drawable bars in view, so the
  // gaps stay gaps.
  function brokenLines(runsOf) {
    const linear = uPlot.paths.linear();
    return (u, seriesIdx, idx0, idx1) => {
      const stroke = new Path2D();
      const runs = runsOf[seriesIdx];
      let lo = 0, hi = runs.length;
      while (lo < hi) {
        const mid = (lo + hi) >> 1;
        if (runs[mid][1] < idx0) lo = mid + 1; else hi = mid;
      }
      for (let r = lo; r < runs.length && runs[r][0] <= idx1; r++)
        stroke.addPath(linear(u, seriesIdx, Math.max(runs[r][0], idx0), Math.min(runs[r][1], idx1)).stroke);
      return {stroke, fill: null, clip: null, band: null, gaps: null, flags: 0};
    };
  }

  // The price scale over the bars in view, NaN skipped (uPlot would take it in).
  function priceRange(u) {
    const [first, last] = u.series[1].idxs;
    let lo = Infinity, hi = -Infinity;
    for (let s = 1; s < u.series.length; s++) {
      const values = u.data[s];
      for (let i = Math.max(0, first); i <= last; i++) {
        const v = values[i];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
      }
    }
    if (lo > hi) return [0, 1];
    const pad = lo === hi ? Math.max(1, Math.abs(lo) * 0.01) : (hi - lo) * 0.06;
    return [lo - pad, hi + pad];
  }

  function makePanes(meta, n, x, lines, runs, timeAt, showLegend) {
    const full = n > 1 ? {min: 0, max: n - 1} : {min: -0.5, max: 0.5};
    const fullSpan = full.max - full.min;
    const minSpan = Math.min(MIN_SPAN, fullSpan);
    const openOn = Math.min(n, meta.openOnLast);

    // Whole bars only on the time axis, labelled with the bar's time text.
    const steps = [];
    for (let step = 1; step < 10 * Math.max(n, 1); step *= 10) steps.push(step, 2 * step, 5 * step);
    let widest = 0;
    for (const i of [0, n >> 1, n - 1]) if (i >= 0 && i < n) widest = Math.max(widest, timeAt(i).length);
    const space = Math.min(260, Math.max(60, widest * 7.5 + 24));
    const timeLabels = (u, splits) =>
      splits.map(v => (Number.isInteger(v) && v >= 0 && v < n ? timeAt(v) : ""));
    const timeAxis = labelled => ({
      scale: "x", space, incrs: steps, grid: {stroke: COLORS.grid},
      values: labelled ? timeLabels : (u, splits) => splits.map(() => ""),
      size: labelled ? 34 : 4, ticks: {show: labelled},
    });
    const valueAxis = (scale, label, extra) => Object.assign(
      {scale, label, size: 72, labelSize: 18, grid: {stroke: COLORS.grid}}, extra);

    const panes = [];
    let current = {min: full.min, max: full.max};

    function set(min, max) {
      let span = Math.min(Math.max(max - min, minSpan), fullSpan);
      if (!Number.isFinite(span)) return;
      min = Math.max(full.min, Math.min(min, full.max - span));
      max = min + span;
      if (min === current.min && max === current.max) return;
      current = {min, max};
      for (const pane of panes) pane.setScale("x", {min, max});
      showLegend(legendBar());
    }
    function zoomAround(at, factor) {
      set(at - (at - current.min) * factor, at + (current.max - at) * factor);
    }
    const showAll = () => set(full.min, full.max);
    const showLast = () => set(n - openOn, n - 1);

    // The bar under the cursor, else the last one in view.
    let cursorBar = null;
    function legendBar() {
      if (cursorBar !== null) return cursorBar;
      return Math.max(0, Math.min(n - 1, Math.floor(current.max)));
    }

    const cursor = {
      sync: {key: "zorvane-report"},
      drag: {x: true, y: false, setScale: false},
      // Shift and the middle button pan instead of selecting.
      bind: {
        mousedown: (u, target, handler) => e => {
          if (e.button === 0 && !e.shiftKey && e.target === target) handler(e);
        },
        dblclick: () => null,
      },
      points: {size: 7},
      // No cursor point where a line has a gap.
      dataIdx: (u, seriesIdx, idx) => (seriesIdx === 0 || !Number.isNaN(u.data[seriesIdx][idx]) ? idx : null),
    };
    const hooks = {
      setCursor: [u => {
        cursorBar = u.cursor.idx == null ? null : u.cursor.idx;
        showLegend(legendBar());
      }],
      setSelect: [u => {
        const {left, width} = u.select;
        if (width < 3) return;
        const min = u.posToVal(left, "x"), max = u.posToVal(left + width, "x");
        for (const pane of panes) pane.setSelect({left: 0, top: 0, width: 0, height: 0}, false);
        set(min, max);
      }],
    };

    function xScale() {
      return {time: false, range: (u, min, max) => (min === max ? [min - 1, max + 1] : [min, max])};
    }

    const pricePane = document.getElementById("price-pane");
    const oscillatorPane = document.getElementById("oscillator-pane");
    const size = element => ({width: Math.max(200, element.clientWidth), height: Math.max(120, element.clientHeight)});

    const priceLines = brokenLines([null, runs.price, runs.cycleAverage, runs.smoothedPrice]);
    const oscillatorLines = brokenLines([null, runs.sine, runs.leadSine]);
    const price = new uPlot({
      ...size(pricePane), cursor, hooks, legend: {show: false},
      scales: {x: xScale(), price: {auto: true, range: priceRange}},
      axes: [timeAxis(false), valueAxis("price", "price")],
      series: [
        {},
        {label: "mean price", scale: "price", stroke: COLORS.price, width: 2.2, paths: priceLines},
        {label: "cycle average", scale: "price", stroke: COLORS.cycleAverage, width: 1.6, paths: priceLines},
        {label: "smoothed price", scale: "price", stroke: COLORS.smoothedPrice, width: 1.3, paths: priceLines},
      ],
    }, [x, lines.price, lines.cycleAverage, lines.smoothedPrice], pricePane);

    // The zero line and the bounds at -1 and 1, under the two lines.
    function drawBounds(u) {
      const ctx = u.ctx;
      ctx.save();
      ctx.lineWidth = Math.max(1, devicePixelRatio);
      ctx.strokeStyle = COLORS.bounds;
      for (const level of [-1, 0, 1]) {
        const y = Math.round(u.valToPos(level, "oscillator", true)) + 0.5;
        ctx.setLineDash(level === 0 ? [6 * devicePixelRatio, 4 * devicePixelRatio] : []);
        ctx.beginPath();
        ctx.moveTo(u.bbox.left, y);
        ctx.lineTo(u.bbox.left + u.bbox.width, y);
        ctx.stroke();
      }
      ctx.restore();
    }
    const oscillator = new uPlot({
      ...size(oscillatorPane), cursor, legend: {show: false},
      hooks: Object.assign({drawAxes: [drawBounds]}, hooks),
      scales: {x: xScale(), oscillator: {auto: false, range: () => [-1.15, 1.15]}},
      axes: [timeAxis(true), valueAxis("oscillator", "sine, lead sine", {
        splits: () => [-1, -0.5, 0, 0.5, 1],
        values: (u, splits) => splits.map(v => v.toFixed(1)),
      })],
      series: [
        {},
        {label: "sine", scale: "oscillator", stroke: COLORS.sine, width: 1.5, paths: oscillatorLines},
        {label: "lead sine", scale: "oscillator", stroke: COLORS.leadSine, width: 1.5, paths: oscillatorLines},
      ],
    }, [x, lines.sine, lines.leadSine], oscillatorPane);
    panes.push(price, oscillator);

    for (const pane of panes) {
      pane.over.addEventListener("dblclick", showAll);
      pane.over.addEventListener("wheel", e => {
        e.preventDefault();
        if (Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
          const shift = e.deltaX * (current.max - current.min) / pane.over.clientWidth;
          set(current.min + shift, current.max + shift);
          return;
        }
        const at = pane.posToVal(e.clientX - pane.over.getBoundingClientRect().left, "x");
        zoomAround(at, e.deltaY < 0 ? 0.8 : 1.25);
      }, {passive: false});
      pane.over.addEventListener("mousedown", e => {
        if (!(e.button === 1 || (e.button === 0 && e.shiftKey))) return;
        e.preventDefault();
        const startX = e.clientX, start = current;
        const perPixel = (start.max - start.min) / pane.over.clientWidth;
        const move = ev => {
          const shift = -(ev.clientX - startX) * perPixel;
          set(start.min + shift, start.max + shift);
        };
        const up = () => {
          removeEventListener("mousemove", move);
          removeEventListener("mouseup", up);
        };
        addEventListener("mousemove", move);
        addEventListener("mouseup", up);
      });
    }

    document.addEventListener("keydown", e => {
      if (e.altKey || e.ctrlKey || e.metaKey) return;
      const span = current.max - current.min;
      const step = span * (e.shiftKey ? 1 : 0.2);
      const centre = (current.min + current.max) / 2;
      switch (e.key) {
        case "ArrowLeft": set(current.min - step, current.max - step); break;
        case "ArrowRight": set(current.min + step, current.max + step); break;
        case "+": case "=": zoomAround(centre, 0.8); break;
        case "-": case "_": zoomAround(centre, 1.25); break;
        case "Home": set(full.min, full.min + span); break;
        case "End": set(full.max - span, full.max); break;
        case "Escape": showAll(); break;
        default: return;
      }
      e.preventDefault();
    });

    const lastButton = document.getElementById("show-last");
    lastButton.textContent = "Last " + openOn.toLocaleString("en-US") + " bars";
    lastButton.hidden = openOn >= n;
    lastButton.addEventListener("click", showLast);
    document.getElementById("show-all").addEventListener("click", showAll);

    let resizing = false;
    addEventListener("resize", () => {
      if (resizing) return;
      resizing = true;
      requestAnimationFrame(() => {
        resizing = false;
        price.setSize(size(pricePane));
        oscillator.setSize(size(oscillatorPane));
      });
    });

    current = {min: NaN, max: NaN};
    if (openOn < n) showLast(); else showAll();
    return {panes: {price, oscillator}, current: () => ({...current}), set, showAll, showLast};
  }

  try {
    const report = build();
    window.zorvaneReport = report;
    requestAnimationFrame(() => {
      report.loadMs = performance.now();
      report.ready = true;
    });
  } catch (error) {
    const failure = document.getElementById("failure");
    failure.textContent = "This report cannot be shown: " + error.message;
    failure.hidden = false;
    console.error(error);
  }
})();
