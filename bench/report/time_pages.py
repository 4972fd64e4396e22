#!/usr/bin/env python3
"""Times the loading of each kind of page of a written report in headless
Chromium (its largest page of each kind), beside the loading of an empty page
in the same run, and prints every page's size against the limits.

usage: time_pages.py REPORT_FOLDER   (fennaro_bench_report keeps one in
       OUT_DIR/last-report)
"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

RUNS = 3


def processor_seconds():
    """Returns the processor seconds the finished children have used."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def load_seconds(browser, profile, page):
    """Returns the best wall and processor times (all of Chromium's
    processes) of RUNS loads of page, its script run."""
    best, best_cpu = 1e9, 1e9
    for _ in range(RUNS):
        start, cpu = time.monotonic(), processor_seconds()
        subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu",
                        "--user-data-dir=" + profile, "--dump-dom", "file://" + page],
                       capture_output=True, timeout=300, check=True)
        best = min(best, time.monotonic() - start)
        best_cpu = min(best_cpu, processor_seconds() - cpu)
    return best, best_cpu


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    folder = os.path.abspath(sys.argv[1])
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    kinds = {}
    for root, _, files in os.walk(folder):
        for name in files:
            if not name.endswith(".html"):
                continue
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder)
            kind = ("conversation" if relative.startswith("conversations/") else
                    "entry" if name == "report.html" else
                    "timeline index" if name == "timeline.html" else
                    name.split("-")[0].split(".")[0])
            size = os.path.getsize(path)
            if kind not in kinds or size > kinds[kind][1]:
                kinds[kind] = (relative, size)
    with tempfile.TemporaryDirectory(prefix="fennaro-pages-") as work:
        empty = os.path.join(work, "empty.html")
        with open(empty, "w") as f:
            f.write("<!DOCTYPE html><title>empty</title>")
        profile = os.path.join(work, "profile")
        base, base_cpu = load_seconds(browser, profile, empty)
        print("empty page: %.2f s wall, %.2f s processor (Chromium's start and end)" %
              (base, base_cpu))
        print("over the empty page (the page's own load):")
        for kind, (relative, size) in sorted(kinds.items()):
            wall, cpu = load_seconds(browser, profile, os.path.join(folder, relative))
            print("%-15s %-32s %6.2f MB  %5.2f s wall  %5.2f s processor" %
                  (kind, relative, size / 1e6, wall - base, cpu - base_cpu))
    return 0


if __name__ == "__main__":
    sys.exit(main())
