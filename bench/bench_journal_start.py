"""Measures the service's start against the size of its journal, and prints it.

The service reads its whole journal at start (or, with a snapshot, the
snapshot and the lines after it) and rebuilds the order records, the counts,
the halt and the switch from it. This writes journals of a given number of
trading days at a given number of orders a day, in the shape the service
writes them (each order's request and answer, a cancel for every fifth order,
the order numbers its lists showed, a start and the limits each morning),
loads the service into a fresh substitute client with each, and prints:

- the loader's time: from running zelvo-load until it reports the service
  started (a Wine program's start, the injection, the journal read, the
  files written), as a user waits for it;
- the service's own time for the journal (GET /v1/status, journal.read_seconds),
  and the lines it read;
- the second start, which reads what the first one left (a snapshot, when the
  service writes one).

  python3 bench/bench_journal_start.py --build build/x86_64
  python3 bench/bench_journal_start.py --build build/x86_64 --days 0 250 365 --orders-per-day 500
"""

from __future__ import annotations

import argparse
import http.client
import json
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timedelta
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

ROOT = Path(__file__).resolve().parents[1]
BENCH_SCRIPT = ROOT / "tests" / "bench" / "wine-bench.sh"
CODES = ["600000", "600036", "000001", "510300", "159915", "601318", "000858", "300750"]


def stamped(seq: int, at: datetime, entry: Dict[str, Any]) -> str:
    line = {"seq": seq, "time": at.strftime("%Y-%m-%dT%H:%M:%S.") + f"{at.microsecond // 1000:03d}",
            "epoch_ms": int(at.timestamp() * 1000), **entry}
    return json.dumps(line, ensure_ascii=False, separators=(",", ":"))


def limits_entry() -> Dict[str, Any]:
    return {"event": "limits", "source": "file",
            "limits": {"allowed_codes": None, "max_cancels_per_code_per_day": 200, "max_order_quantity": 1000000,
                       "max_order_value": 10000000.0, "max_orders_per_day": 100000, "max_orders_per_window": 1000,
                       "settle_seconds": 10, "window_seconds": 10}}


def write_journal(path: Path, days: int, per_day: int) -> int:
    """A journal of `days` trading days that ended yesterday; the number of its lines."""
    seq = 0
    lines = 0
    first = datetime.now().replace(hour=9, minute=15, second=0, microsecond=0) - timedelta(days=days)
    with path.open("w", encoding="utf-8") as journal:
        def put(at: datetime, entry: Dict[str, Any]) -> None:
            nonlocal lines
            journal.write(stamped(seq, at, entry) + "\n")
            lines += 1

        for day in range(days):
            at = first + timedelta(days=day)
            seq += 1
            put(at, {"event": "start", "version": "0.1.0", "damaged_lines": 0})
            seq += 1
            put(at, limits_entry())
            listed: List[Dict[str, Any]] = []
            for number in range(per_day):
                at += timedelta(seconds=14400 / per_day)
                code = CODES[number % len(CODES)]
                order_id = f"s-{at:%Y%m%d}-{number}"
                request = {"code": code, "kind": "buy" if number % 2 else "sell", "order_id": order_id,
                           "price": 10.5 + (number % 50) / 100, "quantity": 100 * (1 + number % 9)}
                contract = 1001 + number
                seq += 1
                put(at, {"event": "request", "route": "orders", "request": request, "order_id": order_id, "sends": True})
                answer = {**request, "ok": True, "outcome": "placed", "contract": contract,
                          "message": f"委托成功,合同号是{contract}"}
                put(at + timedelta(milliseconds=20), {"event": "answer", "status": 200, "answer": answer})
                listed.append({"number": contract, "code": code})
                if number % 5 == 4:
                    seq += 1
                    put(at, {"event": "request", "route": "cancel", "request": {"number": contract}, "code": code,
                             "sends": True})
                    put(at + timedelta(milliseconds=30), {"event": "answer", "status": 200,
                                                          "answer": {"ok": True, "number": contract, "message": "撤单成功"}})
                if len(listed) == 25:
                    seq += 1
                    put(at, {"event": "seen", "orders": listed})
                    listed = []
    return lines


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def status(port: int, token: str) -> Dict[str, Any]:
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        connection.request("GET", "/v1/status", headers={"Authorization": "Bearer " + token, "Host": f"127.0.0.1:{port}"})
        return json.loads(connection.getresponse().read())
    finally:
        connection.close()


