"""The halt (new orders refused, everything else goes on) and the dead man's switch (halts and cancels every
listed order unless armed again in time), end to end against the substitute client."""

import time

import pytest

import zelvo


@pytest.fixture
def api(desk):
    """The desk's client; after the test the switch is disarmed and orders are taken again."""
    client = desk.api()
    yield client
    client.cancel_after(0)
    client.resume()


def listed(api):
    """The order numbers of the client's cancel list."""
    return [int(record["委托编号"]) for record in api.query("cancel-list").records()]


def wait_for_halt(api, bound):
    deadline = time.monotonic() + bound
    while not api.status()["halt"]["halted"]:
        assert time.monotonic() < deadline, f"not halted within {bound} s"
        time.sleep(0.1)
    return api.status()


class TestHalt:
    def test_a_halt_refuses_new_orders_and_nothing_reaches_the_client(self, desk, api):
        halted = api.halt(reason="news pending")["halt"]
        assert (halted["halted"], halted["reason"], halted["by"]) == (True, "news pending", "request")
        with pytest.raises(zelvo.Halted) as refused:
            api.buy("670001", 10.0, 100, order_id="while-halted")
        assert refused.value.status == 423 and "news pending" in refused.value.message
        assert refused.value.halt == halted
        assert desk.tickets("670001", at_least=1, bound=0.5) == []
        status = api.status()["halt"]
        assert (status["reason"], status["since"]) == ("news pending", halted["since"])
        answer = [e for e in desk.journal_events() if e["event"] == "answer"][-1]
        assert answer["status"] == 423

    def test_cancels_queries_logout_and_login_go_on_while_halted(self, desk, api):
        number = api.buy("670002", 10.0, 100).contract
        api.halt()
        asked = len(desk.cancels())
        assert api.cancel(number)
        assert desk.cancels(at_least=asked + 1)[asked:] == [number]
        assert api.query("positions").rows
        api.logout()
        assert api.login().startswith("欢迎使用")
        assert api.status()["halt"]["halted"]

    def test_a_second_halt_keeps_the_first_reason_and_resume_lifts_it(self, desk, api):
        first = api.halt(reason="first")["halt"]
        assert api.halt(reason="second")["halt"] == first
        assert api.resume()["halt"] == {"halted": False}
        assert api.buy("670003", 10.0, 100).contract > 0
        assert [event["event"] for event in desk.journal_events() if event["event"] in ("halt", "resume")][-2:] == [
            "halt", "resume"]

    def test_a_halt_with_cancel_all_cancels_every_listed_order(self, desk, api):
        api.buy("670004", 10.0, 100)
        numbers = listed(api)
        asked = len(desk.cancels())
        answer = api.halt(cancel_all=True)
        assert [result["number"] for result in answer["cancel_all"]["results"]] == numbers
        assert all(result["ok"] for result in answer["cancel_all"]["results"])
        assert desk.cancels(at_least=asked + len(numbers))[asked:] == numbers
        assert answer["halt"]["halted"]


class TestSwitch:
    def test_it_fires_after_its_time_halts_and_cancels_every_listed_order(self, desk, api):
        api.buy("670005", 10.0, 100)
        numbers = listed(api)
        asked = len(desk.cancels())
        armed = api.cancel_after(2).state
        assert armed["armed"] and 1.5 < armed["remaining_seconds"] <= 2
        started = time.monotonic()
        status = wait_for_halt(api, 10)
        assert time.monotonic() - started > 1.5
        assert status["halt"]["by"] == "switch" and "2 s" in status["halt"]["reason"]
        assert status["switch"] == {"armed": False}
        assert desk.cancels(at_least=asked + len(numbers))[asked:] == numbers
        events = [event for event in desk.journal_events() if event["event"] in ("switch_fired", "halt", "cancel",
                                                                                 "cancel_all")][-(len(numbers) + 3):]
        assert [event["event"] for event in events] == ["switch_fired", "halt"] + ["cancel"] * len(numbers) + ["cancel_all"]
        assert all(event["by"] == "switch" for event in events[2:])
        with pytest.raises(zelvo.Halted):
            api.buy("670005", 10.0, 100)

    def test_kept_alive_it_stays_quiet_and_a_block_that_ends_disarms_it(self, desk, api):
        asked = len(desk.cancels())
        with api.cancel_after(2) as switch:
            ended = time.monotonic() + 4
            while time.monotonic() < ended:
                switch.alive()
                time.sleep(0.1)
            assert api.status()["switch"]["armed"]
        assert switch.rearmed >= 5
        assert api.status()["switch"] == {"armed": False}
        assert not api.status()["halt"]["halted"]
        assert desk.cancels(bound=0.5)[asked:] == []

    def test_a_strategy_that_blocks_without_saying_it_is_alive_has_its_orders_cancelled(self, desk, api):
        placed = api.buy("670006", 10.0, 100)
        asked = len(desk.cancels())
        with api.cancel_after(2) as switch:
            time.sleep(3.5)  # blocked: a lock, a network call, a loop stuck elsewhere
            status = api.status()
            assert status["halt"]["halted"] and status["halt"]["by"] == "switch"
            assert switch.alive()  # too late: new orders stay halted until resumed
            with pytest.raises(zelvo.Halted):
                api.buy("670006", 10.0, 100)
        assert placed.contract in desk.cancels(at_least=asked + 1)[asked:]

    def test_a_block_that_raises_leaves_it_armed(self, api):
        with pytest.raises(RuntimeError):
            with api.cancel_after(30):
                raise RuntimeError("the strategy failed")
        assert api.status()["switch"]["armed"]

    def test_status_shows_the_time_left_and_zero_disarms_it(self, api):
        api.cancel_after(60)
        left = api.status()["switch"]["remaining_seconds"]
        assert 55 < left <= 60
        assert not api.cancel_after(0).armed
        assert api.status()["switch"] == {"armed": False}

    @pytest.mark.parametrize("seconds", [-1, 86401, 2.5, "10"])
    def test_a_time_out_of_range_is_refused(self, api, seconds):
        with pytest.raises(zelvo.RequestRejected) as rejected:
            api._call("POST", "/v1/cancel-after", {"seconds": seconds})
        assert rejected.value.status == 400
