"""The dead man's switch from the caller's side: arm it once, or keep it armed from a background thread
while a block of code runs.

The countdown itself runs in the service: if the switch is not armed again in time (the caller died, hung
or lost the service), the service halts new orders and cancels every order of the cancel list.
"""

from __future__ import annotations

import threading
from types import TracebackType
from typing import Any, Callable, Dict, Optional, Type

Answer = Dict[str, Any]


class DeadMansSwitch:
    """The switch as Client.cancel_after(seconds) left it (disarmed for 0 seconds); the service's
    answer is in `state` (armed, seconds, deadline, remaining_seconds).

    As a context manager it re-arms the switch every `every` seconds (a third of `seconds` unless
    given) from a background thread while the block runs. A block that ends normally disarms it. A
    block that raises leaves it armed and stops re-arming: the caller stopped looking after its
    orders, so the service cancels them once `seconds` have passed.
    """

    def __init__(self, arm: Callable[[int], Answer], seconds: int, every: Optional[float] = None):
        self.seconds = seconds
        self.every = every if every is not None else seconds / 3.0
        if seconds > 0 and not 0 < self.every < seconds:
            raise ValueError(f"every must lie between 0 and {seconds} seconds")
        self._arm = arm
        self._stop = threading.Event()
        self._thread: Optional[threading.Thread] = None
        self.state: Answer = arm(seconds)["switch"]
        # The last failure to re-arm (the service unreachable, ...), cleared by the next success.
        self.error: Optional[Exception] = None
        self.rearmed = 0

    @property
    def armed(self) -> bool:
        return bool(self.state.get("armed"))

    def __enter__(self) -> "DeadMansSwitch":
        if self.seconds < 1:
            raise ValueError("cancel_after(0) disarms the switch: there is nothing to keep armed")
        self._stop.clear()
        self._thread = threading.Thread(target=self._keep_armed, name="zelvo-dead-mans-switch", daemon=True)
        self._thread.start()
        return self

    def __exit__(self, exc_type: Optional[Type[BaseException]], exc: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        self._stop.set()
        if self._thread is not None:
            self._thread.join()
            self._thread = None
        if exc_type is None:
            self.state = self._arm(0)["switch"]

    def _keep_armed(self) -> None:
        while not self._stop.wait(self.every):
            try:
                self.state = self._arm(self.seconds)["switch"]
                self.error = None
                self.rearmed += 1
            except Exception as error:  # kept for the caller; the next round tries again
                self.error = error
