#!/usr/bin/env python3
"""Turns the benchmark's JSON output into the README's tables: ns per bar of
the module (as it runs here, then with each batch kernel set) and of the
literal implementation, and their ratio.

    build/bin/oscillator_benchmark --benchmark_format=json > bench.json
    python3 benchmarks/ratio_table.py bench.json
"""
import json
import sys

MODES = {1: "1 cycle average", 2: "2 smoothed price", 3: "3 sine", 4: "4 lead sine"}


def main(path):
    runs = json.load(open(path))["benchmarks"]
    ns = {}
    for run in runs:
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        kind, mode, bars = run.get("run_name", run["name"]).split("/")[:3]
        # The counter is seconds per bar.
        ns[(kind, int(mode.split(":")[1]), int(bars.split(":")[1]))] = run["ns_per_bar"] * 1e9
    sizes = sorted({k[2] for k in ns if k[0] in ("Module", "Literal")})
    # The module as it runs here, then with each batch kernel set named
    # ("Kernels:avx2": what a processor without AVX-512 runs).
    kernel_sets = sorted({k[0] for k in ns if k[0].startswith("Kernels:")})
    for kind in ["Module"] + kernel_sets:
        if kind != "Module":
            print(f"\nWith the {kind.split(':')[1]} kernels:\n")
        print("| mode | " + " | ".join(f"{n:,} bars: module / literal, speed-up" for n in sizes) + " |")
        print("|---|" + "---|" * len(sizes))
        for mode, name in MODES.items():
            cells = []
            for n in sizes:
                module, literal = ns[(kind, mode, n)], ns[("Literal", mode, n)]
                cells.append(f"{module:.0f} / {literal:.0f} ns, {literal / module:.1f}x")
            print(f"| {name} | " + " | ".join(cells) + " |")
    for kind, _, n in sorted(k for k in ns if k[0] == "AllModes"):
        both, lead = ns[(kind, 0, n)], ns[("Module", 4, n)]
        print(f"\nAll four outputs from one pass, {n:,} bars: {both:.1f} ns per bar; one mode-4 call "
              f"{lead:.1f} ns per bar: {both / lead:.2f} times")
    pushes = [k for k in ns if k[0] == "Push"]
    for kind, _, n in pushes:
        push, literal = ns[(kind, 0, n)], ns[("Literal", 3, n)]
        print(f"\nStreaming push, all four outputs, {n:,} bars: {push:.0f} ns per bar; "
              f"a literal mode-3 call {literal:.0f} ns per bar: {literal / push:.1f}x")


if __name__ == "__main__":
    main(sys.argv[1])
