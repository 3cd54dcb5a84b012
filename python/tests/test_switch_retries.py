"""A fired dead man's switch keeps at its cancels: the client stops answering just as the switch fires (its
thread suspended, as while it reconnects), the tries made meanwhile fail and the status shows the cancels
outstanding, and every listed order is cancelled once the client answers again. Each try is journalled and
told to the event stream. (That a resume ends the tries is the rules' test, tests/host.)"""

import json
import subprocess
import time

from conftest import BIN, raw_request, token_of
from event_listener import Listener

STALL = BIN / "zelvo-stall.exe"
# Long enough for a failed try (the title read and the login, 5 s each on a client that does not answer)
# and the status read after it (two getters, 5 s each) to end within it.
STALL_SECONDS = 30
# The listener's polls would only add waits on the stalled client.
DESK_LOADER_OPTIONS = ("--poll-seconds", "60")


def call(desk, method, path, body=None):
    data = None if body is None else json.dumps(body).encode()
    status, _, answer = raw_request(desk.service, method, path, data, {"Content-Type": "application/json"},
                                    token_of(desk.service))
    assert status == 200, answer
    return answer


def listed(desk):
    """The order numbers of the client's cancel list."""
    answer = call(desk, "GET", "/v1/query/cancel-list")
    column = answer["columns"].index("委托编号")
    return [int(row[column]) for row in answer["rows"]]


def test_cancels_the_switch_could_not_make_are_made_once_the_client_answers_again(bench, desk):
    call(desk, "POST", "/v1/orders", {"kind": "buy", "code": "694001", "price": 10.0, "quantity": 100,
                                      "order_id": "switch-retry-1"})
    numbers = listed(desk)
    assert len(numbers) >= 2
    listener = Listener(desk.service)
    stall = subprocess.Popen(bench.command(STALL, str(desk.client_process.pid), str(STALL_SECONDS * 1000)),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    try:
        assert stall.stdout.readline().startswith(b"stalled"), "the client's thread was not suspended"
        stalled_at = time.monotonic()
        call(desk, "POST", "/v1/cancel-after", {"seconds": 1})

        first = listener.wait_for("switch", bound=STALL_SECONDS, action="cancels", attempt=1)
        assert (first.data["ok"], first.data["done"]) == (False, False), first.data
        outstanding = call(desk, "GET", "/v1/status")["switch"]
        assert time.monotonic() - stalled_at < STALL_SECONDS, "the status came after the client answered again"
        assert outstanding["armed"] is False and outstanding["cancels_outstanding"]["attempts"] >= 1, outstanding
        assert desk.cancels(bound=0.1) == []

        last = listener.wait_for("switch", bound=90, action="cancels", done=True)
        assert last.data["ok"] and last.data["attempt"] >= 2, last.data
        assert sorted(desk.cancels(at_least=len(numbers), bound=5)) == sorted(numbers)
    finally:
        listener.close()
        stall.wait(timeout=60)
    status = call(desk, "GET", "/v1/status")
    assert status["switch"] == {"armed": False}
    assert status["halt"]["halted"] and status["halt"]["by"] == "switch"
    tries = [entry for entry in desk.journal_events() if entry["event"] == "cancel_all" and entry["by"] == "switch"]
    assert [entry["attempt"] for entry in tries] == list(range(1, len(tries) + 1))
    assert [entry["done"] for entry in tries] == [False] * (len(tries) - 1) + [True]
    assert not tries[0]["ok"] and tries[-1]["ok"]
    call(desk, "POST", "/v1/resume", {})
