"""The event stream (GET /v1/events): fills and order changes polled from the client while anyone listens,
the service's own changes from its ledger, reconnects with Last-Event-ID, several listeners, a stalled
listener dropped without holding the service up, and polls that stop when nobody listens. The client
lists the orders it accepts and fills them when a test says so (--list-orders, --script); the service
polls every 0.2 s."""

import socket
import time

import pytest

import zelvo
from conftest import token_of
from event_listener import Listener, events_state, wait_until

DESK_LOADER_OPTIONS = ("--poll-seconds", "0.2")
FILLED = "已成"


@pytest.fixture
def listen(desk):
    """Opens listeners of the desk's service; closes them after the test."""
    opened = []

    def open_listener(last_event_id=None):
        listener = Listener(desk.service, last_event_id)
        opened.append(listener)
        return listener

    yield open_listener
    for listener in opened:
        listener.close()
    wait_until(lambda: events_state(desk.api())["listeners"] == 0, what="every listener gone")


def polls_after_one_more(api):
    """Waits for a poll that starts after now to end: the client's lists as of now are known."""
    start = events_state(api)["polls"]
    wait_until(lambda: events_state(api)["polls"] >= start + 2, what="two more polls")


class TestFillsAndOrders:
    def test_a_fill_reaches_a_listener_once_and_a_reconnect_neither_repeats_nor_loses(self, desk, listen):
        api = desk.api()
        first = listen()
        polls_after_one_more(api)
        placed = api.buy("600000", 10.5, 100)
        record = first.wait_for("order", source="service", order_id=placed.order_id)
        assert record.data["outcome"] == "placed" and record.data["contract"] == placed.contract
        listed = first.wait_for("order", source="client", number=placed.contract)
        assert listed.data["previous_status"] is None and listed.data["code"] == "600000"
        first.close()
        wait_until(lambda: events_state(api)["listeners"] == 0, what="the first listener gone")
        # While nobody listens: the order is filled, and the halt and its lifting are kept for a reconnect.
        desk.script(f"fill {placed.contract}")
        api.halt(reason="while away")
        api.resume()
        second = listen(first.last_id)
        assert second.wait_for("halt").data["reason"] == "while away"
        second.wait_for("resume")
        trade = second.wait_for("trade")
        assert trade.data["row"]["委托编号"] == str(placed.contract)
        filled = second.wait_for("order", source="client", number=placed.contract, status=FILLED)
        assert filled.data["previous_status"] == listed.data["status"]
        polls_after_one_more(api)
        assert len(second.of("trade")) == 1 and len(second.of("order", source="client", status=FILLED)) == 1
        # Nothing the first listener had is sent again, and ids go on rising.
        assert not set(first.ids()) & set(second.ids())
        numbers = [int(event_id.rsplit("-", 1)[1]) for event_id in first.ids() + second.ids()]
        assert numbers == sorted(numbers) and len(set(numbers)) == len(numbers)
        assert second.of("missed") == []

    def test_a_second_listener_is_served_the_same_events(self, desk, listen):
        api = desk.api()
        one, two = listen(), listen()
        wait_until(lambda: events_state(api)["listeners"] == 2, what="two listeners")
        placed = api.buy("600000", 10.6, 100)
        heard = [listener.wait_for("order", source="service", order_id=placed.order_id) for listener in (one, two)]
        assert heard[0].id == heard[1].id and heard[0].data == heard[1].data

    def test_an_id_of_another_run_or_long_gone_gets_a_missed_event_first(self, desk, listen):
        listener = listen("1-5")
        notice = listener.wait_for("missed")
        assert listener.events[0].kind == "missed" and notice.id == ""


class TestTheServiceOwnChanges:
    def test_halt_refusals_resume_limits_and_the_switch_are_told(self, desk, listen):
        api = desk.api()
        listener = listen()
        wait_until(lambda: events_state(api)["listeners"] == 1, what="the listener")
        api.halt(reason="lunch")
        with pytest.raises(zelvo.Halted):
            api.buy("600000", 10.5, 100, order_id="halted-event-1")
        api.resume()
        assert listener.wait_for("halt", reason="lunch").data["by"] == "request"
        refused = listener.wait_for("order", source="service", order_id="halted-event-1")
        assert refused.data["outcome"] == "halted" and refused.data["contract"] == -1
        listener.wait_for("resume")
        with pytest.raises(zelvo.RiskLimitExceeded):
            api.buy("600000", 10.5, 10 ** 9)
        limit = listener.wait_for("limit")
        assert limit.data["limit"] and limit.data["order"]["quantity"] == 10 ** 9
        api.cancel_after(60)
        api.cancel_after(0)
        armed = listener.wait_for("switch", action="armed")
        assert armed.data["seconds"] == 60 and armed.data["deadline_ms"] > armed.data["epoch_ms"]
        listener.wait_for("switch", action="disarmed")

    def test_a_logout_and_a_login_are_told_as_the_client_state(self, desk, listen):
        api = desk.api()
        listener = listen()
        wait_until(lambda: events_state(api)["listeners"] == 1, what="the listener")
        api.logout()
        listener.wait_for("client", state="logged_out")
        api.login()
        listener.wait_for("client", state="attached")


class TestPollsAndSlowListeners:
    def test_polls_are_made_only_while_anyone_listens(self, desk, listen):
        api = desk.api()
        assert events_state(api)["listeners"] == 0
        before = events_state(api)["polls"]
        # Each of these calls lasts far longer than the 0.2 s interval: polls would have come between them.
        api.buy("600000", 10.5, 100)
        api.query("orders")
        api.query("trades")
        assert events_state(api)["polls"] == before
        listener = listen()
        wait_until(lambda: events_state(api)["polls"] > before, what="a poll with a listener")
        listener.close()
        wait_until(lambda: events_state(api)["listeners"] == 0, what="the listener gone")
        stopped = events_state(api)["polls"]
        api.query("orders")
        api.query("trades")
        assert events_state(api)["polls"] == stopped

    def test_a_stalled_listener_is_dropped_while_orders_keep_flowing(self, desk, listen):
        api = desk.api()
        reading = listen()
        stalled = socket.socket()
        # A small receive buffer, so that the service's bounded queue fills after a few hundred events.
        stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        stalled.connect(("127.0.0.1", desk.service.port))
        stalled.sendall(f"GET /v1/events HTTP/1.1\r\nHost: 127.0.0.1:{desk.service.port}\r\n"
                        f"Authorization: Bearer {token_of(desk.service)}\r\n\r\n".encode())
        try:
            wait_until(lambda: events_state(api)["listeners"] == 2, what="both listeners")
            reason = "a long reason, so that each event is large " * 4
            for _ in range(2000):
                api.halt(reason=reason)
                api.resume()
                if events_state(api)["listeners"] == 1:
                    break
            assert events_state(api)["listeners"] == 1, "the stalled listener was never dropped"
            placed = api.buy("600000", 10.7, 100)
            reading.wait_for("order", source="service", order_id=placed.order_id)
            stalled.settimeout(60)
            received = b""
            while chunk := stalled.recv(65536):
                received += chunk
            assert received.startswith(b"HTTP/1.1 200")
            assert received.rstrip(b"\n").rsplit(b"\n\n", 1)[-1].startswith(b"event: dropped\n")
        finally:
            stalled.close()
