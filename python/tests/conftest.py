"""End-to-end fixtures: the Wine bench, substitute clients, and services loaded into them.

The tests run against the installed zelvo package (tools/test-service.sh installs the wheel into a
virtual environment), never against python/zelvo. Every answer they read from a service is checked
against the service's description (api_description.py): a mismatch fails the test that read it.

Environment:
  ZELVO_BUILD_DIR      the build tree whose bin/ holds zelvo-load.exe, zelvo-host.dll,
                       zelvo.dll and zelvo-client.exe (default: build/x86_64)
  ZELVO_SERVICE_BENCH  the Wine bench folder these tests start and stop
                       (default: service-bench beside the build tree)
  ZELVO_CLIENT32       a 32-bit zelvo-client.exe, for the loader's bitness refusal (optional)
"""

from __future__ import annotations

import http.client
import json
import os
import socket
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

import pytest

import zelvo
from api_description import AnswerRecorder, ApiDescription, load_description

ROOT = Path(__file__).resolve().parents[2]

BUILD = Path(os.environ.get("ZELVO_BUILD_DIR", ROOT / "build" / "x86_64")).resolve()
BIN = BUILD / "bin"
LOADER = BIN / "zelvo-load.exe"
CLIENT = BIN / "zelvo-client.exe"
BENCH_SCRIPT = ROOT / "tests" / "bench" / "wine-bench.sh"
BENCH_DIR = Path(os.environ.get("ZELVO_SERVICE_BENCH", BUILD.parent / "service-bench")).resolve()

# Seconds a substitute client runs before it ends by itself: longer than any run.
CLIENT_LIFETIME = 900

# The limits of the suite's services (limits.json), which its bursts of orders (twenty at once) never
# reach; the tests of the limits set their own, and those of the defaults none.
BURST_LIMITS = {"max_orders_per_window": 1000, "max_orders_per_day": 100000}

ANSWERS = AnswerRecorder(ApiDescription(load_description()))


def pytest_configure(config):
    if Path(zelvo.__file__).resolve().is_relative_to(ROOT / "python"):
        pytest.exit(f"zelvo was imported from the source folder ({zelvo.__file__}); these tests run against "
                    "the installed package: run tools/test-service.sh", returncode=2)
    ANSWERS.install()


def pytest_terminal_summary(terminalreporter):
    terminalreporter.write_line(ANSWERS.summary())


@pytest.fixture(autouse=True)
def answers_match_the_description():
    """Fails the test when an answer it read from a service does not match the service's description."""
    ANSWERS.take_problems()
    yield
    problems = ANSWERS.take_problems()
    if problems:
        pytest.fail("answers that differ from the service's description:\n" + "\n".join(problems[:20]))


