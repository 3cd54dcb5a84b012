"""zelvo-load --watch and a strategy that rides through a restart of the trading client.

The watcher starts the service in every client that appears, and again in a restarted one, at the port the
book of ports gives the client's program; the tests give each client a program file of its own (a copy of
the substitute client in a folder of its own), as each broker's client is installed in its own folder. A
strategy's zelvo.Client goes on through the restart: it waits for the service, reads the new token, logs in
again, and its event stream tells it that events were missed.
"""

import re
import shutil
import signal
import subprocess
import threading
import time
from pathlib import Path
from typing import List

import pytest

import zelvo
from conftest import BURST_LIMITS, CLIENT, LOADER, ClientProcess, free_port, linux_path, wine_path, write_limits
from event_listener import wait_until

STARTED = re.compile(r"service started in process (\d+) \(.*\) at (http://127\.0\.0\.1:(\d+)), token file (.*)$")


class Watcher:
    """zelvo-load --watch running on the bench, read through its log."""

    def __init__(self, bench, data: Path, first_port: int):
        self.data = data
        self.log = data / "zelvo-load.log"
        with (data / "watcher-output.txt").open("wb") as output:
            self.process = subprocess.Popen(
                bench.command(LOADER, "--watch", "--port", str(first_port), "--dir", wine_path(data)),
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)

    def lines(self) -> List[str]:
        return self.log.read_text(encoding="utf-8").splitlines() if self.log.exists() else []

    def wait_for(self, text: str, bound: float = 10.0) -> str:
        """The first line of the log that holds `text`, waiting up to `bound` seconds for it."""
        deadline = time.monotonic() + bound
        while True:
            found = [line for line in self.lines() if text in line]
            if found:
                return found[0]
            assert time.monotonic() < deadline, f"no line with {text!r} in the watcher's log within {bound} s: {self.lines()}"
            time.sleep(0.1)

    def service_of(self, client: ClientProcess, bound: float = 10.0):
        """The (address, port, token file) the watcher started the service of `client` at."""
        started = STARTED.search(self.wait_for(f"service started in process {client.pid} ", bound))
        port = int(started.group(3))
        client.serves(port)
        return started.group(2), port, linux_path(started.group(4))

    def stop(self) -> int:
        """Ctrl+C, as a person stops it; its exit code."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                return self.process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.process.kill()
        return self.process.wait(timeout=30)


class Watching:
    """The test's watchers and clients, each client with a program file of its own choosing; all of them
    are stopped after the test."""

    def __init__(self, bench, folder: Path):
        self.bench = bench
        self.folder = folder
        self.data = folder / "data"
        write_limits(self.data, BURST_LIMITS)
        self.watchers: List[Watcher] = []
        self.clients: List[ClientProcess] = []

    def watcher(self, first_port: int) -> Watcher:
        self.watchers.append(Watcher(self.bench, self.data, first_port))
        return self.watchers[-1]

    def program(self, name: str) -> Path:
        """The substitute client copied into a folder named `name`: a client program of its own."""
        copy = self.folder / "programs" / name / CLIENT.name
        if not copy.exists():
            copy.parent.mkdir(parents=True)
            shutil.copy2(CLIENT, copy)
        return copy

    def client(self, exe: Path) -> ClientProcess:
        tickets = self.folder / f"tickets-{exe.parent.name}-{len(self.clients)}.txt"
        self.clients.append(ClientProcess(self.bench, exe, tickets, options=("--list-orders",)))
        return self.clients[-1]

    def load(self, *arguments: str):
        return self.bench.load(*arguments, "--dir", wine_path(self.data))

    def close(self) -> None:
        for watcher in self.watchers:
            watcher.stop()
        for client in self.clients:
            client.kill()


@pytest.fixture
def watching(bench, tmp_path):
    made = Watching(bench, tmp_path)
    yield made
    made.close()


def wait_for_event(heard: List[zelvo.Event], order_id: str) -> None:
    deadline = time.monotonic() + 30
    while not [event for event in list(heard) if event.data.get("order_id") == order_id]:
        assert time.monotonic() < deadline, f"no event of order {order_id} within 30 s: {heard}"
        time.sleep(0.05)


def test_a_strategy_rides_through_a_restart_of_the_client(service, watching):
    first_port = free_port()
    watcher = watching.watcher(first_port)
    exe = watching.program("broker")
    # The client running already, with the service loaded by hand, keeps it: never a second service.
    watcher.wait_for(f"service already runs in process {service.client_process.pid} ")
    before = watching.client(exe)
    address, port, token_file = watcher.service_of(before)
    assert port == first_port

    strategy = zelvo.Client(address, token_file=token_file, reconnect_seconds=3)
    assert strategy.wait_ready(timeout=60)["attached"]
    heard: List[zelvo.Event] = []

    def listen() -> None:
        for event in zelvo.Client(address, token_file=token_file, reconnect_seconds=60).events():
            heard.append(event)

    threading.Thread(target=listen, daemon=True).start()
    wait_until(lambda: strategy.status()["events"]["listeners"] == 1, what="the strategy listening")
    first = strategy.buy("600000", 10.5, 100)
    wait_for_event(heard, first.order_id)
    # The client writes its tickets every 50 ms: the order's is in the file before the client goes.
    assert [ticket[1] for ticket in before.tickets(at_least=1)] == ["600000"]

    before.kill()
    watcher.wait_for(f"client gone: process {before.pid} ")
    gone = time.monotonic()
    with pytest.raises(zelvo.ServiceUnreachable):
        strategy.status()
    assert time.monotonic() - gone >= 3
    # The first order sent again while the client is gone (as after a lost answer): it waits for the service.
    again: List[zelvo.OrderResult] = []
    rider = zelvo.Client(address, token_file=token_file, reconnect_seconds=60)
    riding = threading.Thread(target=lambda: again.append(rider.buy("600000", 10.5, 100, order_id=first.order_id)))
    riding.start()

    after = watching.client(exe)
    main_frame = time.monotonic()
    assert watcher.service_of(after) == (address, port, token_file)
    status = strategy.status()  # the same Client: it reads the new token by itself
    assert time.monotonic() - main_frame < 10
    assert status["service"]["pid"] == after.pid and not status["attached"]
    riding.join(timeout=30)
    assert again[0].replayed and again[0].contract == first.contract
    assert strategy.wait_ready(timeout=60)["attached"]
    second = strategy.buy("600001", 10.5, 100)
    assert [ticket[1] for ticket in after.tickets(at_least=2, bound=1)] == ["600001"]
    assert [ticket[1] for ticket in before.tickets(at_least=2, bound=0.1)] == ["600000"]

    wait_for_event(heard, second.order_id)
    kinds = [event.kind for event in heard]
    assert kinds.count("missed") == 1
    assert kinds.index("missed") > [event.data.get("order_id") for event in heard].index(first.order_id)

    assert watcher.stop() == 0
    assert watcher.lines()[-1].endswith("watch stopped")


def test_each_program_keeps_its_address_through_restarts_and_watchers(watching):
    first_port = free_port()
    watcher = watching.watcher(first_port)
    one, two = watching.program("broker-one"), watching.program("broker-two")
    clients = [watching.client(one), watching.client(two)]
    ports = [watcher.service_of(client)[1] for client in clients]
    assert ports[0] != ports[1] and first_port in ports
    # A second client of the same program at once gets a port of its own.
    twin = watching.client(one)
    assert watcher.service_of(twin)[1] not in ports
    for client in (*clients, twin):
        client.kill()
    assert watcher.stop() == 0

    # Started again in the other order, under a new watcher: each program's client gets its port again.
    watcher = watching.watcher(first_port)
    again = [watching.client(two), watching.client(one)]
    assert [watcher.service_of(client)[1] for client in again] == [ports[1], ports[0]]
    refused = watching.load("--watch", "--once")
    assert refused.returncode == 9 and "another zelvo-load --watch" in refused.stdout
    listed = {int(line.split("\t")[0]): line.split("\t") for line in watching.load("--list").stdout.splitlines()}
    assert listed[again[0].pid][1:4] == [str(ports[1]), "running", wine_path(two)]
    assert watcher.stop() == 0

    # Without a watcher, --watch --once serves the clients present once, at their ports.
    for client in again:
        client.kill()
    alone = watching.client(two)
    assert f"{alone.pid}\t{ports[1]}\tbooked\t" in watching.load("--list").stdout
    once = watching.load("--watch", "--once", "--port", str(first_port))
    alone.serves(ports[1])
    assert once.returncode == 0, once.stdout
    assert f"service started in process {alone.pid} " in once.stdout and f":{ports[1]}," in once.stdout
