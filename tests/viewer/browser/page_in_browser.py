#!/usr/bin/env python3
"""Opens the route page of the embedded build in headless Chromium.

Builds the embedded scenario into a fresh directory, writes its page, then
asks Chromium for the DOM after the page's script ran and for a screenshot.
Fails on any console error or script error, and when the page does not hold
one marker per station (13), per signal (34) and the slowdown (1). Then drives
the page over the DevTools protocol as a reader would: hovers a signal and a
strip, zooms with the wheel, drags, zooms the plan; fails when one of them
has no effect, or on any exception, console error or request for anything
outside the page. Last, the same on copies of the page with a fault planted
in each: the check fails when one of them goes unnoticed.
Exits 77 (skipped) when no Chromium is installed.

    page_in_browser.py SCENARIO_BUILDER SCREENSHOT_DIR
"""

import html.parser
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

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


class DevTools:
    """Chromium driven over --remote-debugging-pipe: commands go in on its
    descriptor 3 and answers and events come out of its descriptor 4, as JSON
    messages each ended by a NUL byte."""

    def __init__(self, browser, profile):
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()
        # The shell puts the two pipe ends where Chromium looks for them.
        command = ("exec 3<&%d 4>&%d; exec \"$0\" \"$@\""
                   % (to_browser_read, from_browser_write))
        self.process = subprocess.Popen(
            ["sh", "-c", command, browser, *FLAGS, "--remote-debugging-pipe",
             "--user-data-dir=" + profile, "about:blank"],
            pass_fds=(to_browser_read, from_browser_write),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.pending = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def close(self):
        try:
            self.send("Browser.close", session=False, wait=False)
        except OSError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)

    def _read_message(self, deadline):
        while b"\0" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("Chromium did not answer in time")
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if ready:
                chunk = os.read(self.from_browser, 1 << 16)
                if not chunk:
                    raise EOFError("Chromium closed its end of the pipe")
                self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=True, wait=True, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        if not wait:
            return None
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def wait_event(self, method, timeout=30):
        deadline = time.monotonic() + timeout
        for event in self.events:
            if event.get("method") == method:
                return event
        while True:
            event = self._read_message(deadline)
            self.events.append(event)
            if event.get("method") == method:
                return event

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def mouse(self, kind, x, y, **extra):
        self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, **extra})

    def settle(self):
        # One round trip through the page after the input: its handlers ran.
        self.evaluate("new Promise(r => requestAnimationFrame(() => r(1)))")


CENTRE = """(() => {{
  const e = document.querySelector('{0}');
  if (!e) return null;
  e.scrollIntoView({{block: 'center'}});
  const r = e.getBoundingClientRect();
  return [r.left + r.width / 2, r.top + r.height / 2];
}})()"""


