"""The Zelvo service's client: typed calls over HTTP with JSON, standard library only.

The service runs inside the trading client (started by zelvo-load.exe) and
listens on 127.0.0.1. Every call carries the bearer token the service wrote
to its token file when it started.
"""

from __future__ import annotations

import http.client
import json
import os
import socket
import threading
import time
import urllib.parse
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Dict, Iterator, List, Optional, Tuple, Union

from .events import IDLE_TIMEOUT, RECONNECTS, Event, follow
from .switch import DeadMansSwitch

DEFAULT_PORT = 18766
DEFAULT_ADDRESS = f"http://127.0.0.1:{DEFAULT_PORT}"

QUERY_NAMES = (
    "funds", "usd-funds", "hkd-funds", "positions", "orders", "trades", "margin-debt",
    "short-debt", "shortable", "cancel-list", "currencies", "shareholders",
)
ORDER_KINDS = ("buy", "sell", "margin-buy", "short-sell", "buy-to-return", "sell-to-repay", "return-in-kind")

# A JSON object of the service's answers.
Answer = Dict[str, Any]

# A call waits this long for its answer. The library bounds each of the
# client's prompts at 30 s, so an order can take a little over a minute.
CALL_TIMEOUT = 120.0
# A cancel-all cancels order after order.
CANCEL_ALL_TIMEOUT = 900.0
# A kept connection idle longer than this is not used again: the service
# closes idle connections after 10 s, and a request must never be sent on a
# connection the service may be closing.
KEEP_IDLE = 5.0


class ZelvoError(Exception):
    """A call that did not succeed; `message` says why in the client's or the service's words."""

    def __init__(self, message: str, status: Optional[int] = None, answer: Optional[Answer] = None):
        super().__init__(message)
        self.message = message
        self.status = status
        self.answer = answer or {}


class ServiceUnreachable(ZelvoError):
    """The service could not be reached, or the connection broke during the call."""


class RequestRejected(ZelvoError):
    """The service refused the request itself (bad token, bad field, unknown route...); nothing was done."""

    @property
    def error(self) -> str:
        return str(self.answer.get("error", ""))


class RiskLimitExceeded(RequestRejected):
    """A risk limit of the service refused the order or cancel; nothing reached the client.

    `limit` names it (e.g. "max_orders_per_window"), `value` is its value, `current` what the
    request or today's count comes to.
    """

    @property
    def limit(self) -> str:
        return str(self.answer.get("limit", ""))

    @property
    def value(self) -> Any:
        return self.answer.get("value")

    @property
    def current(self) -> Any:
        return self.answer.get("current")


class Halted(RequestRejected):
    """New orders are halted (Client.halt, or the dead man's switch fired); nothing reached the client.
    `halt` holds the reason and the time."""

    @property
    def halt(self) -> Answer:
        halt = self.answer.get("halt")
        return halt if isinstance(halt, dict) else {}


class ClientRefused(ZelvoError):
    """The trading client (or the library driving it) answered with a refusal."""


class OutcomeUnknown(ClientRefused):
    """The order may have gone out but no contract number came back. Its record stays "unknown" until
    reconciled (Client.reconcile, or the service itself after a login and before the next order); its
    order_id is never placed again."""


@dataclass
class QueryResult:
    name: str
    columns: List[str]
    rows: List[List[str]]
    table: str
    message: str

    def records(self) -> List[Dict[str, str]]:
        """The rows as dictionaries keyed by column name (missing cells are empty)."""
        return [{column: (row[i] if i < len(row) else "") for i, column in enumerate(self.columns)} for row in self.rows]


@dataclass
class OrderResult:
    contract: int
    message: str
    kind: str
    code: str
    price: float
    quantity: int
    order_id: Optional[str] = None
    replayed: bool = False  # the answer to an earlier request with the same order_id
    time: str = ""          # when the order was sent, the service's local time


