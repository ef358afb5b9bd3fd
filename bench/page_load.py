#!/usr/bin/env python3
"""bench/page_load.py PROGRAM LINE_TEXT SERVICE_TEXT [--concurrency N] [--rounds N]

Starts `serve` on the two texts on a free loopback port, sends ROUNDS rounds
of N concurrent page requests (each on a connection of its own, as a
browser's reload opens one), and prints the requests a second and the
median and 99th percentile of the time from connecting to the page's last
byte. Loopback only; every round is bounded in time.
"""

import argparse
import asyncio
import subprocess
import sys
import time

HOST = "127.0.0.1"


async def one_request(port, latencies):
    start = time.monotonic()
    reader, writer = await asyncio.open_connection(HOST, port)
    writer.write(f"GET / HTTP/1.1\r\nHost: {HOST}:{port}\r\n\r\n".encode())
    await writer.drain()
    data = await reader.read()
    writer.close()
    if not data.startswith(b"HTTP/1.1 200"):
        raise RuntimeError(f"answered {data[:40]!r}")
    latencies.append(time.monotonic() - start)


async def round_of(port, concurrency, latencies):
    await asyncio.wait_for(
        asyncio.gather(*(one_request(port, latencies) for _ in range(concurrency))), 60)


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
        latencies = []
        start = time.monotonic()
        for _ in range(args.rounds):
            asyncio.run(round_of(port, args.concurrency, latencies))
        elapsed = time.monotonic() - start
        latencies.sort()
        p50 = latencies[len(latencies) // 2]
        p99 = latencies[max(0, int(len(latencies) * 0.99) - 1)]
        print(f"{len(latencies)} page requests, {args.concurrency} at a time: "
              f"{len(latencies) / elapsed:.0f} requests/s, p50 {p50 * 1000:.1f} ms, "
              f"p99 {p99 * 1000:.1f} ms (target p99 500)")
        return 0
    finally:
        server.terminate()
        server.wait(10)


if __name__ == "__main__":
    sys.exit(main())
