"""The batch call releases the GIL, and calls from many threads at once
give what they give one at a time."""

import threading
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import zorvane
from conftest import generated_series, same_bits


def test_another_thread_runs_during_a_long_call():
    rng = np.random.default_rng(2)
    high = (100 + np.cumsum(rng.uniform(-1, 1, 3_000_000))).astype(np.float32)
    longest_gap, stop = [0.0], threading.Event()

    def ticker():
        # The longest time this thread went without running: a call that
        # held the GIL would stop it for the whole call.
        last = time.perf_counter()
        while not stop.is_set():
            now = time.perf_counter()
            longest_gap[0] = max(longest_gap[0], now - last)
            last = now

    thread = threading.Thread(target=ticker)
    thread.start()
    try:
        time.sleep(0.02)
        started = time.perf_counter()
        zorvane.compute(high, high, "sine")
        elapsed = time.perf_counter() - started
    finally:
        stop.set()
        thread.join()
    assert elapsed > 0.05, "the call must be long enough to tell"
    assert longest_gap[0] < elapsed / 2, f"the other thread stood still {longest_gap[0]:.3f} s of {elapsed:.3f} s"


def test_concurrent_calls_match_sequential_ones():
    series = [s for s in generated_series(count=16, seed=9) if len(s[1]) > 0]
    jobs = [(high, low, mode) for _, high, low in series for mode in zorvane.Mode] * 3
    expected = [zorvane.compute(*job) for job in jobs]
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(lambda job: zorvane.compute(*job), jobs))
    assert all(same_bits(r, e) for r, e in zip(results, expected))
