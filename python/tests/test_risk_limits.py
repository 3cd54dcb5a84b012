"""The risk limits: each refuses before zelvo.dll is called (nothing reaches the client), counts roll over at
the end of their window, changes at run time take effect at once, and a limits.json that is not valid
stops the service from starting."""

import json
import time

import pytest

import zelvo
from conftest import BURST_LIMITS, CLIENT, ClientProcess, free_port, wine_path, write_limits

# The documented defaults (README.md, "Running unattended").
DEFAULT_LIMITS = {"max_order_quantity": 1000000, "max_order_value": 10000000.0, "max_orders_per_window": 20,
                  "window_seconds": 10, "max_orders_per_day": 500, "max_cancels_per_code_per_day": 200,
                  "allowed_codes": None, "settle_seconds": 10}
# What each test starts from: the defaults with the suite's bursts allowed.
OPEN_LIMITS = {**DEFAULT_LIMITS, **BURST_LIMITS}
DESK_LIMITS = OPEN_LIMITS


@pytest.fixture
def api(desk):
    """The desk's client, with the limits set back to OPEN_LIMITS after the test."""
    client = desk.api()
    yield client
    client.set_limits(**OPEN_LIMITS)


def refused(api, call):
    """The RiskLimitExceeded `call` raises."""
    with pytest.raises(zelvo.RiskLimitExceeded) as refusal:
        call()
    assert refusal.value.status == 422
    return refusal.value


def journalled_refusals(desk, since):
    """The request and answer lines of the refusals journalled after line `since`."""
    events = desk.journal_events()[since:]
    answers = [event for event in events if event["event"] == "answer" and event["status"] == 422]
    requests = {event["seq"]: event for event in events if event["event"] == "request"}
    return [(requests[answer["seq"]], answer) for answer in answers]


class TestOrderLimits:
    @pytest.mark.parametrize("limits, order, limit, value, current", [
        ({"max_order_quantity": 500}, ("660001", 10.0, 600), "max_order_quantity", 500, 600),
        ({"max_order_value": 5000}, ("660002", 10.0, 600), "max_order_value", 5000, 6000),
        ({"allowed_codes": ["600000", "000001"]}, ("660003", 10.0, 100), "allowed_codes", ["600000", "000001"], "660003"),
    ])
    def test_an_order_over_a_limit_is_refused_and_journalled_and_nothing_reaches_the_client(
            self, desk, api, limits, order, limit, value, current):
        api.set_limits(**limits)
        since = len(desk.journal_events())
        refusal = refused(api, lambda: api.buy(*order, order_id=f"over-{limit}"))
        assert (refusal.limit, refusal.value, refusal.current) == (limit, value, current)
        assert limit in refusal.message
        assert desk.tickets(order[0], at_least=1, bound=0.5) == []
        [(request, answer)] = journalled_refusals(desk, since)
        assert request["request"]["order_id"] == f"over-{limit}" and request["sends"] is False
        assert answer["answer"]["limit"] == limit
        with pytest.raises(zelvo.RequestRejected):
            api.order(f"over-{limit}")  # a refused order gets no record: its id stays free

    def test_the_days_count_refuses_the_order_past_it(self, desk, api):
        api.buy("660004", 10.0, 100)
        today = api.limits().counts["orders_today"]
        api.set_limits(max_orders_per_day=today)
        refusal = refused(api, lambda: api.buy("660005", 10.0, 100))
        assert (refusal.limit, refusal.value, refusal.current) == ("max_orders_per_day", today, today)
        assert desk.tickets("660005", at_least=1, bound=0.5) == []

    def test_the_window_refuses_until_it_has_rolled_over(self, desk, api):
        api.set_limits(max_orders_per_window=2, window_seconds=2)
        time.sleep(2.1)  # the orders of earlier tests out of the window
        first = time.monotonic()
        api.buy("660006", 10.0, 100)
        api.buy("660006", 10.0, 100)
        refusal = refused(api, lambda: api.buy("660006", 10.0, 100))
        assert (refusal.limit, refusal.current) == ("max_orders_per_window", 2)
        assert api.limits().counts["orders_in_window"] == 2
        time.sleep(max(0.0, first + 2.2 - time.monotonic()))
        api.buy("660006", 10.0, 100)
        assert len(desk.tickets("660006", at_least=4, bound=1.0)) == 3