def interact(browser, url):
    """Hovers, zooms and drags in the page as a reader would, and returns what
    did not work, with every exception, console error and request for
    anything but the page itself that happened meanwhile."""
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(browser, profile)
        try:
            target = tools.send("Target.createTarget", {"url": "about:blank"})
            attached = tools.send("Target.attachToTarget",
                                  {"targetId": target["targetId"], "flatten": True})
            tools.session = attached["sessionId"]
            for domain in ("Page", "Runtime", "Log", "Network"):
                tools.send(domain + ".enable")
            tools.send("Emulation.setDeviceMetricsOverride",
                       {"width": 1400, "height": 900, "deviceScaleFactor": 1, "mobile": False})
            tools.send("Page.navigate", {"url": url})
            tools.wait_event("Page.loadEventFired")
            if tools.evaluate("document.body.getAttribute('data-ready')") != "1":
                failures.append("interaction: the page's script did not finish")
                return failures

            tip = "(() => { const t = document.getElementById('tip'); " \
                  "return [getComputedStyle(t).display, t.textContent]; })()"
            # A signal in the object lane: its own words in the tip.
            at = tools.evaluate(CENTRE.format('svg.lane [data-kind="signal"]'))
            tools.mouse("mouseMoved", *at)
            tools.settle()
            shown, text = tools.evaluate(tip)
            if shown != "block" or "signal" not in text or not text.startswith("cell "):
                failures.append("hover on a signal shows %r (%s)" % (text, shown))
            # The gradient strip between objects: the cell's decoded values.
            at = tools.evaluate(CENTRE.format('svg[data-strip="gradient"]'))
            tools.mouse("mouseMoved", *at)
            tools.settle()
            shown, text = tools.evaluate(tip)
            if shown != "block" or not re.match(r"cell \d+ · \d+ to \d+ m · elevation ", text) \
                    or "gradient" not in text:
                failures.append("hover on the gradient strip shows %r (%s)" % (text, shown))

            transform = "document.querySelector('svg.strip g.scaled').getAttribute('transform')"
            before = tools.evaluate(transform)
            tools.mouse("mouseWheel", *at, deltaX=0, deltaY=-600)
            tools.settle()
            zoomed = tools.evaluate(transform)
            scale = re.search(r"scale\(([-\d.e]+),1\)", zoomed or "")
            if not scale or float(scale.group(1)) <= 1.5:
                failures.append("the wheel did not zoom the strips: %r, then %r"
                                % (before, zoomed))
            tools.mouse("mousePressed", *at, button="left", clickCount=1)
            tools.mouse("mouseMoved", at[0] - 200, at[1], button="left")
            tools.mouse("mouseReleased", at[0] - 200, at[1], button="left", clickCount=1)
            tools.settle()
            panned = tools.evaluate(transform)
            if panned == zoomed:
                failures.append("dragging did not pan the strips: %r" % panned)

            view_box = "document.getElementById('plan-view').getAttribute('viewBox')"
            full = tools.evaluate(view_box)
            at = tools.evaluate(CENTRE.format("#plan-view"))
            tools.mouse("mouseWheel", *at, deltaX=0, deltaY=-600)
            tools.settle()
            narrowed = tools.evaluate(view_box)
            if float(narrowed.split()[2]) >= float(full.split()[2]):
                failures.append("the wheel did not zoom the plan: %r, then %r" % (full, narrowed))
        except (OSError, EOFError, TimeoutError, RuntimeError, TypeError) as error:
            failures.append("interaction: %s" % error)
        finally:
            tools.close()
        for event in tools.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                failures.append("exception: %s" % params["exceptionDetails"].get("text"))
            elif method == "Runtime.consoleAPICalled" and params.get("type") == "error":
                failures.append("console error: %s" % params.get("args"))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
                failures.append("log error: %s" % params["entry"].get("text"))
            elif method == "Network.requestWillBeSent":
                requested = params["request"]["url"]
                if requested != url and not requested.startswith(("data:", "about:")):
                    failures.append("the page asked for %s" % requested)
    return failures


# Faults planted in a copy of the page, each of which the interaction must
# name: a checker that passes everything would otherwise look like a page
# that works.
PLANTED = {
    "the strips ignore the wheel": ("svg.addEventListener('wheel'", "svg.addEventListener('wheelx'"),
    "the tip is never shown": ("tip.textContent=text; tip.style.display='block';",
                               "tip.textContent=text;"),
    "dragging does nothing": ("if(drag){off=drag.off-(ev.clientX-drag.x);apply();}", "if(drag){}"),
    "the plan ignores the wheel": ("box=[ux-(ux-box[0])*r,uy-(uy-box[1])*r,w,box[3]*r]; setBox();",
                                   ""),
    "an exception after a drag": ("window.addEventListener('mouseup',function(){drag=null;});",
                                  "window.addEventListener('mouseup',function(){drag=null;null.x;});"),
    "a request outside the page": ("<h1>", "<img src=\"http://example.invalid/x.png\"><h1>"),
}


def checker_misses(browser, page, work):
    """The planted faults that the interaction does not notice."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    missed = []
    for name, (original, planted) in PLANTED.items():
        if original not in text:
            missed.append("%s (the page no longer holds %r)" % (name, original))
            continue
        damaged = os.path.join(work, "planted.html")
        with open(damaged, "w", encoding="utf-8") as f:
            f.write(text.replace(original, planted, 1))
        if not interact(browser, "file://" + damaged):
            missed.append(name)
    return missed


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

        failures.extend(interact(browser, url))
        for missed in checker_misses(browser, page, work):
            failures.append("the checker did not notice a planted fault: " + missed)

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