def wine_path(path: Path) -> str:
    """The Windows name of a Linux path (Wine's Z: drive is /)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def linux_path(windows_path: str) -> Path:
    assert windows_path[:2].upper() == "Z:", windows_path
    return Path(windows_path[2:].replace("\\", "/"))


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Bench:
    def __init__(self, folder: Path):
        self.folder = folder

    def command(self, exe: Path, *args: str) -> List[str]:
        return ["bash", str(BENCH_SCRIPT), "run", str(self.folder), str(exe), *args]

    def run(self, exe: Path, *args: str, timeout: float = 90) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end; its output (stdout and stderr) decoded from GBK."""
        done = subprocess.run(self.command(exe, *args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL, timeout=timeout)
        return subprocess.CompletedProcess(done.args, done.returncode, done.stdout.decode("gbk", "replace"))

    def load(self, *args: str) -> subprocess.CompletedProcess:
        return self.run(LOADER, *args)

    def client_pids(self) -> List[int]:
        listed = self.load("--list")
        assert listed.returncode == 0, listed.stdout
        return [int(line.split("\t")[0]) for line in listed.stdout.splitlines() if line.strip()]


class ClientProcess:
    """A substitute client under Wine, recording the order clicks it takes in a tickets file.

    `options`: the standalone client's options (substitute/main.cpp): --list-orders, --cancels FILE,
    --lose-answer CODE, --refuse CODE.
    """

    def __init__(self, bench: Bench, exe: Path, tickets: Path, start_bound: float = 60, options: Tuple[str, ...] = ()):
        before = set(bench.client_pids())
        self.tickets_file = tickets
        self.service_ports: List[int] = []
        self.process = subprocess.Popen(bench.command(exe, str(CLIENT_LIFETIME), wine_path(tickets), *options),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + start_bound
        while True:
            new = set(bench.client_pids()) - before
            if new:
                self.pid = new.pop()
                return
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.kill()
                raise RuntimeError(f"{exe} showed no main window within {start_bound} s")
            time.sleep(0.2)

    def tickets(self, code: Optional[str] = None, at_least: int = 0, bound: float = 3.0) -> List[List[str]]:
        """The order clicks so far (page, code, price, quantity), those of `code` only when given.

        The client writes its tickets every 50 ms, so this waits up to `bound`
        for `at_least` of them; a check that nothing was placed passes a short
        bound and an at_least of one more than expected.
        """
        deadline = time.monotonic() + bound
        while True:
            lines = []
            if self.tickets_file.exists():
                lines = [line.split("\t") for line in self.tickets_file.read_bytes().decode("gbk").splitlines()]
            if code is not None:
                lines = [line for line in lines if line[1] == code]
            if len(lines) >= at_least or time.monotonic() > deadline:
                return lines
            time.sleep(0.05)

    def serves(self, port: int) -> None:
        """A service runs in this client at `port`: its answers are checked while the client lives."""
        self.service_ports.append(port)
        ANSWERS.ports.add(port)

    def kill(self) -> None:
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
        ANSWERS.ports.difference_update(self.service_ports)


@dataclass
class Service:
    client_process: ClientProcess
    port: int
    address: str
    token_file: Path
    journal: Path
    loader_output: str

    def client(self, **kwargs) -> zelvo.Client:
        return zelvo.Client(self.address, token_file=self.token_file, **kwargs)

    def journal_lines(self) -> List[str]:
        return self.journal.read_text(encoding="utf-8").splitlines()


def token_of(service: Service) -> str:
    return service.token_file.read_text().strip()


def raw_request(service: Service, method: str, path: str, body: Optional[bytes] = b"",
                headers: Optional[Dict[str, str]] = None, token: Optional[str] = None) -> Tuple[int, Dict[str, str], Any]:
    """One request without the Python client's checks: (status, headers, parsed JSON body); the body as
    text when it is not JSON (the operator page's files), None when there is none."""
    connection = http.client.HTTPConnection("127.0.0.1", service.port, timeout=60)
    try:
        sent = dict(headers or {})
        if token is not None:
            sent["Authorization"] = f"Bearer {token}"
        connection.request(method, path, body=body, headers=sent)
        response = connection.getresponse()
        text = response.read().decode("utf-8")
        if not text or not (response.getheader("Content-Type") or "application/json").startswith("application/json"):
            return response.status, dict(response.getheaders()), text or None
        return response.status, dict(response.getheaders()), json.loads(text)
    finally:
        connection.close()


def printed(output: str, label: str) -> Optional[str]:
    for line in output.splitlines():
        if line.startswith(label + ": "):
            return line[len(label) + 2:].strip()
    return None


def write_limits(data: Path, limits: Optional[Dict[str, Any]]) -> None:
    """limits.json in a service's data folder, which a service without a limits file of its port's reads;
    None leaves none (the defaults hold)."""
    data.mkdir(parents=True, exist_ok=True)
    if limits is not None:
        (data / "limits.json").write_text(json.dumps(limits), encoding="utf-8")


def load_service(bench: Bench, client: ClientProcess, data: Path, *loader_args: str, port: Optional[int] = None) -> Service:
    """The service loaded into `client`, with its files in `data`; on `port` (a restart's) or a free one."""
    port = port or free_port()
    client.serves(port)
    loaded = bench.load("--pid", str(client.pid), "--port", str(port), "--dir", wine_path(data), *loader_args)
    assert loaded.returncode == 0, loaded.stdout
    return Service(client, port, printed(loaded.stdout, "address"), linux_path(printed(loaded.stdout, "token file")),
                   linux_path(printed(loaded.stdout, "journal")), loaded.stdout)


@pytest.fixture(scope="session")
def bench():
    for needed in (LOADER, CLIENT, BIN / "zelvo-host.dll", BIN / "zelvo.dll"):
        if not needed.exists():
            pytest.exit(f"{needed} is missing: build the tree {BUILD} first", returncode=2)
    subprocess.run(["bash", str(BENCH_SCRIPT), "start", str(BENCH_DIR)], check=True, timeout=900,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    try:
        yield Bench(BENCH_DIR)
    finally:
        subprocess.run(["bash", str(BENCH_SCRIPT), "stop", str(BENCH_DIR)], timeout=60, stdin=subprocess.DEVNULL)


@pytest.fixture(scope="session")
def no_client_refusal(bench):
    """The loader's answer while no client runs: taken before any test starts one."""
    return bench.load()


@pytest.fixture(scope="session")
def service(bench, no_client_refusal, tmp_path_factory):
    """Client A with a service loaded by window class (no --pid), logged in."""
    data = tmp_path_factory.mktemp("service-a")
    write_limits(data, BURST_LIMITS)
    client = ClientProcess(bench, CLIENT, data / "tickets.txt")
    try:
        port = free_port()
        client.serves(port)
        loaded = bench.load("--port", str(port), "--dir", wine_path(data))
        assert loaded.returncode == 0, loaded.stdout
        started = Service(client, port, printed(loaded.stdout, "address"),
                          linux_path(printed(loaded.stdout, "token file")),
                          linux_path(printed(loaded.stdout, "journal")), loaded.stdout)
        started.client().login()
        yield started
    finally:
        client.kill()


@pytest.fixture
def api(service) -> zelvo.Client:
    return service.client()


class RestartableService:
    """A substitute client with a service that a test stops and starts again, as a restart of the trading
    client does: the new client runs with the same options, and its service on the same port with the
    same data folder (so the same journal and limits file).

    Every client lists the orders it accepts in its today's orders and cancel list (--list-orders) and
    writes the order numbers it is asked to cancel to a file of its own (cancels()); a restarted one goes
    on numbering its orders where the one before would be (--first-contract), as a real client's orders
    keep their numbers through the day.
    """

    def __init__(self, bench: Bench, data: Path, limits: Optional[Dict[str, Any]], options: Tuple[str, ...] = (),
                 loader_options: Tuple[str, ...] = ()):
        self.bench = bench
        self.data = data
        self.options = options
        self.loader_options = loader_options
        self.script_file = data / "script.txt"
        self.port = free_port()
        self.starts = 0
        self.client_process: Optional[ClientProcess] = None
        self.cancels_file = data / "cancels-0.txt"
        self.service: Optional[Service] = None
        write_limits(data, limits)

    @property
    def journal(self) -> Path:
        return self.data / f"journal-{self.port}.jsonl"

    def start(self, login: bool = True) -> Service:
        self.starts += 1
        self.cancels_file = self.data / f"cancels-{self.starts}.txt"
        self.client_process = ClientProcess(self.bench, CLIENT, self.data / f"tickets-{self.starts}.txt",
                                            options=("--list-orders", "--cancels", wine_path(self.cancels_file),
                                                     "--first-contract", str(1001 + 10000 * (self.starts - 1)),
                                                     "--script", wine_path(self.script_file), *self.options))
        self.service = load_service(self.bench, self.client_process, self.data, *self.loader_options, port=self.port)
        if login:
            self.service.client().login()
        return self.service

    def stop(self) -> None:
        """Ends the client's process, and the service with it, without warning (as a crash does)."""
        if self.client_process is not None:
            self.client_process.kill()
            self.client_process = None

    def restart(self, login: bool = True) -> Service:
        self.stop()
        return self.start(login)

    def api(self, **kwargs: Any) -> zelvo.Client:
        assert self.service is not None
        return self.service.client(**kwargs)

    def tickets(self, code: str, at_least: int = 0, bound: float = 3.0) -> List[List[str]]:
        assert self.client_process is not None
        return self.client_process.tickets(code, at_least, bound)

    def cancels(self, at_least: int = 0, bound: float = 3.0) -> List[int]:
        """The order numbers the latest client was asked to cancel, waiting up to `bound` for `at_least`."""
        deadline = time.monotonic() + bound
        while True:
            numbers = [int(line) for line in self.cancels_file.read_text().split()] if self.cancels_file.exists() else []
            if len(numbers) >= at_least or time.monotonic() > deadline:
                return numbers
            time.sleep(0.05)

    def script(self, line: str) -> None:
        """Has the client change its lists: "fill N" or "status N TEXT" (substitute/main.cpp, --script)."""
        with self.script_file.open("ab") as script:
            script.write((line + "\n").encode("gbk"))

    def journal_events(self) -> List[Dict[str, Any]]:
        return [json.loads(line) for line in self.journal.read_text(encoding="utf-8").splitlines() if line]


@pytest.fixture(scope="module")
def desk(bench, tmp_path_factory, request):
    """The test module's RestartableService, started and logged in: with the module's DESK_LIMITS
    (default BURST_LIMITS), DESK_OPTIONS (client options, default none) and DESK_LOADER_OPTIONS (default none)."""
    module = request.module
    desk = RestartableService(bench, tmp_path_factory.mktemp(module.__name__), getattr(module, "DESK_LIMITS", BURST_LIMITS),
                              getattr(module, "DESK_OPTIONS", ()), getattr(module, "DESK_LOADER_OPTIONS", ()))
    try:
        desk.start()
        yield desk
    finally:
        desk.stop()


@pytest.fixture
def restartable(bench, tmp_path):
    """Makes RestartableService(limits, options) in the test's own folder; ends their clients after the test."""
    made: List[RestartableService] = []

    def make(limits: Optional[Dict[str, Any]] = None, options: Tuple[str, ...] = (), name: str = "desk"):
        desk = RestartableService(bench, tmp_path / name, limits, options)
        made.append(desk)
        return desk

    yield make
    for desk in made:
        desk.stop()
