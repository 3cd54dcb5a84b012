"""zelvo-load's refusals, each with its exit code and a message that says what to do."""

import os
import socket
from pathlib import Path

import pytest

from conftest import CLIENT, ClientProcess, free_port, printed, wine_path


def test_refuses_when_no_client_runs(no_client_refusal):
    assert no_client_refusal.returncode == 2
    assert "no trading client is running" in no_client_refusal.stdout
    assert "TdxW_MainFrame_Class" in no_client_refusal.stdout


def test_refuses_a_second_start_and_prints_the_running_service(bench, service, tmp_path):
    again = bench.load("--pid", str(service.client_process.pid), "--port", str(free_port()), "--dir", wine_path(tmp_path))
    assert again.returncode == 4
    assert printed(again.stdout, "address") == service.address
    assert "already runs" in again.stdout
    assert service.client().status()["ok"]


def test_refuses_a_process_that_does_not_exist(bench, tmp_path):
    gone = bench.load("--pid", "999999", "--dir", wine_path(tmp_path))
    assert gone.returncode == 2
    assert "999999" in gone.stdout


@pytest.mark.parametrize("arguments", [["--port", "0"], ["--port", "70000"], ["--pid", "x"], ["--bogus"], ["--dir"],
                                       ["--once"], ["--watch", "--pid", "5"]])
def test_refuses_bad_arguments_with_its_usage(bench, arguments):
    refused = bench.load(*arguments)
    assert refused.returncode == 1
    assert "usage: zelvo-load" in refused.stdout


@pytest.fixture(scope="module")
def second_client(bench, service, tmp_path_factory):
    """Client B, running beside client A, without a service."""
    client = ClientProcess(bench, CLIENT, tmp_path_factory.mktemp("client-b") / "tickets.txt")
    yield client
    client.kill()


def test_refuses_to_guess_between_several_clients(bench, service, second_client, tmp_path):
    refused = bench.load("--port", str(free_port()), "--dir", wine_path(tmp_path))
    assert refused.returncode == 7
    assert str(service.client_process.pid) in refused.stdout and str(second_client.pid) in refused.stdout


def test_refuses_a_port_taken_by_another_program(bench, second_client, tmp_path):
    with socket.socket() as holder:
        holder.bind(("127.0.0.1", 0))
        holder.listen()
        port = holder.getsockname()[1]
        refused = bench.load("--pid", str(second_client.pid), "--port", str(port), "--dir", wine_path(tmp_path))
    assert refused.returncode == 5
    assert f"port {port}" in refused.stdout and "--port" in refused.stdout
    assert not (tmp_path / f"service-{port}.token").exists()


def test_refuses_the_port_of_another_service(bench, service, second_client, tmp_path):
    refused = bench.load("--pid", str(second_client.pid), "--port", str(service.port), "--dir", wine_path(tmp_path))
    assert refused.returncode == 5
    assert service.client().status()["ok"]


@pytest.mark.skipif(not os.environ.get("ZELVO_OTHER_BITNESS_CLIENT"),
                    reason="needs ZELVO_OTHER_BITNESS_CLIENT: a zelvo-client.exe of the other bitness "
                           "(32-bit programs start in minutes where they are emulated)")
def test_refuses_a_client_of_the_other_bitness(bench, tmp_path):
    other = ClientProcess(bench, Path(os.environ["ZELVO_OTHER_BITNESS_CLIENT"]), tmp_path / "tickets.txt",
                          start_bound=300)
    try:
        refused = bench.load("--pid", str(other.pid), "--dir", wine_path(tmp_path))
        assert refused.returncode == 3
        assert "-bit process and this loader is" in refused.stdout
    finally:
        other.kill()
