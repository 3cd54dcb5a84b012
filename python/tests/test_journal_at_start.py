"""What a start makes of its files. A damaged line in the middle of the journal (where no power loss cuts
one) may have held an order sent or a halt: the service starts halted, says which line, and once the
operator has resumed a later start does not halt for it again; a line cut off at the end never halts. The
day's orders are counted wherever their lines lie (a wall clock stepped back across midnight). The limits
file is the port's own, so two services on one folder keep their own limits; limits.json, the one file of
every port before, is read once by a service that has none of its own."""

import json
from datetime import datetime, timedelta

import pytest

import zelvo
from conftest import BURST_LIMITS, RestartableService, write_limits
from test_restart import journal_line

ORDER = {"kind": "buy", "code": "696001", "price": 10.0, "quantity": 100}


def order_lines(seq, at, order_id, contract):
    request = {**ORDER, "order_id": order_id}
    answer = {**request, "ok": True, "outcome": "placed", "contract": contract, "message": "ok"}
    return [journal_line(seq, at, {"event": "request", "route": "orders", "request": request, "order_id": order_id,
                                   "sends": True}),
            journal_line(seq, at, {"event": "answer", "status": 200, "answer": answer})]


def write_journal(desk, lines):
    desk.data.mkdir(parents=True, exist_ok=True)
    desk.journal.write_text("\n".join(lines) + "\n", encoding="utf-8")


class TestDamagedJournal:
    def test_a_damaged_line_in_the_middle_halts_the_start_until_the_operator_resumes(self, restartable):
        desk = restartable(BURST_LIMITS)
        now = datetime.now()
        write_journal(desk, order_lines(1, now, "before", 7001) + ['{"event": "request", "route": "ord'] +
                      order_lines(2, now, "after", 7002))
        api = desk.start(login=False).client()
        status = api.status()
        assert status["halt"]["halted"] and status["halt"]["by"] == "journal"
        assert status["halt"]["reason"] == "journal damaged at line 3"
        assert (status["journal"]["damaged_lines"], status["journal"]["damaged_at"]) == (1, [3])
        assert api.order("after").contract == 7002
        api.login()
        with pytest.raises(zelvo.Halted):
            api.buy("696001", 10.0, 100, order_id="while-damaged")
        api.resume()
        assert api.buy("696001", 10.0, 100, order_id="once-looked-at").contract > 0

        api = desk.restart().client()
        status = api.status()
        assert status["journal"]["damaged_at"] == [3] and not status["halt"]["halted"]

    def test_a_line_cut_off_at_the_end_halts_no_start_then_or_later(self, restartable):
        desk = restartable(BURST_LIMITS)
        write_journal(desk, order_lines(1, datetime.now(), "before-cut", 7101))
        with desk.journal.open("a", encoding="utf-8") as journal:
            journal.write('{"event": "request", "rou')
        api = desk.start(login=False).client()
        assert api.status()["journal"]["damaged_at"] == [3]
        assert not api.status()["halt"]["halted"]
        api = desk.restart(login=False).client()  # the cut line now lies among the others
        assert api.status()["journal"]["damaged_at"] == [3]
        assert not api.status()["halt"]["halted"]


def test_the_day_s_orders_are_counted_wherever_their_lines_lie(restartable):
    desk = restartable({**BURST_LIMITS, "max_orders_per_day": 3})
    today = datetime.now()
    tomorrow = today + timedelta(days=1)
    write_journal(desk, order_lines(1, today, "first", 7201) + order_lines(2, tomorrow, "ahead", 7202) +
                  order_lines(3, today, "stepped-back", 7203))
    api = desk.start().client()
    assert api.limits().counts["orders_today"] == 2
    api.buy("696001", 10.0, 100, order_id="third")
    with pytest.raises(zelvo.RiskLimitExceeded) as refused:
        api.buy("696001", 10.0, 100, order_id="fourth")
    assert (refused.value.limit, refused.value.current) == ("max_orders_per_day", 3)


def test_two_services_on_one_folder_keep_their_own_limits(bench, tmp_path):
    data = tmp_path / "shared"
    write_limits(data, {**BURST_LIMITS, "max_order_quantity": 500})
    first = RestartableService(bench, data, None)
    second = RestartableService(bench, data, None)
    try:
        api = first.start().client()
        assert api.limits().limits["max_order_quantity"] == 500
        api.set_limits(max_order_quantity=300)
        assert json.loads((data / f"limits-{first.port}.json").read_text())["max_order_quantity"] == 300
        assert json.loads((data / "limits.json").read_text())["max_order_quantity"] == 500

        assert second.start().client().limits().limits["max_order_quantity"] == 500
        assert (data / f"limits-{second.port}.json").exists()
        # limits.json was read once: a change of it is not the services' any more.
        write_limits(data, {**BURST_LIMITS, "max_order_quantity": 100})
        assert first.restart().client().limits().limits["max_order_quantity"] == 300
        assert second.restart().client().limits().limits["max_order_quantity"] == 500
    finally:
        first.stop()
        second.stop()


class TestSnapshot:
    """Each start writes a snapshot of the state beside the journal; the next start reads it and only the
    lines after it (the whole journal of a year of orders takes seconds: bench/bench_journal_start.py)."""

    def test_a_start_reads_the_snapshot_and_the_lines_after_it_to_the_same_state(self, restartable):
        desk = restartable(BURST_LIMITS)
        api = desk.start().client()
        first = api.buy("696001", 10.0, 100, order_id="before-snapshot")
        api = desk.restart().client()
        journal = api.status()["journal"]
        assert 0 < journal["snapshot_lines"] < journal["lines"]  # the first start's lines, then the order's
        api.buy("696001", 10.0, 100, order_id="after-snapshot")
        api = desk.restart().client()
        journal = api.status()["journal"]
        assert journal["snapshot_lines"] > 0
        replayed = api.buy("696001", 10.0, 100, order_id="before-snapshot")
        assert (replayed.contract, replayed.replayed) == (first.contract, True)
        assert api.limits().counts["orders_today"] == 2
        assert desk.tickets("696001", at_least=1, bound=0.5) == []  # the replay placed nothing

    def test_a_snapshot_of_another_journal_or_a_damaged_one_is_not_used(self, restartable):
        desk = restartable(BURST_LIMITS)
        api = desk.start().client()
        api.buy("696001", 10.0, 100, order_id="moved-away")
        desk.stop()
        snapshot = desk.data / f"journal-{desk.port}.snapshot"
        assert snapshot.exists()
        desk.journal.rename(desk.data / "old-journal.jsonl")  # started afresh, as the README says
        api = desk.start().client()
        assert api.status()["journal"]["snapshot_lines"] == 0
        with pytest.raises(zelvo.RequestRejected) as missing:
            api.order("moved-away")
        assert missing.value.status == 404
        api.buy("696001", 10.0, 100, order_id="kept")
        desk.stop()
        snapshot.write_bytes(b"\xa1not a snapshot")
        api = desk.start().client()
        assert api.status()["journal"]["snapshot_lines"] == 0
        assert api.order("kept").contract > 0
