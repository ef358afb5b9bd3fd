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
The labels of the lanes and of the plan are held, at full view and zoomed
in, to stay wholly inside their drawing and off every marker; on the
embedded build, and on a 1,000 km line that GEN_LARGE writes when it is
given. The page of texts with an error shows its list of errors in the
first view, above the drawing, and marks the error's object on the strips.
Exits 77 (skipped) when no Chromium is installed.

    page_in_browser.py SCENARIO_BUILDER SCREENSHOT_DIR [GEN_LARGE]
"""

import csv
import html.parser
import json
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import FLAGS, DevTools, chromium  # noqa: E402
import live_checks  # noqa: E402

SKIP = 77
EXPECTED = {"station": 13, "signal": 34, "slowdown": 1}


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


CENTRE = """(() => {{
  const e = document.querySelector('{0}');
  if (!e) return null;
  e.scrollIntoView({{block: 'center'}});
  const r = e.getBoundingClientRect();
  return [r.left + r.width / 2, r.top + r.height / 2];
}})()"""

# The labels of every drawing that can be seen, and the pairs of them whose
# boxes meet by more than half a pixel.
OVERLAPS = """(() => {
  const boxes = [];
  for (const svg of document.querySelectorAll('svg')) {
    const f = svg.getBoundingClientRect();
    for (const t of svg.querySelectorAll('text')) {
      const r = t.getBoundingClientRect();
      if (getComputedStyle(t).display === 'none' || r.width === 0) continue;
      if (r.right <= f.left || r.left >= f.right || r.bottom <= f.top || r.top >= f.bottom) continue;
      boxes.push([r.left, r.top, r.right, r.bottom, t.textContent]);
    }
  }
  const meet = [];
  for (let i = 0; i < boxes.length; i++) for (let j = i + 1; j < boxes.length; j++) {
    const a = boxes[i], b = boxes[j];
    if (a[0] < b[2] - 0.5 && b[0] < a[2] - 0.5 && a[1] < b[3] - 0.5 && b[1] < a[3] - 0.5)
      meet.push(a[4] + ' over ' + b[4]);
  }
  return [boxes.length, meet.slice(0, 4)];
})()"""

# Where the strips' zoom is and where the focus line stands after a jump.
JUMPED = """(() => {
  const t = document.querySelector('svg.strip g.scaled').getAttribute('transform');
  const f = document.querySelector('svg.strip line.focus');
  return [t, f.style.display, +f.getAttribute('x1'), document.getElementById('jump-note').textContent];
})()"""


# In every lane of markers, the axis and the plan: the labels to be seen that pass
# an edge of their drawing, and those that cover a marker (a lane's marker
# shapes, the plan's station dots), by their boxes on the screen.
LAYOUT = """(() => {
  const inside = (r, f) => r.left >= f.left - 0.5 && r.right <= f.right + 0.5 &&
    r.top >= f.top - 0.5 && r.bottom <= f.bottom + 0.5;
  const meet = (a, b) => a.left < b.right - 0.5 && b.left < a.right - 0.5 &&
    a.top < b.bottom - 0.5 && b.top < a.bottom - 0.5;
  const faults = [];
  let labels = 0, markers = 0;
  for (const svg of document.querySelectorAll('svg.lane, svg.axis, #plan-view')) {
    const f = svg.getBoundingClientRect();
    const seen = r => r.width > 0 && r.right > f.left && r.left < f.right && r.bottom > f.top && r.top < f.bottom;
    const marks = Array.from(svg.querySelectorAll(
        'g.pinned > path[data-kind], g.pinned > [data-kind] > path, [data-kind=plan-station] circle'))
      .map(m => m.getBoundingClientRect()).filter(seen).sort((a, b) => a.left - b.left);
    markers += marks.length;
    for (const t of svg.querySelectorAll('text')) {
      if (getComputedStyle(t).display === 'none') continue;
      const r = t.getBoundingClientRect();
      if (!seen(r)) continue;
      labels++;
      const name = (svg.getAttribute('data-strip') || svg.id) + ' ' + JSON.stringify(t.textContent);
      if (!inside(r, f)) faults.push(name + ' is cut at an edge of its drawing');
      for (const m of marks) {
        if (m.left > r.right) break;
        if (meet(r, m)) { faults.push(name + ' covers a marker at x ' + Math.round(m.left)); break; }
      }
    }
  }
  return [labels, markers, faults.length, faults.slice(0, 4)];
})()"""


def label_overlaps(tools, when):
    count, meet = tools.evaluate(OVERLAPS)
    failures = []
    if count < 10:
        failures.append("labels %s: only %d labels to be seen" % (when, count))
    for pair in meet:
        failures.append("labels %s: %s" % (when, pair))
    return failures + layout_failures(tools, when, least=10 if when == "at full view" else 3)


def layout_failures(tools, when, least=10):
    labels, markers, faulty, some = tools.evaluate(LAYOUT)
    failures = []
    if labels < least or markers < least:
        failures.append("layout %s: only %d labels and %d markers to be seen" % (when, labels, markers))
    for fault in some:
        failures.append("layout %s: %s (%d in all)" % (when, fault, faulty))
    return failures


def zoom_strips(tools):
    at = tools.evaluate(CENTRE.format('svg[data-strip="gradient"]'))
    tools.mouse("mouseWheel", *at, deltaX=0, deltaY=-900)
    tools.settle()


def long_line(program, generator, browser, work):
    """The page of a 1,000 km line, at full view and zoomed in: no label cut
    at an edge or laid over a marker."""
    folder = os.path.join(work, "long")
    os.makedirs(folder)
    listed = subprocess.run([generator, "--length", "1000000", "--out", folder], check=True,
                            capture_output=True, text=True, timeout=120).stdout.split("\n")
    page = os.path.join(folder, "long.html")
    subprocess.run([program, "view", listed[2], listed[3], "-o", page], check=True,
                   capture_output=True, timeout=120)
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(browser, profile)
        try:
            tools.open_page("file://" + page)
            if not tools.wait_for("document.body.getAttribute('data-ready') === '1'", 60):
                return ["1000 km: the page's script did not finish"]
            failures.extend(layout_failures(tools, "1000 km at full view", least=50))
            zoom_strips(tools)
            failures.extend(layout_failures(tools, "1000 km zoomed in", least=3))
        except (OSError, EOFError, TimeoutError, RuntimeError, TypeError) as error:
            failures.append("1000 km: %s" % error)
        finally:
            tools.close()
    return failures


# Where the list of errors stands in the first view, the drawing's top, and
# the first mark of an error on the strips with the entry its link names.
FIRST_VIEW = """(() => {
  const d = document.getElementById('diagnostics'), g = document.getElementById('drawing');
  if (!d || !g) return null;
  const a = d.getBoundingClientRect(), b = g.getBoundingClientRect();
  const mark = document.querySelector('svg.faults [data-kind=fault]');
  const entry = mark && document.getElementById((mark.getAttribute('href') || '#').slice(1));
  return [a.top, a.bottom, b.top, innerHeight, mark ? mark.textContent : null,
          entry ? entry.textContent : null];
})()"""
CHOSEN = """(() => { const e = document.querySelector('#diagnostics li.chosen');
  return e ? e.id : null; })()"""


def error_page_failures(browser, url):
    """The page of texts with a signal on an occupied cell: the list of errors
    is in the first view, above the drawing; the signal's place is marked
    with the code on the strips, its mark linked to the list's entry."""
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(browser, profile)
        try:
            tools.open_page(url)
            if not tools.wait_for("document.body.getAttribute('data-ready') === '1'", 30):
                return ["failed build: the page's script did not finish"]
            seen = tools.evaluate(FIRST_VIEW)
            if not seen:
                return ["failed build: no list of errors, or no drawing"]
            top, bottom, drawing, height, mark, entry = seen
            if top < 0 or bottom > height or bottom > drawing:
                failures.append("failed build: the list of errors stands from %s to %s, the drawing"
                                " from %s, the first view ends at %s" % (top, bottom, drawing, height))
            if mark != "16" or not entry or "error 16" not in entry:
                failures.append("failed build: the mark %r links to %r" % (mark, entry))
            else:
                at = tools.evaluate(CENTRE.format("svg.faults [data-kind=fault] path"))
                tools.mouse("mousePressed", *at, button="left", clickCount=1)
                tools.mouse("mouseReleased", *at, button="left", clickCount=1)
                tools.settle()
                chosen = tools.evaluate(CHOSEN)
                if not chosen or not chosen.startswith("diagnostic-"):
                    failures.append("failed build: a click on the mark chose %r in the list" % chosen)
            failures.extend(layout_failures(tools, "failed build"))
        except (OSError, EOFError, TimeoutError, RuntimeError, TypeError) as error:
            failures.append("failed build: %s" % error)
        finally:
            tools.close()
    return failures