@dataclass
class OrderRecord:
    """What the service recorded of an order it sent to the client."""

    order_id: str
    time: str
    kind: str
    code: str
    price: float
    quantity: int
    outcome: str    # placed, refused, unknown, not_found
    contract: int   # -1 unless placed
    message: str    # the client's or the library's answer
    reconciliation: Optional[Answer] = None  # time, note, candidates of the last reconciliation

    @property
    def candidates(self) -> List[Answer]:
        """The rows of today's orders that could be this order, when reconciliation could not tell."""
        return list((self.reconciliation or {}).get("candidates", []))

    @classmethod
    def of(cls, answer: Answer) -> "OrderRecord":
        return cls(answer["order_id"], answer["time"], answer["kind"], answer["code"], answer["price"],
                   answer["quantity"], answer["outcome"], answer["contract"], answer["message"],
                   answer.get("reconciliation"))


@dataclass
class Limits:
    """The service's risk limits and today's counts against them."""

    limits: Answer  # max_order_quantity, max_order_value, max_orders_per_window, window_seconds, ...
    counts: Answer  # date, orders_today, orders_in_window, cancels_today (by code)


@dataclass
class CancelResult:
    number: int
    ok: bool
    message: str


@dataclass
class CancelAllResult:
    message: str
    results: List[CancelResult] = field(default_factory=list)

    @property
    def cancelled(self) -> List[int]:
        return [result.number for result in self.results if result.ok]


def default_token_file(port: int) -> Optional[Path]:
    """Where the loader's default places the token file: %LOCALAPPDATA%\\Zelvo on Windows."""
    local = os.environ.get("LOCALAPPDATA")
    return Path(local) / "Zelvo" / f"service-{port}.token" if local else None


