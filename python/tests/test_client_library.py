"""The Python client's own rules, against a scripted stand-in for the service (no Wine needed):
which failures may repeat a request, and how answers become results or exceptions."""

import json
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pytest

import zelvo


class StandIn:
    """Answers each request with the next scripted (status, body); after each answer it may
    drop the connection without saying so, as a service that restarted would."""

    def __init__(self):
        self.script = []
        self.respond = None  # answers (status, body) to (method, path, body) once the script is used up
        self.received = []
        self.drop_after_answer = False
        stand_in = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                self.answer()

            def do_POST(self):
                self.answer()

            def answer(self):
                length = int(self.headers.get("Content-Length", 0))
                body = json.loads(self.rfile.read(length)) if length else None
                stand_in.received.append((self.command, self.path, body, self.headers.get("Authorization")))
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

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True)
        self.thread.start()
        self.address = f"http://127.0.0.1:{self.server.server_address[1]}"


@pytest.fixture
def stand_in():
    server = StandIn()
    yield server
    server.server.shutdown()
    server.server.server_close()


ORDER_ANSWER = {"ok": True, "outcome": "placed", "contract": 7, "message": "合同号是7", "kind": "buy",
                "code": "600000", "price": 10.5, "quantity": 100}


class TestRepeats:
    def test_order_without_id_is_never_sent_twice(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [(200, {"ok": True, "attached": True})]
        stand_in.drop_after_answer = True
        client.status()
        with pytest.raises(zelvo.ServiceUnreachable) as unreachable:
            client.buy("600000", 10.5, 100)
        assert "may have been carried out" in unreachable.value.message
        assert [request[1] for request in stand_in.received] == ["/v1/status"]

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


class TestAnswers:
    def test_request_carries_the_token_and_the_fields(self, stand_in):
        client = zelvo.Client(stand_in.address, token="secret")
        stand_in.script = [(200, ORDER_ANSWER)]
        client.short_sell(600000, 10.5, 100)
        method, path, body, authorization = stand_in.received[0]
        assert (method, path, authorization) == ("POST", "/v1/orders", "Bearer secret")
        assert body == {"kind": "short-sell", "code": "600000", "price": 10.5, "quantity": 100}

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
    def test_kept_armed_while_the_block_runs_and_disarmed_when_it_ends(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = switch_service
        with client.cancel_after(3, every=0.1) as switch:
            while switch.rearmed < 4:
                time.sleep(0.02)
        bodies = [body for _, path, body, _ in stand_in.received if path == "/v1/cancel-after"]
        assert bodies[0] == {"seconds": 3} and bodies[-1] == {"seconds": 0}
        assert all(body == {"seconds": 3} for body in bodies[1:-1]) and len(bodies) >= 6
        assert not switch.armed and switch.error is None

    def test_a_block_that_raises_stops_re_arming_and_leaves_it_armed(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.respond = switch_service
        with pytest.raises(KeyError):
            with client.cancel_after(3, every=0.1):
                raise KeyError("strategy")
        sent = len(stand_in.received)
        time.sleep(0.3)
        assert len(stand_in.received) == sent
        assert all(body == {"seconds": 3} for _, _, body, _ in stand_in.received)

    def test_a_failed_re_arm_is_kept_and_the_next_round_tries_again(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [switch_answer(3), (503, {"ok": False, "error": "journal_unavailable", "message": "m"})]
        stand_in.respond = switch_service
        seen_error = []
        with client.cancel_after(3, every=0.1) as switch:
            while switch.rearmed < 2:
                if switch.error is not None:
                    seen_error.append(switch.error)
                time.sleep(0.01)
        assert isinstance(seen_error[0], zelvo.RequestRejected) and switch.error is None

    @pytest.mark.parametrize("seconds, every", [(3, 3), (3, 0), (3, 5)])
    def test_a_re_arming_interval_outside_the_countdown_is_refused(self, stand_in, seconds, every):
        with pytest.raises(ValueError):
            zelvo.Client(stand_in.address, token="t").cancel_after(seconds, every=every)
        assert stand_in.received == []

    def test_a_disarmed_switch_cannot_be_kept_armed(self, stand_in):
        client = zelvo.Client(stand_in.address, token="t")
        stand_in.script = [switch_answer(0)]
        with pytest.raises(ValueError):
            with client.cancel_after(0):
                pass