class TestCancelLimit:
    def test_cancels_past_the_limit_of_their_code_are_refused_and_cancel_all_skips_them(self, desk, api):
        first = api.buy("660007", 10.0, 100).contract
        second = api.buy("660007", 10.0, 200).contract
        assert api.cancel(first)
        api.set_limits(max_cancels_per_code_per_day=1)
        asked = len(desk.cancels(at_least=1))
        refusal = refused(api, lambda: api.cancel(second))
        assert (refusal.limit, refusal.value, refusal.current) == ("max_cancels_per_code_per_day", 1, 1)
        listed = [int(r["委托编号"]) for r in api.query("cancel-list").records() if r["证券代码"] == "660007"]
        with pytest.raises(zelvo.ClientRefused) as partly:
            api.cancel_all()
        # Each code of the list may be cancelled once today: 660007's orders none more, the others' one.
        skipped = [r for r in partly.value.answer["results"] if not r["ok"]]
        assert set(listed) <= {r["number"] for r in skipped}
        assert all("max_cancels_per_code_per_day" in r["message"] for r in skipped)
        assert not set(listed) & set(desk.cancels()[asked:])
        assert api.limits().counts["cancels_today"]["660007"] == 1


class TestChanges:
    def test_a_change_takes_effect_at_once_is_journalled_and_written_to_the_port_s_limits_file(self, desk, api):
        changed = api.set_limits(max_order_quantity=300, allowed_codes=["660008"])
        assert changed.limits["max_order_quantity"] == 300 and changed.limits["allowed_codes"] == ["660008"]
        assert api.limits().limits == changed.limits
        assert json.loads((desk.data / f"limits-{desk.port}.json").read_text()) == changed.limits
        assert desk.journal_events()[-1]["event"] == "limits"
        assert desk.journal_events()[-1]["source"] == "request"
        refused(api, lambda: api.buy("660008", 10.0, 400))
        assert api.buy("660008", 10.0, 300).contract > 0

    @pytest.mark.parametrize("change, named", [
        ({"max_orders_per_day": 0}, "max_orders_per_day"),
        ({"max_order_value": -5}, "max_order_value"),
        ({"window_seconds": 1.5}, "window_seconds"),
        ({"allowed_codes": ["浦发"]}, "allowed_codes"),
        ({"max_orders": 5}, "unknown limit: max_orders"),
    ])
    def test_a_bad_change_is_refused_naming_the_limit_and_changes_nothing(self, api, change, named):
        before = api.limits().limits
        with pytest.raises(zelvo.RequestRejected) as rejected:
            api.set_limits(**change)
        assert rejected.value.status == 400 and named in rejected.value.message
        assert api.limits().limits == before


def test_the_defaults_stop_a_runaway_loop_within_its_first_seconds(restartable):
    desk = restartable(limits=None)
    api = desk.start().client()
    assert api.limits().limits == DEFAULT_LIMITS
    placed, started = 0, time.monotonic()
    with pytest.raises(zelvo.RiskLimitExceeded) as refusal:
        while time.monotonic() - started < 60:
            api.buy("660009", 10.0, 100)
            placed += 1
    assert (placed, refusal.value.limit) == (20, "max_orders_per_window")
    assert len(desk.tickets("660009", at_least=21, bound=1.0)) == 20


class TestLimitsFile:
    @pytest.fixture(scope="class")
    def client_process(self, bench, tmp_path_factory):
        client = ClientProcess(bench, CLIENT, tmp_path_factory.mktemp("no-start") / "tickets.txt")
        yield client
        client.kill()

    @pytest.mark.parametrize("text, named", [
        ('{"max_orders_per_day": "many"}', "max_orders_per_day"),
        ('{"max_orders_per_minute": 5}', "max_orders_per_minute"),
        ('{"allowed_codes": "600000"}', "allowed_codes"),
        ('{"window_seconds": 10,\n "max_order_value": }', "line 2"),
        ('[20, 500]', "JSON object"),
    ])
    def test_a_file_that_is_not_valid_stops_the_start_naming_what_is_wrong(self, bench, client_process, tmp_path,
                                                                           text, named):
        (tmp_path / "limits.json").write_text(text)
        port = free_port()
        loaded = bench.load("--pid", str(client_process.pid), "--port", str(port), "--dir", wine_path(tmp_path))
        assert loaded.returncode == 6, loaded.stdout
        assert "limits.json" in loaded.stdout and named in loaded.stdout
        assert not (tmp_path / f"service-{port}.token").exists()
        assert not (tmp_path / f"journal-{port}.jsonl").exists()

    def test_once_the_file_is_mended_the_service_starts_with_its_limits(self, bench, client_process, tmp_path):
        write_limits(tmp_path, {"max_orders_per_day": 42, "allowed_codes": ["600000"]})
        port = free_port()
        client_process.serves(port)
        loaded = bench.load("--pid", str(client_process.pid), "--port", str(port), "--dir", wine_path(tmp_path))
        assert loaded.returncode == 0, loaded.stdout
        api = zelvo.Client(f"http://127.0.0.1:{port}", token_file=tmp_path / f"service-{port}.token")
        assert api.limits().limits == {**DEFAULT_LIMITS, "max_orders_per_day": 42, "allowed_codes": ["600000"]}
