"""The Python client's own rules, against a scripted stand-in for the service (no Wine needed):
which failures may repeat a request, how it rides through a service that goes away and comes back
with a new token, the connections it keeps, and how answers become results or exceptions."""

import json
import socket
import threading
import time
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pytest

import zelvo
from conftest import free_port


class StandIn:
    """Answers each request with the next scripted (status, body); after each answer it may
    drop the connection without saying so, as a service that restarted would, and it may drop
    the first requests without any answer, as a service that died under them would."""

    def __init__(self, port=0):
        self.script = []
        self.respond = None  # answers (status, body) to (method, path, body) once the script is used up
        self.received = []
        self.drop_after_answer = False
        self.unanswered = 0  # requests to drop before answering
        self.open_connections = 0
        self._lock = threading.Lock()
        stand_in = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def setup(self):
                super().setup()
                with stand_in._lock:
                    stand_in.open_connections += 1

            def finish(self):
                super().finish()
                with stand_in._lock:
                    stand_in.open_connections -= 1

            def do_GET(self):
                self.answer()

            def do_POST(self):
                self.answer()

            def answer(self):
                length = int(self.headers.get("Content-Length", 0))
                body = json.loads(self.rfile.read(length)) if length else None
                stand_in.received.append((self.command, self.path, body, self.headers.get("Authorization")))
                if stand_in.unanswered:
                    stand_in.unanswered -= 1
                    self.close_connection = True
                    return
                if stand_in.script or stand_in.respond is None:
                    status, answer = stand_in.script.pop(0)
                else:
                    status, answer = stand_in.respond(self.command, self.path, body)
                payload = json.dumps(answer).encode()
                self.send_response(status)
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)
                self.close_connection = stand_in.drop_after_answer

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True)
        self.thread.start()
        self.address = f"http://127.0.0.1:{self.server.server_address[1]}"


    def stop(self):
        self.server.shutdown()
        self.server.server_close()


@pytest.fixture
def stand_in():
    server = StandIn()
    yield server
    server.stop()


ORDER_ANSWER = {"ok": True, "outcome": "placed", "contract": 7, "message": "合同号是7", "kind": "buy",
                "code": "600000", "price": 10.5, "quantity": 100}


