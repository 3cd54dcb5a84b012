"""The Python client's reading of the event stream, without a service: the stream's lines to events,
and the reconnect after a loss with the id of the last event received."""

import io
from typing import List, Optional

import pytest

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


def test_a_lost_stream_is_opened_again_after_its_last_id(monkeypatch):
    monkeypatch.setattr("zelvo.events.time.sleep", lambda seconds: None)
    asked: List[Optional[str]] = []
    streams = [FakeResponse("id: 1-1\nevent: trade\ndata: {\"row\": {}}\n\nevent: dropped\ndata: {\"message\": \"m\"}\n\n"),
               FakeResponse("id: 1-2\nevent: order\ndata: {}\n\n")]

    def open_stream(last: Optional[str]) -> FakeResponse:
        asked.append(last)
        if not streams:
            raise ConnectionRefusedError("gone")
        return streams.pop(0)

    reader = follow(open_stream, "0-0", reconnects=2, unreachable=lambda error: RuntimeError(str(error)))  # type: ignore[arg-type]
    kinds = [next(reader).kind for _ in range(3)]
    assert kinds == ["trade", "dropped", "order"]
    with pytest.raises(RuntimeError, match="gone"):
        next(reader)
    assert asked == ["0-0", "1-1", "1-2", "1-2", "1-2"]
