"""A listener of a service's event stream for the tests, reading on a thread of its own.

Every event it reads is checked against the schema the service's description gives its kind (a
mismatch fails the test that read it, as for every other answer). Unlike zelvo.Client.events, it never
reconnects by itself: the tests reconnect it when they mean to.
"""

from __future__ import annotations

import http.client
import socket
import threading
import time
from typing import Any, Callable, Dict, List, Optional

from zelvo.events import Event, parse

from conftest import ANSWERS, Service, token_of


class Listener:
    def __init__(self, service: Service, last_event_id: Optional[str] = None):
        self.events: List[Event] = []
        self._lock = threading.Lock()
        self.ended = threading.Event()
        self.connection = http.client.HTTPConnection("127.0.0.1", service.port, timeout=120)
        headers = {"Authorization": f"Bearer {token_of(service)}", "Accept": "text/event-stream"}
        if last_event_id:
            headers["Last-Event-ID"] = last_event_id
        self.connection.request("GET", "/v1/events", headers=headers)
        # The connection hands its socket to a response that lasts until the connection closes.
        self._socket = self.connection.sock
        self.response = self.connection.getresponse()
        assert self.response.status == 200, self.response.read()
        assert self.response.getheader("Content-Type", "").startswith("text/event-stream")
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self) -> None:
        try:
            for event in parse(self.response.readline):
                ANSWERS.check_event(event.kind, event.data)
                with self._lock:
                    self.events.append(event)
        except (OSError, http.client.HTTPException, ValueError):
            pass
        finally:
            self.ended.set()

    def of(self, kind: str, **members: Any) -> List[Event]:
        """The events of `kind` so far whose data has these members."""
        with self._lock:
            return [event for event in self.events
                    if event.kind == kind and all(event.data.get(name) == value for name, value in members.items())]

    def wait_for(self, kind: str, bound: float = 30.0, **members: Any) -> Event:
        """The first event of `kind` with these members, waiting up to `bound` seconds for it."""
        deadline = time.monotonic() + bound
        while time.monotonic() < deadline:
            found = self.of(kind, **members)
            if found:
                return found[0]
            time.sleep(0.05)
        with self._lock:
            seen = [(event.kind, event.data) for event in self.events]
        raise AssertionError(f"no {kind} event with {members} within {bound} s; seen: {seen}")

    @property
    def last_id(self) -> str:
        with self._lock:
            ids = [event.id for event in self.events if event.id]
        return ids[-1] if ids else ""

    def ids(self) -> List[str]:
        with self._lock:
            return [event.id for event in self.events if event.id]

    def close(self) -> None:
        try:
            self._socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._thread.join(timeout=30)
        self.response.close()
        self.connection.close()


def wait_until(condition: Callable[[], bool], bound: float = 30.0, what: str = "the condition") -> None:
    deadline = time.monotonic() + bound
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} did not hold within {bound} s")
        time.sleep(0.05)


def events_state(api: Any) -> Dict[str, Any]:
    """The status's events member: listeners, polls, poll_seconds."""
    return dict(api.status()["events"])