class Client:
    """One Zelvo service. Safe to share between threads: each thread keeps a connection of its own.

    address: "http://127.0.0.1:18766" (default: $ZELVO_ADDRESS, else port 18766).
    token / token_file: the bearer token, or the file the loader printed
    (default: $ZELVO_TOKEN, $ZELVO_TOKEN_FILE, else the loader's default file).
    """

    def __init__(self, address: Optional[str] = None, token: Optional[str] = None,
                 token_file: Union[str, os.PathLike[str], None] = None, timeout: float = CALL_TIMEOUT):
        self.address = address or os.environ.get("ZELVO_ADDRESS") or DEFAULT_ADDRESS
        parsed = urllib.parse.urlsplit(self.address)
        if parsed.scheme != "http" or not parsed.hostname:
            raise ValueError(f"address must look like http://127.0.0.1:{DEFAULT_PORT}, not {self.address!r}")
        self._host = parsed.hostname
        self._port = parsed.port or 80
        self.timeout = timeout
        self._token = token or os.environ.get("ZELVO_TOKEN") or self._read_token(token_file)
        self._local = threading.local()

    def close(self) -> None:
        """Closes the calling thread's connection (others close when their threads end)."""
        self._drop_connection()

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def _read_token(self, token_file: Union[str, os.PathLike[str], None]) -> str:
        path = token_file or os.environ.get("ZELVO_TOKEN_FILE") or default_token_file(self._port)
        if path is None:
            raise ZelvoError("no token: give token= or token_file=, or set ZELVO_TOKEN or ZELVO_TOKEN_FILE")
        try:
            return Path(path).read_text(encoding="ascii").strip()
        except OSError as error:
            raise ZelvoError(f"cannot read the token file {path}: {error.strerror or error}") from error

    # -- the routes -------------------------------------------------------

    def status(self) -> Answer:
        """attached, title, broker, account and the service's own facts."""
        return self._call("GET", "/v1/status")

    def login(self, password: str = "") -> str:
        """Attaches to the client; the welcome text. Raises ClientRefused with the client's refusal."""
        answer = self._call("POST", "/v1/login", {"password": password} if password else {})
        return str(self._checked(answer)["message"])

    def logout(self) -> None:
        self._call("POST", "/v1/logout", {})

    def query(self, name: str) -> QueryResult:
        """One of QUERY_NAMES; raises ClientRefused when the client gave no answer."""
        answer = self._checked(self._call("GET", "/v1/query/" + urllib.parse.quote(name, safe="")))
        return QueryResult(answer["name"], answer["columns"], answer["rows"], answer["table"], answer["message"])

    def place(self, kind: str, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        """Places an order of one of ORDER_KINDS; its contract number in the result.

        With an order_id, a retry of the same request (after a timeout or a
        lost connection) gets the first answer again and places nothing.
        """
        body: Dict[str, Any] = {"kind": kind, "code": str(code), "price": float(price), "quantity": int(quantity)}
        if order_id is not None:
            body["order_id"] = str(order_id)
        answer = self._call("POST", "/v1/orders", body, uncertain=True)
        if not answer.get("ok"):
            error = OutcomeUnknown if answer.get("outcome") == "unknown" else ClientRefused
            raise error(answer.get("message", ""), 200, answer)
        return OrderResult(answer["contract"], answer["message"], answer["kind"], answer["code"], answer["price"],
                           answer["quantity"], answer.get("order_id"), bool(answer.get("replayed")),
                           answer.get("time", ""))

    def buy(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("buy", code, price, quantity, order_id)

    def sell(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("sell", code, price, quantity, order_id)

    def margin_buy(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("margin-buy", code, price, quantity, order_id)

    def short_sell(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("short-sell", code, price, quantity, order_id)

    def buy_to_return(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("buy-to-return", code, price, quantity, order_id)

    def sell_to_repay(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("sell-to-repay", code, price, quantity, order_id)

    def return_in_kind(self, code: str, price: float, quantity: int, order_id: Optional[str] = None) -> OrderResult:
        return self.place("return-in-kind", code, price, quantity, order_id)

    def cancel(self, number: int) -> str:
        """Cancels the order with the client's order number; the client's answer text."""
        answer = self._checked(self._call("POST", "/v1/cancel", {"number": int(number)}, uncertain=True))
        return str(answer["message"])

    def cancel_all(self, side: Optional[str] = None) -> CancelAllResult:
        """Cancels every order of the cancel list, or only side="buy" or side="sell" ones.

        Raises ClientRefused when the list could not be read or any cancel
        failed; the error's answer holds every order's result.
        """
        body: Answer = {} if side is None else {"side": side}
        answer = self._checked(self._call("POST", "/v1/cancel-all", body, uncertain=True,
                                          timeout=max(self.timeout, CANCEL_ALL_TIMEOUT)))
        results = [CancelResult(r["number"], r["ok"], r["message"]) for r in answer["results"]]
        return CancelAllResult(answer["message"], results)

    # -- unattended trading -----------------------------------------------

    def orders(self) -> List[OrderRecord]:
        """Today's order records, oldest first."""
        return [OrderRecord.of(record) for record in self._call("GET", "/v1/orders")["orders"]]

    def order(self, order_id: str) -> OrderRecord:
        """The record of one order (of any day); RequestRejected (404) when there is none."""
        return OrderRecord.of(self._call("GET", "/v1/orders/" + urllib.parse.quote(order_id, safe=""))["order"])

    def reconcile(self, order_id: str) -> OrderRecord:
        """Reconciles an unknown outcome with today's orders; the record afterwards (still "unknown" when
        it could not tell, with the candidate rows). Raises ClientRefused when today's orders could not
        be read."""
        path = "/v1/orders/" + urllib.parse.quote(order_id, safe="") + "/reconcile"
        return OrderRecord.of(self._checked(self._call("POST", path, {}))["order"])

    def limits(self) -> Limits:
        answer = self._call("GET", "/v1/limits")
        return Limits(answer["limits"], answer["counts"])

    def set_limits(self, **limits: Any) -> Limits:
        """Changes the limits given (e.g. max_orders_per_day=200, allowed_codes=["600000"]); the others keep
        their values. The change holds across restarts (the service writes limits.json)."""
        answer = self._call("PUT", "/v1/limits", limits)
        return Limits(answer["limits"], answer["counts"])

    def halt(self, cancel_all: bool = False, reason: Optional[str] = None) -> Answer:
        """Refuses every new order from now on (zelvo.Halted) until resume(); cancels, queries and logout
        go on. With cancel_all, every order of the cancel list is cancelled too (ClientRefused, with each
        result in its answer, when not all could be; the halt holds all the same)."""
        body: Answer = {"cancel_all": True} if cancel_all else {}
        if reason is not None:
            body["reason"] = reason
        return self._checked(self._call("POST", "/v1/halt", body, uncertain=cancel_all,
                                        timeout=max(self.timeout, CANCEL_ALL_TIMEOUT) if cancel_all else None))

    def resume(self) -> Answer:
        """Lifts the halt."""
        return self._call("POST", "/v1/resume", {})

    def cancel_after(self, seconds: int, every: Optional[float] = None) -> DeadMansSwitch:
        """Arms the dead man's switch: unless armed again within `seconds`, the service halts new orders
        and cancels every order of the cancel list; cancel_after(0) disarms it. Used in a `with` block,
        the switch is kept armed every `every` seconds (a third of `seconds` by default) from a
        background thread while the block runs, and disarmed when the block ends normally (left armed
        when it raises, so that the orders are cancelled)."""
        return DeadMansSwitch(self._arm_switch, seconds, every)

    def _arm_switch(self, seconds: int) -> Answer:
        return self._call("POST", "/v1/cancel-after", {"seconds": int(seconds)})

    # -- watching -----------------------------------------------------------

    def events(self, last_event_id: Optional[str] = None, reconnect: bool = True,
               idle_timeout: float = IDLE_TIMEOUT, reconnects: int = RECONNECTS) -> Iterator[Event]:
        """The service's events as they come (zelvo.Event: kind, data, id), until the caller stops.

        A lost connection is opened again with the last id received, so that no event is missed or
        repeated (unless more than the service keeps came meanwhile: a "missed" event says so). Raises
        ServiceUnreachable after `reconnects` failed attempts in a row, RequestRejected when the service
        refuses the stream. Each iterator holds a connection of its own; close it (or leave the loop)
        to disconnect.
        """
        def open_stream(last: Optional[str]) -> http.client.HTTPResponse:
            return self._open_stream(last, idle_timeout)

        return follow(open_stream, last_event_id, reconnect, reconnects,
                      lambda error: self._unreachable(error, uncertain=False))

    def login_link(self) -> str:
        """A new one-time address that signs a browser in to the operator page (the one before is spent)."""
        return str(self._call("POST", "/v1/login-link", {})["url"])

    def _open_stream(self, last_event_id: Optional[str], idle_timeout: float) -> http.client.HTTPResponse:
        connection = http.client.HTTPConnection(self._host, self._port, timeout=idle_timeout)
        headers = {"Authorization": f"Bearer {self._token}", "Accept": "text/event-stream"}
        if last_event_id:
            headers["Last-Event-ID"] = last_event_id
        try:
            connection.request("GET", "/v1/events", headers=headers)
            response = connection.getresponse()
        except BaseException:
            connection.close()
            raise
        if response.status != 200:
            payload = response.read()
            connection.close()
            raise self._rejection(response.status, payload)
        return response

    # -- transport --------------------------------------------------------

    @staticmethod
    def _checked(answer: Answer) -> Answer:
        if not answer.get("ok"):
            raise ClientRefused(answer.get("message", ""), 200, answer)
        return answer

    def _call(self, method: str, path: str, body: Optional[Answer] = None, uncertain: bool = False,
              timeout: Optional[float] = None) -> Answer:
        """One request. `uncertain`: the request may change the account, so
        it is never sent twice, and an error after it was sent says it may
        have been carried out. (An order with an order_id is safe to send
        again: the service answers a repeat with the first answer.)"""
        data = None if body is None else json.dumps(body, ensure_ascii=False).encode("utf-8")
        headers = {"Authorization": f"Bearer {self._token}", "Accept": "application/json"}
        if data is not None:
            headers["Content-Type"] = "application/json; charset=utf-8"
        repeatable = not uncertain or (body or {}).get("order_id") is not None
        connection, reused = self._connection(timeout or self.timeout)
        try:
            status, payload = self._exchange(connection, method, path, data, headers)
        except (OSError, http.client.HTTPException) as error:
            self._drop_connection()
            timed_out = isinstance(error, (socket.timeout, TimeoutError))
            if timed_out or not (reused and repeatable):
                raise self._unreachable(error, uncertain) from error
            # The kept connection had gone bad (the service restarted?): once more on a new one.
            connection, _ = self._connection(timeout or self.timeout)
            try:
                status, payload = self._exchange(connection, method, path, data, headers)
            except (OSError, http.client.HTTPException) as second:
                self._drop_connection()
                raise self._unreachable(second, uncertain) from second
        answer = self._answer(status, payload)
        if status != 200:
            raise self._rejection(status, payload)
        return answer

    @staticmethod
    def _answer(status: int, payload: bytes) -> Answer:
        try:
            answer = json.loads(payload.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as error:
            raise ZelvoError(f"the service's answer is not JSON (HTTP {status})", status) from error
        if not isinstance(answer, dict):
            raise ZelvoError(f"the service's answer is not a JSON object (HTTP {status})", status)
        return answer

    @classmethod
    def _rejection(cls, status: int, payload: bytes) -> ZelvoError:
        """The error of an answer other than 200."""
        answer = cls._answer(status, payload)
        rejection = {"risk_limit": RiskLimitExceeded, "halted": Halted}.get(str(answer.get("error")), RequestRejected)
        return rejection(answer.get("message", f"HTTP {status}"), status, answer)

    def _exchange(self, connection: http.client.HTTPConnection, method: str, path: str, data: Optional[bytes],
                  headers: Dict[str, str]) -> Tuple[int, bytes]:
        connection.request(method, path, body=data, headers=headers)
        response = connection.getresponse()
        payload = response.read()
        if response.will_close:
            self._drop_connection()
        else:
            self._local.last_used = time.monotonic()
        return response.status, payload

    def _connection(self, timeout: float) -> Tuple[http.client.HTTPConnection, bool]:
        """The calling thread's connection, and whether it served a call before."""
        connection = getattr(self._local, "connection", None)
        if connection is not None and time.monotonic() - self._local.last_used > KEEP_IDLE:
            self._drop_connection()
            connection = None
        reused = connection is not None
        if connection is None:
            connection = http.client.HTTPConnection(self._host, self._port, timeout=timeout)
            self._local.connection = connection
        connection.timeout = timeout
        if connection.sock is not None:
            connection.sock.settimeout(timeout)
        return connection, reused

    def _drop_connection(self) -> None:
        connection = getattr(self._local, "connection", None)
        self._local.connection = None
        if connection is not None:
            connection.close()

    def _unreachable(self, error: Exception, uncertain: bool) -> ServiceUnreachable:
        if isinstance(error, ConnectionRefusedError):
            reason = "connection refused: is the trading client running and was zelvo-load run?"
        elif isinstance(error, (socket.timeout, TimeoutError)):
            reason = "no answer in time"
        else:
            reason = f"the connection broke ({error.__class__.__name__}: {error})"
        text = f"cannot reach the Zelvo service at {self.address}: {reason}"
        if uncertain and not isinstance(error, ConnectionRefusedError):
            text += "; the request may have been carried out: check today's orders (retry an order with its order_id)"
        return ServiceUnreachable(text)
