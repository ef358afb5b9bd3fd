#!/usr/bin/env python3
"""Opens the route page of the embedded build in headless Chromium.

Builds the embedded scenario into a fresh directory, writes its page, then
asks Chromium for the DOM after the page's script ran and for a screenshot.
Fails on any console error or script error, and when the page does not hold
one marker per station (13), per signal (34) and the slowdown (1).
Exits 77 (skipped) when no Chromium is installed.

    page_in_browser.py SCENARIO_BUILDER SCREENSHOT_DIR
"""

import html.parser
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
EXPECTED = {"station": 13, "signal": 34, "slowdown": 1}
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update",
         "--disable-sync"]


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def run_chromium(browser, extra, url):
    # Each run gets a new empty profile, so nothing of an earlier run counts.
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run(
            [browser, *FLAGS, "--user-data-dir=" + profile, *extra, url],
            capture_output=True, text=True, timeout=120)


class Counter(html.parser.HTMLParser):
    """The data-kind of every element, and the attributes of html and body."""

    def __init__(self):
        super().__init__()
        self.kinds = {}
        self.root = {}
        self.body = {}

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if tag == "html":
            self.root = attributes
        if tag == "body":
            self.body = attributes
        kind = attributes.get("data-kind")
        if kind:
            self.kinds[kind] = self.kinds.get(kind, 0) + 1

    handle_startendtag = handle_starttag


def console_errors(log):
    # Chromium logs a page's console messages as CONSOLE lines; errors of the
    # page show as "Uncaught" or at the error level.
    return [line for line in log.splitlines()
            if "CONSOLE" in line and ("Uncaught" in line or "ERROR" in line
                                      or "Error" in line)]


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    program, shots = sys.argv[1], sys.argv[2]
    browser = chromium()
    if not browser:
        print("skipped: no chromium on this machine (install the chromium package)")
        return SKIP

    failures = []
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        subprocess.run([program, "build", "--out", work], check=True, env=env,
                       capture_output=True)
        page = os.path.join(work, "route.html")
        subprocess.run([program, "view", "--dir", work, "-o", page], check=True,
                       capture_output=True)
        url = "file://" + page

        dump = run_chromium(browser, ["--enable-logging=stderr", "--v=0",
                                      "--virtual-time-budget=5000", "--dump-dom"], url)
        if dump.returncode != 0:
            failures.append("chromium --dump-dom ended with %d" % dump.returncode)
        for line in console_errors(dump.stderr):
            failures.append("console: " + line)

        counter = Counter()
        counter.feed(dump.stdout)
        if "data-script-error" in counter.root:
            failures.append("script error: " + counter.root["data-script-error"])
        if counter.body.get("data-ready") != "1":
            failures.append("the page's script did not finish (no data-ready on body)")
        for kind, count in EXPECTED.items():
            seen = counter.kinds.get(kind, 0)
            said = counter.body.get("data-%s-count" % kind)
            if seen != count:
                failures.append("%d %s markers in the DOM, expected %d" % (seen, kind, count))
            if said != str(count):
                failures.append("the page counts %s %s markers, expected %d" % (said, kind, count))

        os.makedirs(shots, exist_ok=True)
        shot = os.path.join(shots, "route_page.png")
        if os.path.exists(shot):
            os.remove(shot)
        picture = run_chromium(browser, ["--hide-scrollbars", "--window-size=1400,1700",
                                         "--screenshot=" + shot], url)
        if picture.returncode != 0 or not os.path.exists(shot):
            failures.append("no screenshot from chromium (status %d)" % picture.returncode)
        else:
            with open(shot, "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    failures.append("the screenshot is not a PNG")

    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("ok: %s; screenshot in %s" % (
            ", ".join("%d %s" % (EXPECTED[k], k) for k in EXPECTED), shots))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
