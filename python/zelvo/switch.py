"""The dead man's switch from the caller's side: armed once, and kept armed only by the strategy itself.

The countdown runs in the service: if the switch is not armed again in time (the caller died, hung,
blocked, or lost the service), the service halts new orders and cancels every order of the cancel list.
Nothing here re-arms it in the background: only `alive()`, called from the strategy's own loop, does, so
a strategy that stops making progress is noticed like one that died.
"""

from __future__ import annotations

import time
from types import TracebackType
from typing import Any, Callable, Dict, Optional, Type

Answer = Dict[str, Any]


class DeadMansSwitch:
    """The switch as Client.cancel_after(seconds) left it (disarmed for 0 seconds); the service's
    answer is in `state` (armed, seconds, deadline, remaining_seconds).

    `alive()` re-arms it when a third of `seconds` has passed since it was last armed, and otherwise
    returns at once without a request. As a context manager, a block that ends normally disarms it; a
    block that raises leaves it armed: the caller stopped looking after its orders, so the service
    cancels them once `seconds` have passed.
    """

    def __init__(self, arm: Callable[[int], Answer], seconds: int):
        self.seconds = seconds
        self._arm = arm
        # The time the last arming request was sent: the service's deadline is at least `seconds` after it.
        armed_at = time.monotonic()
        self.state: Answer = arm(seconds)["switch"]
        self._armed_at = armed_at
        self.rearmed = 0

    @property
    def armed(self) -> bool:
        return bool(self.state.get("armed"))

    def alive(self) -> bool:
        """Says the strategy is making progress: re-arms the switch when `seconds / 3` have passed since it
        was last armed, and answers True; otherwise answers False at no cost. A re-arm that fails raises
        the call's error (ServiceUnreachable, ...); the next alive() tries again, and unless one gets
        through before the deadline, the switch fires."""
        if self.seconds < 1:
            raise ValueError("cancel_after(0) disarmed the switch: there is nothing to keep armed")
        now = time.monotonic()
        if now - self._armed_at < self.seconds / 3.0:
            return False
        self.state = self._arm(self.seconds)["switch"]
        self._armed_at = now
        self.rearmed += 1
        return True

    def __enter__(self) -> "DeadMansSwitch":
        if self.seconds < 1:
            raise ValueError("cancel_after(0) disarms the switch: there is nothing to keep armed")
        return self

    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        if exc_type is None:
            self.state = self._arm(0)["switch"]
