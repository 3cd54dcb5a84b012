"""The client's idle keep-alive connections, shared by its threads.

A call takes an idle connection (or opens one) and gives it back when its answer has been read. None is
kept idle longer than KEEP_IDLE, nor more than KEEP_MAX at once: the service serves a bounded number of
connections, and a program with many threads must not hold a slot per thread while it does nothing.
"""

from __future__ import annotations

import http.client
import threading
import time
import weakref
from typing import List, Optional, Tuple

# The service closes a connection idle for 10 s. A request is never sent on a connection the service may
# be closing, and nothing idle is held longer than this.
KEEP_IDLE = 5.0
# Connections kept idle at once; a burst from more threads opens more, and closes the rest when done.
KEEP_MAX = 4


class ConnectionPool:
    def __init__(self, host: str, port: int):
        self._host = host
        self._port = port
        self._lock = threading.Lock()
        self._idle: List[Tuple[http.client.HTTPConnection, float]] = []  # oldest first
        self._reaper: Optional[threading.Timer] = None

    def take(self, timeout: float) -> Tuple[http.client.HTTPConnection, bool]:
        """A connection for one call, and whether it served a call before."""
        with self._lock:
            stale = self._expired(time.monotonic())
            connection = self._idle.pop()[0] if self._idle else None
        for old in stale:
            old.close()
        reused = connection is not None
        if connection is None:
            connection = http.client.HTTPConnection(self._host, self._port, timeout=timeout)
        connection.timeout = timeout
        if connection.sock is not None:
            connection.sock.settimeout(timeout)
        return connection, reused

    def give_back(self, connection: http.client.HTTPConnection) -> None:
        """Keeps a connection whose answer was read in full and that the service keeps open."""
        with self._lock:
            self._idle.append((connection, time.monotonic()))
            surplus = self._idle[:-KEEP_MAX]
            del self._idle[:-KEEP_MAX]
            if self._reaper is None:
                self._schedule_reaper(KEEP_IDLE)
        for extra, _ in surplus:
            extra.close()

    def close(self) -> None:
        """Closes every idle connection (those in use close when their call ends)."""
        with self._lock:
            idle, self._idle = self._idle, []
            if self._reaper is not None:
                self._reaper.cancel()
                self._reaper = None
        for connection, _ in idle:
            connection.close()

    def idle_count(self) -> int:
        with self._lock:
            return len(self._idle)

    def _expired(self, now: float) -> List[http.client.HTTPConnection]:
        """Takes out the connections idle longer than KEEP_IDLE (with the lock held)."""
        expired = [connection for connection, since in self._idle if now - since >= KEEP_IDLE]
        self._idle = [(connection, since) for connection, since in self._idle if now - since < KEEP_IDLE]
        return expired

    def _schedule_reaper(self, delay: float) -> None:
        # A timer thread that lives only while connections are kept: the pool closes what nobody uses
        # even when no call comes again. It holds the pool weakly: a pool its client dropped is freed at
        # once, and its connections with it.
        self._reaper = threading.Timer(delay, _reap, (weakref.ref(self),))
        self._reaper.daemon = True
        self._reaper.start()

    def _reap(self) -> None:
        with self._lock:
            now = time.monotonic()
            expired = self._expired(now)
            self._reaper = None
            if self._idle:
                self._schedule_reaper(max(0.05, self._idle[0][1] + KEEP_IDLE - now))
        for connection in expired:
            connection.close()


def _reap(pool: "weakref.ReferenceType[ConnectionPool]") -> None:
    kept = pool()
    if kept is not None:
        kept._reap()