class Bench:
    def __init__(self, build: Path):
        self.bin = build.resolve() / "bin"
        self.folder = build.resolve().parent / "service-bench"
        subprocess.run(["bash", str(BENCH_SCRIPT), "start", str(self.folder)], check=True, stdout=subprocess.DEVNULL)

    def command(self, exe: str, *args: str) -> List[str]:
        return ["bash", str(BENCH_SCRIPT), "run", str(self.folder), str(self.bin / exe), *args]

    def client(self) -> subprocess.Popen:
        return subprocess.Popen(self.command("zelvo-client.exe", "900"), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def client_pids(self) -> List[int]:
        listed = subprocess.run(self.command("zelvo-load.exe", "--list"), capture_output=True, stdin=subprocess.DEVNULL)
        return [int(line.split("\t")[0]) for line in listed.stdout.decode("gbk", "replace").splitlines() if line.strip()]

    def stop(self) -> None:
        subprocess.run(["bash", str(BENCH_SCRIPT), "stop", str(self.folder)], stdin=subprocess.DEVNULL)


def start_once(bench: Bench, data: Path, port: int) -> Tuple[float, Optional[Dict[str, Any]]]:
    """(the loader's seconds, the service's status) for one start in a new client."""
    before = set(bench.client_pids())
    client = bench.client()
    pid = None
    try:
        deadline = time.monotonic() + 120
        while pid is None:
            new = set(bench.client_pids()) - before
            pid = new.pop() if new else None
            if pid is None:
                if time.monotonic() > deadline:
                    raise RuntimeError("the client showed no window")
                time.sleep(0.2)
        folder = "Z:" + str(data).replace("/", "\\")
        started = time.monotonic()
        done = subprocess.run(bench.command("zelvo-load.exe", "--pid", str(pid), "--port", str(port), "--dir", folder),
                              capture_output=True, stdin=subprocess.DEVNULL, timeout=600)
        seconds = time.monotonic() - started
        if done.returncode != 0:
            raise RuntimeError(done.stdout.decode("gbk", "replace"))
        token = (data / f"service-{port}.token").read_text().strip()
        return seconds, status(port, token)
    finally:
        client.kill()
        client.wait(timeout=30)
        # Gone from the list before the next client starts: Wine gives a new
        # process the id of one that ended.
        deadline = time.monotonic() + 60
        while pid is not None and pid in bench.client_pids() and time.monotonic() < deadline:
            time.sleep(0.2)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, required=True, help="a build tree whose bin/ holds the service")
    parser.add_argument("--days", type=int, nargs="+", default=[0, 21, 125, 250, 365],
                        help="journals of these numbers of trading days")
    parser.add_argument("--orders-per-day", type=int, default=500)
    arguments = parser.parse_args()
    bench = Bench(arguments.build)
    work = Path(tempfile.mkdtemp(prefix="zelvo-journal-bench-"))
    try:
        print(f"{'days':>5} {'orders':>8} {'lines':>8} {'MB':>7} | {'first start':>11} {'journal read':>12} "
              f"{'snapshot lines':>14} | {'second start':>11} {'journal read':>12} {'snapshot lines':>14}")
        sys.stdout.flush()
        for days in arguments.days:
            data = work / f"days-{days}"
            data.mkdir()
            port = free_port()
            lines = write_journal(data / f"journal-{port}.jsonl", days, arguments.orders_per_day)
            size = (data / f"journal-{port}.jsonl").stat().st_size / 1e6
            runs = []
            for _ in range(2):
                seconds, answer = start_once(bench, data, port)
                journal = (answer or {}).get("journal", {})
                read = journal.get("read_seconds")
                shown = "-" if read is None else f"{read:.3f}s"
                from_snapshot = journal.get("snapshot_lines", 0)
                runs.append(f"{seconds:10.2f}s {shown:>12} {from_snapshot:>14}")
            print(f"{days:5d} {days * arguments.orders_per_day:8d} {lines:8d} {size:7.1f} | {runs[0]} | {runs[1]}",
                  flush=True)
            shutil.rmtree(data)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        bench.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
