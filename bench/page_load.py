#!/usr/bin/env python3
"""bench/page_load.py PROGRAM LINE_TEXT SERVICE_TEXT [--concurrency N] [--rounds N]

Starts `serve` on the two texts on a free loopback port, sends ROUNDS rounds
of N concurrent page requests (each on a connection of its own, as a
browser's reload opens one), and prints the requests a second and the
median and 99th percentile of the time from connecting to the page's last
byte. Loopback only; every round is bounded in time.

The client is one loop over non-blocking sockets that counts the bytes it
reads and keeps none but an answer's first line: at a thousand connections
a heavier client (asyncio's streams) spends more time than the server, and
the percentiles would measure the client.
"""

import argparse
import resource
import selectors
import socket
import subprocess
import sys
import time

HOST = "127.0.0.1"


def page_requests(port, count, timeout=30.0):
    """`count` GET / requests at once, each on its own connection. Returns a
    list of (seconds from connecting to the last byte, status or None)."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < count + 64 <= hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (count + 64, hard))
    request = f"GET / HTTP/1.1\r\nHost: {HOST}:{port}\r\n\r\n".encode()
    buffer = bytearray(1 << 18)
    results = []
    with selectors.DefaultSelector() as selector:
        for _ in range(count):
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.setblocking(False)
            # [socket, start, first bytes of the answer, request sent]
            connection = [s, time.monotonic(), b"", False]
            s.connect_ex((HOST, port))
            selector.register(s, selectors.EVENT_WRITE, connection)
        deadline = time.monotonic() + timeout

        def finish(connection):
            selector.unregister(connection[0])
            connection[0].close()
            status = None
            first = connection[2]
            if first.startswith(b"HTTP/1.1 ") and len(first) >= 12:
                status = int(first[9:12])
            results.append((time.monotonic() - connection[1], status))

        while selector.get_map() and time.monotonic() < deadline:
            for key, _ in selector.select(1.0):
                connection = key.data
                s = connection[0]
                try:
                    if not connection[3]:
                        s.send(request)
                        connection[3] = True
                        selector.modify(s, selectors.EVENT_READ, connection)
                        continue
                    got = s.recv_into(buffer)
                except (BlockingIOError, InterruptedError):
                    continue
                except OSError:
                    finish(connection)
                    continue
                if got == 0:
                    finish(connection)
                elif len(connection[2]) < 12:
                    connection[2] += bytes(buffer[:12])
        for key in list(selector.get_map().values()):
            finish(key.data)
    return results


def percentile(times, share):
    return times[max(0, int(len(times) * share) - 1)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("line")
    parser.add_argument("service")
    parser.add_argument("--concurrency", type=int, default=1000)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    server = subprocess.Popen([args.program, "serve", args.line, args.service, "--port", "0"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    try:
        port = None
        for line in server.stdout:
            if "serving the page" in line:
                port = int(line.split("http://127.0.0.1:")[1].split("/")[0])
                break
        if port is None:
            print("serve did not start", file=sys.stderr)
            return 1
        results = []
        start = time.monotonic()
        for _ in range(args.rounds):
            results += page_requests(port, args.concurrency)
        elapsed = time.monotonic() - start
        failed = sum(1 for _, status in results if status != 200)
        if failed:
            print(f"{failed} of {len(results)} page requests not answered 200", file=sys.stderr)
            return 1
        times = sorted(t for t, _ in results)
        print(f"{len(times)} page requests, {args.concurrency} at a time: "
              f"{len(times) / elapsed:.0f} requests/s, p50 {percentile(times, 0.5) * 1000:.1f} ms, "
              f"p99 {percentile(times, 0.99) * 1000:.1f} ms (target p99 500)")
        return 0
    finally:
        server.terminate()
        server.wait(10)


if __name__ == "__main__":
    sys.exit(main())
