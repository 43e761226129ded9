#!/usr/bin/env python3
"""How long the sign-up page's script takes to find its proof of work in headless Chromium.

Usage: bench/proof_of_work_browser.py [KELTO_REGISTER] [--runs N]
Signs up through the page RUNS times at each of 16, 20 and 22 bits (fewer at 22: RUNS // 2,
at least 5) and prints the median time the script took, read from its "proof of work"
performance measure, with the hashes it tried per second and the mean time those give
(2^bits hashes): the time to a find is spread wide, so a median of few runs tells less.
Run it with python3-selenium, chromium and chromium-driver installed, on a quiet machine.
"""
import os
import statistics
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "browser"))
sys.dont_write_bytecode = True  # no cache folder left in the source tree
from tst_signup_page import answer, browser, expect, fill, service  # noqa: E402


def measure(driver, program, bits, runs):
    times, tries = [], 0
    with service(program, os.path.join(ROOT, "demo"), "--proof-of-work", str(bits)) as (url, _):
        for run in range(runs):
            driver.get(url)
            fill(driver, f"bench{bits}x{run}", "lantern5")
            expect(answer(driver), f"Your account bench{bits}x{run} is ready.", "the answer")
            duration, tried = driver.execute_script(
                "const m = performance.getEntriesByName('proof of work').pop();"
                "return [m.duration, m.detail.tries];")
            times.append(duration / 1000)
            tries += tried
    return times, tries / sum(times)


def main():
    arguments = sys.argv[1:]
    runs = 15
    if "--runs" in arguments:
        at = arguments.index("--runs")
        runs = int(arguments.pop(at + 1))
        arguments.pop(at)
    program = arguments[0] if arguments else os.path.join(ROOT, "build/register/kelto-register")
    print("| bits | runs | median | fastest | slowest | hashes per second | mean at that rate |")
    print("|---|---|---|---|---|---|---|")
    with browser() as driver:
        for bits, count in ((16, runs), (20, runs), (22, max(5, runs // 2))):
            times, rate = measure(driver, program, bits, count)
            print(f"| {bits} | {count} | {statistics.median(times):.2f} s | {min(times):.2f} s"
                  f" | {max(times):.2f} s | {rate / 1e6:.2f} M | {2 ** bits / rate:.2f} s |",
                  flush=True)


if __name__ == "__main__":
    main()
