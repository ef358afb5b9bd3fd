"""Chromium driven over the DevTools protocol through a pipe, for the
checks of the route page and the measure of its live reload."""

import json
import os
import select
import shutil
import subprocess
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-background-networking", "--disable-component-update",
         "--disable-sync"]


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


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

    def open_page(self, url, width=1400, height=900, before=None):
        """A new tab of the given size, attached, that has loaded `url`;
        `before`, a script, runs in each of its documents before their own."""
        target = self.send("Target.createTarget", {"url": "about:blank"})
        attached = self.send("Target.attachToTarget",
                             {"targetId": target["targetId"], "flatten": True})
        self.session = attached["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.send(domain + ".enable")
        if before:
            self.send("Page.addScriptToEvaluateOnNewDocument", {"source": before})
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.navigate", {"url": url})
        self.wait_event("Page.loadEventFired")

    def wait_for(self, expression, timeout):
        """Evaluates `expression` until it is true; its last value, or None
        when the time ran out first."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                value = self.evaluate(expression)
            except RuntimeError:
                value = None  # the page was between two documents
            if value or time.monotonic() >= deadline:
                return value
            time.sleep(0.02)
