"""The service's event stream (GET /v1/events, Server-Sent Events) read as Python objects.

`parse` turns the stream's lines into events; `follow` reads a stream and, when the connection ends or
goes silent, opens it again with the id of the last event received, so that the service sends what
was missed meanwhile (it keeps its last 1000 events) and nothing twice. A service started again (its
trading client restarted) does not know the ids of its earlier run and says so with a "missed" event.
"""

from __future__ import annotations

import http.client
import json
import socket
import time
from dataclasses import dataclass, field
from typing import Any, Callable, Dict, Iterator, List, Optional

from .backoff import Backoff

# The service sends a keep-alive comment every 15 s: a stream silent for this long is taken as lost.
IDLE_TIMEOUT = 60.0


@dataclass
class Event:
    """One event: `kind` is trade, order, halt, resume, limit, switch or client (and the notices missed and
    dropped, which have no id); `data` its JSON object."""

    kind: str
    data: Dict[str, Any] = field(default_factory=dict)
    id: str = ""


@dataclass
class _Fields:
    id: str = ""
    kind: str = "message"
    data: List[str] = field(default_factory=list)


def parse(readline: Callable[[], bytes], on_retry: Callable[[float], None] = lambda seconds: None) -> Iterator[Event]:
    """The events of a stream read line by line, until it ends (an empty read)."""
    fields = _Fields()
    while True:
        raw = readline()
        if not raw:
            return
        line = raw.decode("utf-8").rstrip("\r\n")
        if not line:
            if fields.data:
                yield Event(fields.kind, json.loads("\n".join(fields.data)), fields.id)
            fields = _Fields()
            continue
        if line.startswith(":"):
            continue  # a comment: the service's keep-alive
        name, _, value = line.partition(":")
        value = value[1:] if value.startswith(" ") else value
        if name == "id":
            fields.id = value
        elif name == "event":
            fields.kind = value
        elif name == "data":
            fields.data.append(value)
        elif name == "retry" and value.isdigit():
            on_retry(int(value) / 1000.0)


Opener = Callable[[Optional[str]], http.client.HTTPResponse]

# What the reader says when it cannot ask the service for what it missed: the stream was lost before its
# first event, so there is no id to go on after.
LOST_BEFORE_FIRST_EVENT = ("the stream was lost before its first event, so events may have been missed; "
                           "read the lists again")


def _lost(error: Exception) -> bool:
    return isinstance(error, (OSError, http.client.HTTPException))


def follow(open_stream: Opener, last_event_id: Optional[str] = None, reconnect: bool = True,
           backoff: Optional[Backoff] = None, retryable: Callable[[Exception], bool] = _lost,
           unreachable: Callable[[Exception], Exception] = lambda error: error) -> Iterator[Event]:
    """The events of the stream `open_stream(last_event_id)` opens, opened again after each loss while
    `reconnect`. An opening that fails with a `retryable` error is tried again after the pauses of
    `backoff` (by default none); when they are spent it raises `unreachable(error)` for a lost
    connection and the error itself otherwise. Other errors (a refused token) are raised at once."""
    waiting = backoff or Backoff(0)
    pause = 1.0  # the service's retry line may change it
    lost = False

    def set_pause(seconds: float) -> None:
        nonlocal pause
        pause = seconds

    while True:
        try:
            response = open_stream(last_event_id)
        except Exception as error:
            if not retryable(error):
                raise
            if reconnect and waiting.pause():
                continue
            if _lost(error):
                raise unreachable(error) from error
            raise
        waiting.reset()
        try:
            if lost and not last_event_id:
                yield Event("missed", {"message": LOST_BEFORE_FIRST_EVENT})
            for event in parse(response.readline, set_pause):
                if event.id:
                    last_event_id = event.id
                yield event
        except (OSError, http.client.HTTPException, socket.timeout):
            pass  # lost, or silent past the idle bound: opened again below
        finally:
            response.close()
        if not reconnect:
            return
        lost = True
        time.sleep(pause)