FAILED_PLANTED = {
    "the list stands below a screenful": ('<section id="diagnostics"',
                                          '<div style="height:1200px"></div><section id="diagnostics"'),
    "no error is marked": ('data-kind="fault"', 'data-kind="other"'),
    "the mark links nowhere": ('href="#diagnostic-', 'href="#nowhere-'),
}


def failed_build(program, browser, work):
    """Every failure of the page of texts that do not compile cleanly, and of
    its check on pages with a fault planted."""
    folder = os.path.join(work, "failed")
    os.makedirs(folder)
    subprocess.run([program, "export-sources", "--out", folder], check=True, capture_output=True)
    line = os.path.join(folder, "Vescara_Ormeda_linea.txt")
    service = os.path.join(folder, "Vescara_Ormeda_4816-.txt")
    with open(service, encoding="cp1252", newline="") as f:
        text = f.read()
    with open(service, "w", encoding="cp1252", newline="") as f:
        f.write(text.replace("segnale,   10400,", "segnale,    4200,", 1))
    page = os.path.join(folder, "failed.html")
    viewed = subprocess.run([program, "view", line, service, "-o", page], capture_output=True,
                            text=True)
    if viewed.returncode != 2:
        return ["failed build: view ended with %d: %s" % (viewed.returncode, viewed.stderr)]
    failures = error_page_failures(browser, "file://" + page)
    with open(page, encoding="utf-8") as f:
        written = f.read()
    for name, (original, planted) in FAILED_PLANTED.items():
        damaged = os.path.join(folder, "planted.html")
        with open(damaged, "w", encoding="utf-8") as f:
            f.write(written.replace(original, planted, 1))
        if original not in written or not error_page_failures(browser, "file://" + damaged):
            failures.append("the checker did not notice a planted fault: " + name)
    return failures


