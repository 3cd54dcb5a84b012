"""The Python client's reading of the event stream, without a service: the stream's lines to events,
and the reconnect after a loss with the id of the last event received."""

import io
from typing import List, Optional

import pytest

from zelvo.backoff import Backoff
from zelvo.events import Event, follow, parse


def events_of(text: str) -> List[Event]:
    return list(parse(io.BytesIO(text.encode()).readline))


class FakeResponse:
    def __init__(self, text: str):
        self._lines = io.BytesIO(text.encode())
        self.closed = False

    def readline(self) -> bytes:
        return self._lines.readline()

    def close(self) -> None:
        self.closed = True


def test_lines_make_events_and_comments_and_unfinished_events_do_not():
    text = ("retry: 1000\n\n: keep-alive\n\nid: 9-1\nevent: halt\ndata: {\"reason\": \"r\"}\n\n"
            "event: dropped\r\ndata: {\"message\": \"m\"}\r\n\r\nid: 9-2\nevent: resume\ndata: {}\n")
    assert events_of(text) == [Event("halt", {"reason": "r"}, "9-1"), Event("dropped", {"message": "m"}, "")]


class FakeTime:
    """A clock that the reader's pauses move on, instead of waiting."""

    def __init__(self):
        self.now = 0.0
        self.pauses: List[float] = []

    def sleep(self, seconds: float) -> None:
        self.pauses.append(seconds)
        self.now += seconds


@pytest.fixture
def fake_time(monkeypatch):
    clock = FakeTime()
    monkeypatch.setattr("zelvo.events.time.sleep", clock.sleep)
    return clock


def test_a_lost_stream_is_opened_again_after_its_last_id_until_the_reconnect_time_is_spent(fake_time):
    asked: List[Optional[str]] = []
    streams = [FakeResponse("id: 1-1\nevent: trade\ndata: {\"row\": {}}\n\nevent: dropped\ndata: {\"message\": \"m\"}\n\n"),
               FakeResponse("id: 1-2\nevent: order\ndata: {}\n\n")]

    def open_stream(last: Optional[str]) -> FakeResponse:
        asked.append(last)
        if not streams:
            raise ConnectionRefusedError("gone")
        return streams.pop(0)

    waiting = Backoff(5, clock=lambda: fake_time.now, sleep=fake_time.sleep)
    reader = follow(open_stream, "0-0", backoff=waiting, unreachable=lambda error: RuntimeError(str(error)))  # type: ignore[arg-type]
    kinds = [next(reader).kind for _ in range(3)]
    assert kinds == ["trade", "dropped", "order"]
    with pytest.raises(RuntimeError, match="gone"):
        next(reader)
    assert asked[:3] == ["0-0", "1-1", "1-2"] and set(asked[3:]) == {"1-2"}
    # After the stream's own pause (1 s), tries 0.25, 0.5, 1, 2 s apart, cut to the 5 s allowed.
    assert fake_time.pauses == [1.0, 1.0, 0.25, 0.5, 1.0, 2.0, 1.25]


def test_a_busy_service_is_tried_again_and_other_refusals_end_the_stream(fake_time):
    answers: List[object] = [KeyError("busy"), FakeResponse("id: 1-1\nevent: halt\ndata: {}\n\n"), ValueError("refused")]

    def open_stream(last: Optional[str]) -> FakeResponse:
        answer = answers.pop(0)
        if isinstance(answer, Exception):
            raise answer
        return answer  # type: ignore[return-value]

    waiting = Backoff(60, clock=lambda: fake_time.now, sleep=fake_time.sleep)
    reader = follow(open_stream, backoff=waiting, retryable=lambda error: isinstance(error, KeyError))  # type: ignore[arg-type]
    assert next(reader).kind == "halt"
    with pytest.raises(ValueError):
        next(reader)


def test_a_stream_lost_before_its_first_event_says_events_may_have_been_missed(fake_time):
    streams = [FakeResponse(": keep-alive\n\n"), FakeResponse("id: 2-1\nevent: resume\ndata: {}\n\n")]
    reader = follow(lambda last: streams.pop(0))  # type: ignore[arg-type,return-value]
    missed = next(reader)
    assert missed.kind == "missed" and missed.id == "" and "read the lists again" in missed.data["message"]
    assert next(reader).kind == "resume"
