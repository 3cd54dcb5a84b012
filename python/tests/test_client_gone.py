"""When the trading client's process ends, callers get a clear error once their reconnect time has passed
(at once with none); nothing hangs."""

import socket
import time

import pytest

import zelvo
from conftest import CLIENT, ClientProcess, load_service, wine_path


@pytest.fixture
def doomed_service(bench, tmp_path):
    client = ClientProcess(bench, CLIENT, tmp_path / "tickets.txt")
    try:
        yield load_service(bench, client, tmp_path)
    finally:
        client.kill()


def test_calls_after_the_client_is_gone_fail_after_their_reconnect_time_with_a_clear_error(bench, doomed_service, tmp_path):
    api = doomed_service.client(timeout=20, reconnect_seconds=2)
    assert api.status()["ok"]
    # A connection that is mid-request when the process dies.
    pending = socket.create_connection(("127.0.0.1", doomed_service.port), timeout=20)
    pending.sendall(b"GET /v1/status HTTP/1.1\r\n")
    doomed_service.client_process.kill()

    started = time.monotonic()
    try:
        assert pending.recv(1024) == b""  # closed, not left hanging
    except ConnectionResetError:
        pass
    finally:
        pending.close()
    with pytest.raises(zelvo.ServiceUnreachable) as unreachable:
        api.status()
    assert "connection refused for 2 s" in unreachable.value.message
    assert doomed_service.address in unreachable.value.message
    assert time.monotonic() - started >= 2
    with pytest.raises(zelvo.ServiceUnreachable):
        doomed_service.client(reconnect_seconds=0).buy("600000", 10.5, 100, order_id="after-gone")
    assert time.monotonic() - started < 10

    refused = bench.load("--pid", str(doomed_service.client_process.pid), "--dir", wine_path(tmp_path))
    assert refused.returncode == 2