def jump(tools, text):
    tools.evaluate("document.getElementById('jump-to').value = %s; "
                   "document.getElementById('jump').requestSubmit()" % json.dumps(text))
    tools.settle()
    return tools.evaluate(JUMPED)


def jumps(tools):
    """A station's name, in other letter case, and a kilometre each centre the
    strips on their place; a name of nothing says so."""
    failures = []
    for text in ("ormeda s.v.", "km 12,5"):
        transform, shown, x, note = jump(tools, text)
        scale = re.search(r"scale\(([-\d.e]+),1\)", transform or "")
        if not scale or float(scale.group(1)) < 5 or shown == "none" or abs(x - 600) > 2 or note:
            failures.append("jump to %r: %s, focus %s at %s, note %r" % (text, transform, shown, x, note))
    _, _, _, note = jump(tools, "nowhere")
    if not note:
        failures.append("a jump to nowhere says nothing")
    tools.evaluate("document.getElementById('zoom-reset').click()")
    return failures


def downloaded(folder, suffix, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for name in os.listdir(folder):
            if name.endswith(suffix):
                return os.path.join(folder, name)
        time.sleep(0.05)
    return None


def downloads(tools, cells):
    """The cells' table holds every field of every cell as the grid file does,
    and the plan's drawing stands on its own."""
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        tools.send("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder},
                   session=False)
        tools.evaluate("document.getElementById('save-cells').click()")
        path = downloaded(folder, "_cells.csv")
        if not path:
            return ["no table of cells was downloaded"]
        with open(path, newline="", encoding="utf-8") as f:
            rows = list(csv.DictReader(f))
        if len(rows) != len(cells):
            failures.append("the table holds %d cells, the grid %d" % (len(rows), len(cells)))
        for row, cell in zip(rows, cells):
            differ = {k: (row.get(k), v) for k, v in cell.items() if row.get(k) != str(v)}
            if differ:
                failures.append("cell %s of the table differs from the grid: %s" % (cell["cell"], differ))
                break
        tools.evaluate("document.getElementById('save-plan').click()")
        path = downloaded(folder, "_plan.svg")
        if not path:
            return failures + ["no drawing of the plan was downloaded"]
        with open(path, encoding="utf-8") as f:
            svg = f.read()
        if not svg.startswith("<?xml") or 'xmlns="http://www.w3.org/2000/svg"' not in svg \
                or '<polyline class="track"' not in svg or "#plan-view" not in svg:
            failures.append("the plan's drawing is not a drawing of its own: %r" % svg[:200])
    return failures


def interact(browser, url, cells):
    """Hovers, zooms and drags in the page as a reader would, jumps, looks at
    its labels and downloads its tables, and returns what did not work, with
    every exception, console error and request for anything but the page
    itself that happened meanwhile."""
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(browser, profile)
        try:
            tools.open_page(url)
            if tools.evaluate("document.body.getAttribute('data-ready')") != "1":
                failures.append("interaction: the page's script did not finish")
                return failures
            failures.extend(label_overlaps(tools, "at full view"))

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
            failures.extend(label_overlaps(tools, "zoomed in"))
            failures.extend(jumps(tools))
            failures.extend(downloads(tools, cells))
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
                if requested != url and not requested.startswith(("data:", "about:", "blob:")):
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
    "the lane's labels are never placed": ("function layoutLane(){", "function layoutLane(){return;"),
    "the plan's labels are never placed": ("var layoutPlan=function(){",
                                           "var layoutPlan=function(){return;"),
    "the jump box goes nowhere": ("function jumpTo(m){", "function jumpTo(m){return;"),
    "the table of cells mixes two fields": ("gradient:valueAt(data.g,c)", "gradient:valueAt(data.s,c)"),
    "the plan's drawing loses its style": ("copy.insertBefore(style,copy.firstChild);", ""),
    "labels are laid over markers": ("coversMarker(lane,l,r,y-ASCENT,y+DESCENT)) continue;",
                                     "false) continue;"),
    "labels run past the strip's edges": ("if(l<0||r>W||", "if("),
    "the written layout is kept at every view": ("if(k===1&&off===0&&lane.fits){", "if(lane.fits){"),
}


