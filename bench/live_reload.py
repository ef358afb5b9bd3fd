#!/usr/bin/env python3
"""Times the loop of `serve`: from the save of a text to the updated page
painted in headless Chromium.

Starts `serve` on the two texts, opens its page, then saves the service text
again and again, a signal's position moved back and forth by 50 m, and takes
the time from the end of each save to the first frame the browser paints of
the new page (the page calls back through the DevTools protocol from its
second animation frame after loading). Prints the median, the fastest and the
slowest in milliseconds, as "median_ms=... min_ms=... max_ms=... page_bytes=...".

    live_reload.py SCENARIO_BUILDER LINE_TEXT SERVICE_TEXT [--rounds N]
"""

import argparse
import os
import re
import statistics
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "viewer", "browser"))
from devtools import DevTools, chromium  # noqa: E402
import live_checks  # noqa: E402

# Each new document of the tab tells when it has painted its first frame.
PAINTED = """addEventListener('load', () => requestAnimationFrame(() => requestAnimationFrame(
  () => window.painted(document.body.getAttribute('data-build') || ''))));"""


def painted(tools, old, timeout):
    """Reads the browser's messages until a document other than `old` says it
    has painted; its build, and the time it said so."""
    deadline = time.monotonic() + timeout
    while True:
        event = tools._read_message(deadline)
        if event.get("method") == "Runtime.bindingCalled":
            build = event["params"]["payload"]
            if build and build != old:
                return build, time.monotonic()


def save(path, text):
    """Saves in one write over the old content, of the same length: no look
    at the file can find it empty or cut, as it could between an editor's
    truncation and its write."""
    data = text.encode("cp1252")
    fd = os.open(path, os.O_WRONLY)
    try:
        os.write(fd, data)
        os.ftruncate(fd, len(data))
    finally:
        os.close(fd)


def moved(text, row, by):
    """The text with the position of the row `row` (its start) moved."""
    at = text.index(row)
    head, number = re.match(r"(segnale,\s*)(\d+)", text[at:]).groups()
    return text[:at] + head + str(int(number) + by) + text[at + len(head) + len(number):]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("line")
    parser.add_argument("service")
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args()
    browser = chromium()
    if not browser:
        print("skipped: no chromium on this machine")
        return 0
    with open(args.service, encoding="cp1252", newline="") as f:
        original = f.read()
    row = re.search(r"^segnale,", original, re.M)
    texts = [original, moved(original, original[row.start():row.start() + 8], 50)]

    process, port, said = live_checks.start_serve(args.program, os.path.abspath(args.line),
                                                  os.path.abspath(args.service))
    url = "http://127.0.0.1:%d/" % port
    times = []
    try:
        with urllib.request.urlopen(url) as answer:
            page_bytes = len(answer.read())
        with tempfile.TemporaryDirectory() as profile:
            tools = DevTools(browser, profile)
            try:
                target = tools.send("Target.createTarget", {"url": "about:blank"})
                tools.session = tools.send("Target.attachToTarget", {
                    "targetId": target["targetId"], "flatten": True})["sessionId"]
                tools.send("Runtime.enable")
                tools.send("Page.enable")
                tools.send("Runtime.addBinding", {"name": "painted"})
                tools.send("Page.addScriptToEvaluateOnNewDocument", {"source": PAINTED})
                tools.send("Emulation.setDeviceMetricsOverride",
                           {"width": 1400, "height": 900, "deviceScaleFactor": 1, "mobile": False})
                tools.send("Page.navigate", {"url": url})
                build, _ = painted(tools, None, 60)
                for n in range(args.rounds + 1):
                    # A save lands at any moment of the server's look at the
                    # texts: a pause of a varied length before each.
                    time.sleep(0.2 + 0.0137 * (n % 8))
                    save(args.service, texts[(n + 1) % 2])
                    saved = time.monotonic()
                    build, shown = painted(tools, build, 30)
                    if n > 0:  # the first reload warms the browser's caches
                        times.append((shown - saved) * 1000)
            finally:
                tools.close()
    finally:
        live_checks.write(args.service, original)
        live_checks.stop_serve(process, said)
    print("median_ms=%.1f min_ms=%.1f max_ms=%.1f page_bytes=%d" % (
        statistics.median(times), min(times), max(times), page_bytes))
    return 0


if __name__ == "__main__":
    sys.exit(main())
