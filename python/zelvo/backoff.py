"""Waiting for a service that is gone for a while (its trading client restarting): pauses that grow, within
a budget of seconds counted from the first failure."""

from __future__ import annotations

import time
from typing import Callable, Optional

# The first pause after a failure, and the longest: a refused connection to 127.0.0.1 costs nothing, so
# a service that is back is found within two seconds.
FIRST_PAUSE = 0.25
LONGEST_PAUSE = 2.0


class Backoff:
    """Pauses of FIRST_PAUSE, doubling up to LONGEST_PAUSE, for at most `seconds` after the first failure.

    `pause()` after each failure: it waits and answers True, or answers False at once when the budget
    is spent (the caller then gives up). `reset()` after a success starts the next budget afresh.
    """

    def __init__(self, seconds: float, first: float = FIRST_PAUSE, clock: Optional[Callable[[], float]] = None,
                 sleep: Optional[Callable[[float], None]] = None):
        self.seconds = max(0.0, seconds)
        self._first = first
        self._clock = clock or time.monotonic
        self._sleep = sleep or time.sleep
        self._next = first
        self._started: Optional[float] = None

    def pause(self) -> bool:
        now = self._clock()
        if self._started is None:
            self._started = now
        left = self._started + self.seconds - now
        if left <= 0:
            return False
        self._sleep(min(self._next, left))
        self._next = min(self._next * 2, LONGEST_PAUSE)
        return True

    def reset(self, first: Optional[float] = None) -> None:
        self._started = None
        self._next = self._first if first is None else first
