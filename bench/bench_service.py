"""Measures what the service adds to a call of zelvo.dll's exports, and prints it.

For each call the service reports the time spent inside the exports
(Server-Timing: export;dur=...); the time the caller waited less that time
is what the service added: loopback TCP, HTTP, JSON, GBK conversion and the
service's dispatch. Printed as medians (and 90th percentiles) over many calls.

  python3 bench/bench_service.py --address http://127.0.0.1:18766 --token-file FILE
  python3 bench/bench_service.py --build build/x86_64     # starts the bench, a client and the service itself
"""

from __future__ import annotations

import argparse
import http.client
import os
import re
import socket
import statistics
import subprocess
import sys
import time
from pathlib import Path
from typing import Callable, List, Tuple

ROOT = Path(__file__).resolve().parents[1]
# The client package of the source tree (python/zelvo).
sys.path.insert(0, str(ROOT / "python"))

import zelvo  # noqa: E402

BENCH_SCRIPT = ROOT / "tests" / "bench" / "wine-bench.sh"


def timed_calls(call: Callable[[], float], count: int) -> Tuple[List[float], List[float]]:
    """(round trips, export times) in milliseconds."""
    trips, exports = [], []
    for _ in range(count):
        started = time.perf_counter()
        export_ms = call()
        trips.append((time.perf_counter() - started) * 1000)
        exports.append(export_ms)
    return trips, exports


def export_ms(response: http.client.HTTPResponse) -> float:
    timing = response.getheader("Server-Timing", "")
    match = re.search(r"dur=([0-9.]+)", timing)
    return float(match.group(1)) if match else 0.0


class Caller:
    def __init__(self, address: str, token: str):
        self.host, _, port = address.split("//", 1)[1].partition(":")
        self.port = int(port or 80)
        self.headers = {"Authorization": "Bearer " + token}
        self.kept = http.client.HTTPConnection(self.host, self.port, timeout=60)

    def fresh(self, path: str) -> float:
        """One connection per call, as a zelvo.Client call after 5 s without one makes."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=60)
        try:
            connection.request("GET", path, headers=self.headers)
            response = connection.getresponse()
            response.read()
            return export_ms(response)
        finally:
            connection.close()

    def keep_alive(self, path: str) -> float:
        self.kept.request("GET", path, headers=self.headers)
        response = self.kept.getresponse()
        response.read()
        return export_ms(response)


def percentile(values: List[float], fraction: float) -> float:
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def report(label: str, trips: List[float], exports: List[float]) -> None:
    added = [trip - export for trip, export in zip(trips, exports)]
    print(f"{label:<40} round trip {statistics.median(trips):8.3f} ms   export {statistics.median(exports):8.3f} ms   "
          f"added {statistics.median(added):6.3f} ms (p90 {percentile(added, 0.9):6.3f})")


def measure(address: str, token: str, count: int) -> None:
    caller = Caller(address, token)
    client = zelvo.Client(address, token=token)
    for _ in range(20):  # warm up: connections, the client's pages
        caller.fresh("/v1/status")
        client.query("positions")
    print(f"{count} calls each; 'export' is the time inside zelvo.dll's exports, 'added' what the service adds")
    for path in ("/v1/status", "/v1/query/positions"):
        report(f"GET {path} (new connection)", *timed_calls(lambda: caller.fresh(path), count))
        report(f"GET {path} (kept connection)", *timed_calls(lambda: caller.keep_alive(path), count))
    trips = []
    for _ in range(count):
        started = time.perf_counter()
        client.status()
        trips.append((time.perf_counter() - started) * 1000)
    print(f"{'zelvo.Client.status() round trip':<40} median {statistics.median(trips):8.3f} ms")


class StartedService:
    """The Wine bench, a substitute client and its service, for a run of this program."""

    def __init__(self, build: Path):
        self.bin = build.resolve() / "bin"
        self.bench = build.resolve().parent / "service-bench"
        self.data = self.bench / "bench-data"
        self.data.mkdir(parents=True, exist_ok=True)
        subprocess.run(["bash", str(BENCH_SCRIPT), "start", str(self.bench)], check=True, stdout=subprocess.DEVNULL)
        self.client = subprocess.Popen(self.command("zelvo-client.exe", "600"), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.address, self.token = self.load()

    def command(self, exe: str, *args: str) -> List[str]:
        return ["bash", str(BENCH_SCRIPT), "run", str(self.bench), str(self.bin / exe), *args]

    def load(self) -> Tuple[str, str]:
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        folder = "Z:" + str(self.data).replace("/", "\\")
        deadline = time.monotonic() + 60
        while True:
            done = subprocess.run(self.command("zelvo-load.exe", "--port", str(port), "--dir", folder),
                                  capture_output=True, stdin=subprocess.DEVNULL)
            if done.returncode == 0:
                break
            if time.monotonic() > deadline:
                raise RuntimeError(done.stdout.decode("gbk", "replace"))
            time.sleep(0.5)  # the client's window is not there yet
        token = (self.data / f"service-{port}.token").read_text().strip()
        client = zelvo.Client(f"http://127.0.0.1:{port}", token=token)
        client.login()
        return client.address, token

    def stop(self) -> None:
        self.client.kill()
        self.client.wait(timeout=30)
        subprocess.run(["bash", str(BENCH_SCRIPT), "stop", str(self.bench)], stdin=subprocess.DEVNULL)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--address", default=zelvo.DEFAULT_ADDRESS)
    parser.add_argument("--token-file")
    parser.add_argument("--build", type=Path, help="a build tree: start the bench, a client and the service here")
    parser.add_argument("--count", type=int, default=300)
    arguments = parser.parse_args()
    if arguments.build:
        started = StartedService(arguments.build)
        try:
            measure(started.address, started.token, arguments.count)
        finally:
            started.stop()
        return 0
    token = zelvo.Client(arguments.address, token_file=arguments.token_file)._token
    measure(arguments.address, token, arguments.count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
