"""What the service takes in a body before anything reaches the client: an order's price is a whole number
of the code's ticks (the client is sent the price rounded to them, and reconciliation looks for the record's
price in the client's lists), an order id never looks like one the service makes up, and no body nests
deeper than the service reads (a copy of a deeper one would overflow the stack of the client's own process).
Sent without the Python client's checks."""

import json

import pytest

from conftest import raw_request, token_of

CUT_CODE = "693001"
DESK_OPTIONS = ("--lose-answer", CUT_CODE)


def post(service, path, body):
    """(status, answer) of a POST of `body` (bytes as they are, anything else as JSON)."""
    data = body if isinstance(body, bytes) else json.dumps(body).encode()
    status, _, answer = raw_request(service, "POST", path, data, {"Content-Type": "application/json"},
                                    token_of(service))
    return status, answer


def order(code, price, **fields):
    return {"kind": "buy", "code": code, "price": price, "quantity": 100, **fields}


class TestPrices:
    @pytest.mark.parametrize("code, price, tick", [
        ("693002", 30.1234, "0.01"),
        ("693002", 10.005, "0.01"),
        ("693002", 0, "0.01"),
        ("693002", -10.5, "0.01"),
        ("510300", 3.1234, "0.001"),
        ("159915", 0.0005, "0.001"),
    ])
    def test_a_price_between_ticks_or_not_above_zero_is_refused_naming_the_tick(self, desk, code, price, tick):
        journal = len(desk.journal.read_text(encoding="utf-8").splitlines())
        status, answer = post(desk.service, "/v1/orders", order(code, price, order_id=f"tick-{code}-{price}"))
        assert (status, answer["error"]) == (400, "bad_price"), answer
        assert f"ticks of {tick}" in answer["message"] and code in answer["message"]
        assert len(desk.journal.read_text(encoding="utf-8").splitlines()) == journal
        assert desk.tickets(code, at_least=1, bound=0.5) == []

    def test_a_price_on_the_tick_is_sent_and_recorded_as_the_client_lists_it(self, desk):
        status, answer = post(desk.service, "/v1/orders", order("510300", 3.123, order_id="tick-fund"))
        assert status == 200 and answer["outcome"] == "placed" and answer["price"] == 3.123
        assert desk.tickets("510300", at_least=1)[0][2] == "3.123"
        # An order whose answer is lost is found at the price the client lists for it ("30.120").
        status, answer = post(desk.service, "/v1/orders", order(CUT_CODE, 30.12, order_id="tick-lost"))
        assert status == 200 and answer["outcome"] == "unknown", answer
        status, reconciled = post(desk.service, "/v1/orders/tick-lost/reconcile", {})
        assert status == 200 and reconciled["order"]["outcome"] == "placed", reconciled


class TestOrderIds:
    def test_an_id_of_the_service_s_own_form_is_refused_even_when_an_order_has_it(self, desk):
        status, made = post(desk.service, "/v1/orders", order("693003", 10.5))
        assert status == 200 and made["order_id"].startswith("auto-")
        for given in (made["order_id"], "auto-20300101-1", "auto-"):
            status, answer = post(desk.service, "/v1/orders", order("693004", 10.5, order_id=given))
            assert (status, answer["error"]) == (400, "bad_field") and "auto-" in answer["message"], given
        assert desk.tickets("693004", at_least=1, bound=0.5) == []
        status, kept = post(desk.service, "/v1/orders", order("693004", 10.5, order_id="Auto-1"))
        assert status == 200 and kept["outcome"] == "placed"


class TestNesting:
    """32,000 levels fit in a 64 KiB body."""

    @staticmethod
    def nested(member: str, levels: int = 32000) -> bytes:
        return b'{"' + member.encode() + b'": ' + b"[" * levels + b"]" * levels + b"}"

    @pytest.mark.parametrize("path, member", [("/v1/orders", "kind"), ("/v1/cancel-after", "seconds"),
                                              ("/v1/halt", "reason"), ("/v1/limits", "allowed_codes")])
    def test_a_deeply_nested_body_is_refused_and_the_client_lives_on(self, desk, path, member):
        body = self.nested(member)
        assert len(body) < 64 * 1024
        method = "PUT" if path == "/v1/limits" else "POST"
        status, _, answer = raw_request(desk.service, method, path, body, {"Content-Type": "application/json"},
                                        token_of(desk.service))
        assert (status, answer["error"]) == (400, "bad_json") and "16 levels" in answer["message"]
        assert desk.client_process.process.poll() is None
        status, _, alive = raw_request(desk.service, "GET", "/v1/query/positions", None, None, token_of(desk.service))
        assert status == 200 and alive["ok"]

    def test_a_body_within_the_bound_is_read_as_before(self, desk):
        status, answer = post(desk.service, "/v1/orders", self.nested("kind", 14))
        assert (status, answer["error"]) == (400, "bad_field") and answer["message"].startswith("kind")
