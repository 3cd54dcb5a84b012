"""The Python client's own rules, against a scripted stand-in for the service (no Wine needed):
which failures may repeat a request, and how answers become results or exceptions."""

import json
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pytest

import zelvo


class StandIn:
    """Answers each request with the next scripted (status, body); after each answer it may
    drop the connection without saying so, as a service that restarted would."""

    def __init__(self):
        self.script = []
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
                status, answer = stand_in.script.pop(0)
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