def checker_misses(browser, page, work, cells):
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
        if not interact(browser, "file://" + damaged, cells):
            missed.append(name)
    return missed


def grid_cells(program, grid):
    """Every cell of a grid file as `inspect` decodes it, a cell that holds
    nothing as zeros."""
    listed = json.loads(subprocess.run([program, "inspect", "--json", grid], check=True,
                                       capture_output=True, text=True).stdout)[0]
    held = {c["cell"]: c for c in listed["cells"]}
    fields = ["kind", "param1", "param2", "param3", "param4", "signal_time", "approach_mark",
              "mountain_type", "speed_limit", "gradient", "adhesion"]
    cells = []
    for n in range(listed["cell_count"]):
        cell = {"cell": n, "metres": n * 50}
        cell.update({f: held[n][f] if n in held else 0 for f in fields})
        cells.append(cell)
    return cells


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    program, shots = sys.argv[1], sys.argv[2]
    generator = sys.argv[3] if len(sys.argv) == 4 else None
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

        cells = grid_cells(program, os.path.join(work, "Vescara_Ormeda_4816.dat"))
        failures.extend(interact(browser, url, cells))
        for missed in checker_misses(browser, page, work, cells):
            failures.append("the checker did not notice a planted fault: " + missed)
        failures.extend(live_checks.check(program, browser, work))
        failures.extend(failed_build(program, browser, work))
        if generator:
            failures.extend(long_line(program, generator, browser, work))

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
