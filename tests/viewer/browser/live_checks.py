"""The page that `serve` keeps up to date, driven in headless Chromium.

Starts `serve` on a free port with the embedded texts and checks the server
first: a request naming another host is refused, and it listens on the
loopback address only. Then opens the page, zooms it, moves a signal in the
service text and expects the page to show the moved signal within 2 s at the
same zoom; empties the line text and expects the list of errors in view,
whole, and the last drawing greyed. Last, each check must fail on a fault
planted in the page as the browser runs it, and the server checks on a
server that answers anyone anywhere.
"""

import argparse
import http.client
import http.server
import os
import sys
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time

from devtools import DevTools

UPDATE_SECONDS = 2.0
FIRST_SIGNAL = "segnale,    1950,"
MOVED_SIGNAL = "segnale,    2450,"  # from cell 40 to cell 50


def start_serve(program, line, service, launcher=(), cwd=None):
    """The serving process, its port, and what it has said, once it has said
    where it serves. A thread keeps reading what it says."""
    process = subprocess.Popen([*launcher, program, "serve", line, service, "--port", "0"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               cwd=cwd)
    said = []
    threading.Thread(target=lambda: said.extend(process.stdout), daemon=True).start()
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and process.poll() is None:
        found = re.search(r"http://127\.0\.0\.1:(\d+)/", "".join(said))
        if found:
            return process, int(found.group(1)), said
        time.sleep(0.02)
    process.kill()
    raise RuntimeError("serve did not say where it serves: %r" % "".join(said))


def stop_serve(process, said):
    """Ctrl-C: its status, and all it said."""
    process.send_signal(signal.SIGINT)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None, "".join(said)
    time.sleep(0.1)  # the reading thread takes the last words
    return process.returncode, "".join(said)


def ask(port, path, host):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        connection.putrequest("GET", path, skip_host=True)
        connection.putheader("Host", host)
        connection.endheaders()
        answer = connection.getresponse()
        # The event stream never ends: its status and headers are enough.
        return answer.status, answer.read() if path != "/events" or answer.status != 200 else b""
    finally:
        connection.close()


def other_addresses():
    """This machine's IPv4 addresses other than the loopback ones."""
    found = set()
    try:
        out = subprocess.run(["hostname", "-I"], capture_output=True, text=True, timeout=5).stdout
        found.update(a for a in out.split() if "." in a)
    except (OSError, subprocess.SubprocessError):
        pass
    try:
        found.update(socket.gethostbyname_ex(socket.gethostname())[2])
    except OSError:
        pass
    return sorted(a for a in found if not a.startswith("127."))


def server_failures(port):
    """What the server at `port` answers that it must not."""
    failures = []
    status, _ = ask(port, "/", "127.0.0.1:%d" % port)
    if status != 200:
        failures.append("the page is not served to its own name (status %d)" % status)
    for path, host in (("/", "rebound.example:%d" % port), ("/events", "rebound.example")):
        status, _ = ask(port, path, host)
        if status != 403:
            failures.append("%s for Host %s answered %d, not 403" % (path, host, status))
    # Listening: on the loopback address only, as the system tells it, and no
    # answer on another address of this machine.
    if shutil.which("ss"):
        listed = subprocess.run(["ss", "-Hltn", "sport = :%d" % port], capture_output=True,
                                text=True).stdout.split("\n")
        local = [row.split()[3] for row in listed if len(row.split()) > 3]
        if not local or any(not a.startswith("127.0.0.1:") for a in local):
            failures.append("the server listens on %s, not on 127.0.0.1 alone" % local)
    for address in other_addresses():
        try:
            socket.create_connection((address, port), timeout=2).close()
            failures.append("the server answers on %s" % address)
        except OSError:
            pass
    return failures


class AnyoneAnywhere(http.server.BaseHTTPRequestHandler):
    """A server with neither guard: it must fail the server checks."""

    def do_GET(self):
        self.send_response(200)
        self.end_headers()
        self.wfile.write(b"page")

    def log_message(self, *args):
        pass


def server_checker_misses():
    server = http.server.ThreadingHTTPServer(("0.0.0.0", 0), AnyoneAnywhere)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        found = server_failures(server.server_address[1])
    finally:
        server.shutdown()
        server.server_close()
    missed = []
    if not any("Host" in f for f in found):
        missed.append("a server that answers any Host")
    if (shutil.which("ss") or other_addresses()) and not any("listens" in f or "answers on" in f
                                                            for f in found):
        missed.append("a server that listens on every address")
    return missed


STATE = """(() => [document.querySelector('svg.strip g.scaled').getAttribute('transform'),
  document.getElementById('plan-view').getAttribute('viewBox')])()"""
FIRST_SIGNAL_X = "+document.querySelector('svg.lane [data-kind=\"signal\"]').getAttribute('data-x')"
# The page of a build once it has loaded whole, its name then.
BUILD = ("document.readyState === 'complete' && document.body.getAttribute('data-ready') === '1' "
         "&& document.body.getAttribute('data-build')")


def write(path, text):
    # Written in place, as an editor saves.
    with open(path, "w", encoding="cp1252", newline="") as f:
        f.write(text)


def line_of(text, start):
    return text[:text.index("\n" + start)].count("\n") + 2


def session(browser, url, line, service, texts, plant=None):
    """One reader's session with the served page: what did not work."""
    failures = []
    line_text, service_text = texts
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(browser, profile)
        try:
            tools.open_page(url, before=plant)
            build = tools.wait_for(BUILD, 10)
            if not build:
                return ["live: the served page's script did not finish"]
            at = tools.evaluate("""(() => { const e = document.querySelector('svg.lane [data-kind="signal"]');
                e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();
                return [r.left + r.width / 2, r.top + r.height / 2]; })()""")
            tools.mouse("mouseMoved", *at)
            tools.settle()
            tip = tools.evaluate("document.getElementById('tip').textContent")
            row = " · from %s:%d" % (service, line_of(service_text, FIRST_SIGNAL))
            if not tip.endswith(row):
                failures.append("live: the signal's hover %r does not name its row (%r)" % (tip, row))
            # The reader zooms both drawings, then saves the texts.
            at = tools.evaluate("""(() => { const r = document.querySelector('svg[data-strip="gradient"]')
                .getBoundingClientRect(); return [r.left + r.width / 3, r.top + r.height / 2]; })()""")
            tools.mouse("mouseWheel", *at, deltaX=0, deltaY=-600)
            at = tools.evaluate("""(() => { const r = document.getElementById('plan-view')
                .getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()""")
            tools.mouse("mouseWheel", *at, deltaX=0, deltaY=-400)
            tools.settle()
            zoom = tools.evaluate(STATE)
            before_x = tools.evaluate(FIRST_SIGNAL_X)

            write(service, service_text.replace(FIRST_SIGNAL, MOVED_SIGNAL, 1))
            saved = time.monotonic()
            moved = tools.wait_for("(%s) && %s !== %s && %s !== %r" % (
                BUILD, FIRST_SIGNAL_X, before_x, BUILD, build), UPDATE_SECONDS)
            if not moved:
                return failures + ["live: the moved signal is not on the page %.1f s after the save"
                                   % (time.monotonic() - saved)]
            after_x = tools.evaluate(FIRST_SIGNAL_X)
            if abs(after_x / before_x - 1.25) > 0.01:
                failures.append("live: the signal moved from x %s to %s, not from cell 40 to 50"
                                % (before_x, after_x))
            kept = tools.evaluate(STATE)
            if kept != zoom:
                failures.append("live: the zoom was %s before the save and %s after" % (zoom, kept))

            # Saved half-way: an empty line text.
            write(line, "")
            broken = tools.wait_for("""(() => document.readyState === 'complete' &&
                !!document.querySelector('#diagnostics li.error') &&
                !!document.querySelector('#drawing.earlier') &&
                getComputedStyle(document.querySelector('#drawing.earlier [data-strip=elevation]')
                  .closest('.strip-row')).filter.includes('grayscale') &&
                getComputedStyle(document.getElementById('plan')).filter.includes('grayscale'))()""",
                                    UPDATE_SECONDS)
            if not broken:
                failures.append("live: an empty line text shows no errors over the greyed drawing")
            # The reader was down at the strips: the list stays in view all
            # the same, whole.
            seen = tools.evaluate("""(() => { const r = document.getElementById('diagnostics')
                .getBoundingClientRect(); return [r.top, r.bottom, innerHeight, scrollY]; })()""")
            if seen[0] < 0 or seen[1] > seen[2] or seen[3] <= 0:
                failures.append("live: the list of errors stands from %s to %s in a window %s high "
                                "scrolled to %s" % tuple(seen))
        except (OSError, EOFError, TimeoutError, RuntimeError, TypeError) as error:
            failures.append("live: %s" % error)
        finally:
            tools.close()
        for event in tools.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                failures.append("live: exception: %s" % params["exceptionDetails"].get("text"))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error" \
                    and "net::ERR_" not in params["entry"].get("text", ""):
                failures.append("live: log error: %s" % params["entry"].get("text"))
    return failures


# Faults planted in the page as the browser runs it, before its own script:
# each must make a check of the session fail.
PLANTED = {
    "the page does not listen to the server":
        "window.EventSource=function(){return {addEventListener:function(){},close:function(){}};};",
    "the reload forgets the zoom": "Storage.prototype.setItem=function(){};",
    "the errors are not listed":
        "document.addEventListener('DOMContentLoaded',function(){"
        "var d=document.getElementById('diagnostics');if(d)d.remove();});",
    "the earlier drawing is not greyed":
        "document.addEventListener('DOMContentLoaded',function(){var s=document.createElement('style');"
        "s.textContent='#drawing.earlier *{filter:none!important}';document.head.appendChild(s);});",
    "the list of errors scrolls away":
        "document.addEventListener('DOMContentLoaded',function(){var s=document.createElement('style');"
        "s.textContent='#diagnostics{position:static!important}';document.head.appendChild(s);});",
    "the hover does not name the row":
        "document.addEventListener('DOMContentLoaded',function(){"
        "document.querySelectorAll('[data-tip]').forEach(function(e){"
        "e.setAttribute('data-tip',e.getAttribute('data-tip').replace(/ · from .*/,''));});});",
}


def restore(port, line, service, texts):
    """The texts as they were, and the server's page built from them."""
    write(line, texts[0])
    write(service, texts[1])
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        status, page = ask(port, "/", "127.0.0.1:%d" % port)
        if status == 200 and b'id="drawing">' in page and b'id="banner"' not in page:
            return
        time.sleep(0.05)
    raise RuntimeError("the server did not build the restored texts")


def check(program, browser, work):
    """Every failure of the served page, of its server and of the checks."""
    folder = os.path.join(work, "live")
    os.makedirs(folder)
    subprocess.run([program, "export-sources", "--out", folder], check=True, capture_output=True)
    line = os.path.join(folder, "Vescara_Ormeda_linea.txt")
    service = os.path.join(folder, "Vescara_Ormeda_4816-.txt")
    texts = []
    for path in (line, service):
        with open(path, encoding="cp1252", newline="") as f:
            texts.append(f.read())
    process, port, said = start_serve(program, line, service)
    url = "http://127.0.0.1:%d/" % port
    failures = []
    try:
        failures.extend(server_failures(port))
        failures.extend(session(browser, url, line, service, texts))
        for name, plant in PLANTED.items():
            restore(port, line, service, texts)
            if not session(browser, url, line, service, texts, plant):
                failures.append("the live checker did not notice a planted fault: " + name)
    except RuntimeError as error:
        failures.append("live: %s" % error)
    finally:
        status, output = stop_serve(process, said)
    if status != 0 or not output.rstrip().endswith("stopped"):
        failures.append("serve did not end cleanly on Ctrl-C: status %s, %r" % (status, output[-300:]))
    for missed in server_checker_misses():
        failures.append("the server checker did not notice " + missed)
    return failures


def next_event(port, save, timeout):
    """Opens the event stream, saves, and returns the builds it named, the
    first one at once and the next one within `timeout` seconds."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        connection.putrequest("GET", "/events", skip_host=True)
        connection.putheader("Host", "127.0.0.1:%d" % port)
        connection.endheaders()
        answer = connection.getresponse()
        builds = []
        while len(builds) < 2:
            row = answer.fp.readline().decode()
            if not row:
                break
            if row.startswith("data: "):
                builds.append(row[6:].strip())
                if len(builds) == 1:
                    save()
        return builds
    except OSError as error:
        return builds + ["(%s)" % error]
    finally:
        connection.close()


def main():
    """The server alone, without a browser: for a program run through a
    launcher such as Wine."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", action="append", default=[])
    parser.add_argument("program")
    args = parser.parse_args()
    failures = []
    # The texts are named from their directory: a launched program may not
    # read this system's paths as its own.
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([*args.launcher, args.program, "export-sources"], check=True,
                       capture_output=True, cwd=work)
        line, service = "Vescara_Ormeda_linea.txt", "Vescara_Ormeda_4816-.txt"
        with open(os.path.join(work, service), encoding="cp1252", newline="") as f:
            text = f.read()
        process, port, said = start_serve(args.program, line, service, args.launcher, work)
        try:
            failures.extend(server_failures(port))
            moved = text.replace(FIRST_SIGNAL, MOVED_SIGNAL)
            builds = next_event(port, lambda: write(os.path.join(work, service), moved),
                                UPDATE_SECONDS * 3)
            if len(builds) != 2 or builds[0] == builds[1]:
                failures.append("a save was not followed by an event naming a new build: %s" % builds)
        finally:
            status, output = stop_serve(process, said)
        if status != 0 or not output.rstrip().endswith("stopped"):
            failures.append("serve did not end cleanly on Ctrl-C: status %s, %r" % (status, output[-300:]))
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("ok: serve answers its own names on 127.0.0.1 only, follows a save, ends on Ctrl-C")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