class TestRepeats:
    def test_a_cancel_is_never_sent_twice(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": True, "attached": True})]
        stand_in.drop_after_answer = True
        client.status()
        with pytest.raises(zelvo.ServiceUnreachable) as unreachable:
            client.cancel(5)
        assert "may have been carried out" in unreachable.value.message
        assert [request[1] for request in stand_in.received] == ["/v1/status"]

    def test_an_order_without_an_id_gets_one_and_its_retry_carries_the_same(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, ORDER_ANSWER)]
        stand_in.unanswered = 1  # the service went away with the first request
        client.buy("600000", 10.5, 100)
        first, second = [body for _, path, body, _ in stand_in.received]
        assert first == second and uuid.UUID(first["order_id"])
        stand_in.script = [(200, ORDER_ANSWER)]
        client.buy("600000", 10.5, 100)
        assert stand_in.received[-1][2]["order_id"] != first["order_id"]

    def test_a_request_cut_off_twice_is_not_sent_a_third_time(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.unanswered = 3
        with pytest.raises(zelvo.ServiceUnreachable) as unreachable:
            client.buy("600000", 10.5, 100, order_id="twice")
        assert "may have been carried out" in unreachable.value.message
        assert len(stand_in.received) == 2

    def test_order_with_id_is_sent_again_on_a_new_connection(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": True}), (200, ORDER_ANSWER)]
        stand_in.drop_after_answer = True
        client.status()
        placed = client.buy("600000", 10.5, 100, order_id="id-1")
        assert placed.contract == 7
        assert stand_in.received[-1][2]["order_id"] == "id-1"

    def test_query_is_sent_again_on_a_new_connection(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": True}),
                           (200, {"ok": True, "name": "funds", "columns": ["a"], "rows": [["1"]], "table": "", "message": ""})]
        stand_in.drop_after_answer = True
        client.status()
        assert client.query("funds").rows == [["1"]]


class TestRestartedService:
    def test_a_refused_connection_is_tried_again_for_reconnect_seconds(self):
        client = zelvo.Client(f"http://127.0.0.1:{free_port()}", token="t", reconnect_seconds=1)
        started = time.monotonic()
        with pytest.raises(zelvo.ServiceUnreachable) as unreachable:
            client.buy("600000", 10.5, 100)
        assert time.monotonic() - started >= 1
        assert "connection refused for 1 s" in unreachable.value.message
        assert "may have been carried out" not in unreachable.value.message

    def test_a_call_made_while_the_service_is_gone_is_answered_once_it_is_back(self):
        port = free_port()
        client = zelvo.Client(f"http://127.0.0.1:{port}", token="t", reconnect_seconds=30)
        answers = []
        caller = threading.Thread(target=lambda: answers.append(client.buy("600000", 10.5, 100)))
        caller.start()
        time.sleep(1.0)
        back = StandIn(port)
        try:
            back.script = [(200, ORDER_ANSWER)]
            caller.join(timeout=10)
            assert answers[0].contract == 7 and len(back.received) == 1
        finally:
            back.stop()

    def test_a_refused_token_is_read_again_from_its_file_and_the_request_sent_once_more(self, stand_in, tmp_path):
        token_file = tmp_path / "service.token"
        token_file.write_text("old\n")
        client = zelvo.Client(stand_in.address, token_file=token_file)

        def restarted(method, path, body):
            if stand_in.received[-1][3] == "Bearer old":
                token_file.write_text("new\n")
                return 401, {"ok": False, "error": "unauthorized", "message": "m"}
            return 200, ORDER_ANSWER

        stand_in.respond = restarted
        assert client.buy("600000", 10.5, 100).contract == 7
        assert client.status()["ok"]
        assert [request[3] for request in stand_in.received] == ["Bearer old", "Bearer new", "Bearer new"]

    @pytest.mark.parametrize("from_file", [True, False])
    def test_a_token_refused_again_raises(self, stand_in, tmp_path, from_file):
        token_file = tmp_path / "service.token"
        token_file.write_text("same")
        client = zelvo.Client(stand_in.address, token_file=token_file) if from_file else zelvo.Client(stand_in.address, token="same")
        stand_in.respond = lambda *request: (401, {"ok": False, "error": "unauthorized", "message": "m"})
        with pytest.raises(zelvo.RequestRejected) as rejected:
            client.status()
        assert rejected.value.status == 401 and len(stand_in.received) == 1

    def test_wait_ready_waits_for_the_service_and_logs_in(self):
        port = free_port()
        client = zelvo.Client(f"http://127.0.0.1:{port}", token="t", reconnect_seconds=0)
        ready = []
        waiter = threading.Thread(target=lambda: ready.append(client.wait_ready(timeout=30)))
        waiter.start()
        time.sleep(1.0)
        back = StandIn(port)
        logins = []

        def service(method, path, body):
            if path == "/v1/status":
                return 200, {"ok": True, "attached": len(logins) == 2}
            logins.append(body)
            if len(logins) == 1:
                return 200, {"ok": False, "message": "未找到交易客户端主窗口"}  # the client still starting
            return 200, {"ok": True, "message": "欢迎使用"}

        back.respond = service
        try:
            waiter.join(timeout=20)
            assert ready[0]["attached"]
            assert [path for _, path, _, _ in back.received] == ["/v1/status", "/v1/login", "/v1/status", "/v1/login",
                                                                 "/v1/status"]
        finally:
            back.stop()

    def test_wait_ready_gives_up_after_its_timeout_with_the_last_refusal(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = lambda method, path, body: (200, {"ok": False, "message": "交易界面已锁定"} if path == "/v1/login"
                                                       else {"ok": True, "attached": False})
        started = time.monotonic()
        with pytest.raises(zelvo.ClientRefused) as refused:
            client.wait_ready(timeout=1.5)
        assert refused.value.message == "交易界面已锁定" and 1.5 <= time.monotonic() - started < 5


class TestConnections:
    def test_threads_share_a_few_kept_connections_and_none_stays_idle(self, stand_in, monkeypatch):
        monkeypatch.setattr("zelvo.connections.KEEP_IDLE", 0.5)
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = lambda *request: (200, {"ok": True, "attached": True})
        start, done = threading.Barrier(13), threading.Event()

        def call():
            start.wait()
            client.status()
            done.wait()  # a worker of a pool: idle, but alive

        threads = [threading.Thread(target=call) for _ in range(12)]
        for thread in threads:
            thread.start()
        start.wait()
        try:
            wait = time.monotonic() + 5
            while len(stand_in.received) < 12 and time.monotonic() < wait:
                time.sleep(0.01)
            assert client._connections.idle_count() <= 4
            while stand_in.open_connections and time.monotonic() < wait:
                time.sleep(0.05)
            assert stand_in.open_connections == 0 and client._connections.idle_count() == 0
        finally:
            done.set()
            for thread in threads:
                thread.join()


class TestAnswers:
    def test_request_carries_the_token_and_the_fields(self, stand_in):
        client = zelvo.Client(stand_in.address, token="secret")
        stand_in.script = [(200, ORDER_ANSWER)]
        client.short_sell(600000, 10.5, 100)
        method, path, body, authorization = stand_in.received[0]
        assert (method, path, authorization) == ("POST", "/v1/orders", "Bearer secret")
        assert body == {"kind": "short-sell", "code": "600000", "price": 10.5, "quantity": 100, "order_id": body["order_id"]}

    def test_refusal_raises_with_the_clients_message(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": False, "outcome": "refused", "contract": -1, "message": "资金不足"})]
        with pytest.raises(zelvo.ClientRefused) as refused:
            client.buy("600000", 10.5, 100)
        assert refused.value.message == "资金不足"
        assert not isinstance(refused.value, zelvo.OutcomeUnknown)

    def test_unknown_outcome_has_its_own_exception(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": False, "outcome": "unknown", "contract": -1, "message": "等待委托回报超时,委托结果未知"})]
        with pytest.raises(zelvo.OutcomeUnknown):
            client.buy("600000", 10.5, 100)

    def test_service_refusal_raises_request_rejected_with_its_code(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(401, {"ok": False, "error": "unauthorized", "message": "a valid bearer token is required"})]
        with pytest.raises(zelvo.RequestRejected) as rejected:
            client.status()
        assert (rejected.value.status, rejected.value.error) == (401, "unauthorized")

    def test_cancel_all_failure_keeps_every_result(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        results = [{"number": 1, "ok": True, "message": "a"}, {"number": 2, "ok": False, "message": "b"}]
        stand_in.script = [(200, {"ok": False, "message": "cancelled 1 of 2 orders", "results": results})]
        with pytest.raises(zelvo.ClientRefused) as refused:
            client.cancel_all()
        assert refused.value.answer["results"] == results

    def test_token_file_is_read_and_stripped(self, stand_in, tmp_path):
        (tmp_path / "t.token").write_text("abc\n")
        stand_in.script = [(200, {"ok": True})]
        zelvo.Client(stand_in.address, token_file=tmp_path / "t.token").status()
        assert stand_in.received[0][3] == "Bearer abc"

    def test_missing_token_file_is_a_clear_error(self, tmp_path):
        with pytest.raises(zelvo.ZelvoError) as error:
            zelvo.Client("http://127.0.0.1:1", token_file=tmp_path / "missing.token")
        assert "token file" in error.value.message


class TestRefusals:
    def test_a_risk_limit_has_its_own_exception_with_the_limit_and_the_counts(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(422, {"ok": False, "error": "risk_limit", "message": "m", "limit": "max_orders_per_day",
                                  "value": 500, "current": 500})]
        with pytest.raises(zelvo.RiskLimitExceeded) as refused:
            client.buy("600000", 10.5, 100)
        assert (refused.value.limit, refused.value.value, refused.value.current) == ("max_orders_per_day", 500, 500)

    def test_a_halt_has_its_own_exception_with_the_reason(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        halt = {"halted": True, "reason": "r", "since": "2025-06-30T10:00:00.000", "by": "request"}
        stand_in.script = [(423, {"ok": False, "error": "halted", "message": "m", "halt": halt})]
        with pytest.raises(zelvo.Halted) as refused:
            client.buy("600000", 10.5, 100)
        assert refused.value.halt == halt and isinstance(refused.value, zelvo.RequestRejected)


def switch_answer(seconds):
    return (200, {"ok": True, "switch": {"armed": True, "seconds": seconds, "deadline": "d", "remaining_seconds": seconds}
                  if seconds else {"armed": False}})


def switch_service(method, path, body):
    """The switch route of a service: arms for the seconds asked."""
    assert (method, path) == ("POST", "/v1/cancel-after")
    return switch_answer(body["seconds"])


class TestDeadMansSwitch:
    def test_only_alive_re_arms_it_and_at_most_once_a_third_of_its_time(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = switch_service
        with client.cancel_after(3) as switch:
            time.sleep(1.5)  # the strategy blocked: nothing re-arms the switch meanwhile
            assert len(stand_in.received) == 1
            calls = 0
            ended = time.monotonic() + 1.5
            while time.monotonic() < ended:
                calls += 1
                switch.alive()
                time.sleep(0.01)
        bodies = [body for _, path, body, _ in stand_in.received if path == "/v1/cancel-after"]
        # Armed, re-armed at once (1.5 s > 1 s since), once more a second later, and disarmed.
        assert bodies == [{"seconds": 3}, {"seconds": 3}, {"seconds": 3}, {"seconds": 0}]
        assert calls > 50 and switch.rearmed == 2 and not switch.armed

    def test_a_block_that_raises_leaves_it_armed(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = switch_service
        with pytest.raises(KeyError):
            with client.cancel_after(3):
                raise KeyError("strategy")
        time.sleep(0.3)
        assert [body for _, _, body, _ in stand_in.received] == [{"seconds": 3}]

    def test_a_failed_re_arm_raises_and_the_next_alive_tries_again(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [switch_answer(3), (503, {"ok": False, "error": "journal_unavailable", "message": "m"})]
        stand_in.respond = switch_service
        switch = client.cancel_after(3)
        time.sleep(1.05)
        with pytest.raises(zelvo.RequestRejected):
            switch.alive()
        assert switch.alive() and switch.armed and len(stand_in.received) == 3

    def test_a_disarmed_switch_cannot_be_kept_armed(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [switch_answer(0)]
        switch = client.cancel_after(0)
        with pytest.raises(ValueError):
            with switch:
                pass
        with pytest.raises(ValueError):
            switch.alive()
