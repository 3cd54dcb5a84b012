"""The Zelvo service's client: typed calls over HTTP with JSON, standard library only.

The service runs inside the trading client (started by zelvo-load.exe, which
with --watch starts it again whenever the client restarts) and listens on
127.0.0.1. Every call carries the bearer token the service wrote to its token
file when it started; a restarted service writes a new one, which the client
reads again when the service refuses the old one.
"""

from __future__ import annotations

import http.client
import json
import os
import socket
import time
import urllib.parse
import uuid
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Dict, Iterator, List, Optional, Tuple, Union

from .backoff import Backoff
from .connections import ConnectionPool
from .events import IDLE_TIMEOUT, Event, follow
from .switch import DeadMansSwitch
from .table import data_frame

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
# How long a call waits for a service that refuses connections (its trading
# client is restarting, and zelvo-load --watch starts the service again once
# the client's main window is back) before it gives up.
RECONNECT_SECONDS = 120.0


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
class _Request:
    """One request as the transport sends it (and may send again)."""

    method: str
    path: str
    data: Optional[bytes]
    timeout: float
    uncertain: bool    # it may change the account
    repeatable: bool   # sending it again cannot do it twice


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

    def to_pandas(self) -> Any:
        """The table as a pandas DataFrame with the client's column names: a column whose every cell is a
        number holds numbers, codes, accounts and numbers written with leading zeros stay text.
        Needs pandas (pip install zelvo[pandas]); ImportError says so without it."""
        return data_frame(self.columns, self.rows)


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
    """One Zelvo service. Safe to share between threads, which share its few kept connections.

    address: "http://127.0.0.1:18766" (default: $ZELVO_ADDRESS, else port 18766).
    token / token_file: the bearer token, or the file the loader printed
    (default: $ZELVO_TOKEN, $ZELVO_TOKEN_FILE, else the loader's default file). A token read from a
    file is read again when the service refuses it (a restarted service has a new one).
    reconnect_seconds: how long a call goes on trying while the service refuses connections (its client
    restarting) before it raises ServiceUnreachable; 0 gives up at once.
    """

    def __init__(self, address: Optional[str] = None, token: Optional[str] = None,
                 token_file: Union[str, os.PathLike[str], None] = None, timeout: float = CALL_TIMEOUT,
                 reconnect_seconds: float = RECONNECT_SECONDS):
        self.address = address or os.environ.get("ZELVO_ADDRESS") or DEFAULT_ADDRESS
        parsed = urllib.parse.urlsplit(self.address)
        if parsed.scheme != "http" or not parsed.hostname:
            raise ValueError(f"address must look like http://127.0.0.1:{DEFAULT_PORT}, not {self.address!r}")
        self._host = parsed.hostname
        self._port = parsed.port or 80
        self.timeout = timeout
        self.reconnect_seconds = reconnect_seconds
        self._token_file: Optional[Path] = None
        self._token = token or os.environ.get("ZELVO_TOKEN") or self._read_token(token_file)
        self._connections = ConnectionPool(self._host, self._port)

    def close(self) -> None:
        """Closes the connections kept idle (one in use is kept after its call, and closed 5 s later)."""
        self._connections.close()

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def _read_token(self, token_file: Union[str, os.PathLike[str], None]) -> str:
        path = token_file or os.environ.get("ZELVO_TOKEN_FILE") or default_token_file(self._port)
        if path is None:
            raise ZelvoError("no token: give token= or token_file=, or set ZELVO_TOKEN or ZELVO_TOKEN_FILE")
        try:
            token = Path(path).read_text(encoding="ascii").strip()
        except OSError as error:
            raise ZelvoError(f"cannot read the token file {path}: {error.strerror or error}") from error
        self._token_file = Path(path)
        return token

    def _renew_token(self, refused: str) -> bool:
        """After the service refused the token `refused`: True when the token file now holds another one
        (the service was started again), which later calls carry."""
        if self._token_file is None:
            return False
        try:
            token = self._token_file.read_text(encoding="ascii").strip()
        except (OSError, UnicodeDecodeError):
            return False
        if not token or token == refused:
            return False
        self._token = token
        return True

    # -- the routes -------------------------------------------------------

    def status(self) -> Answer:
        """attached, title, broker, account and the service's own facts."""
        return self._call("GET", "/v1/status")

    def wait_ready(self, timeout: float = RECONNECT_SECONDS, password: str = "") -> Answer:
        """Waits until the service answers and the client is attached, and answers the status then.

        Logs in when the service is up and not attached (as after a restart of the trading client).
        While the service is unreachable, busy or the login is refused (the client still starting), it
        tries again until `timeout` has passed, then raises the last error. A refused token or request
        raises at once.
        """
        deadline = time.monotonic() + timeout
        while True:
            try:
                status = self._call("GET", "/v1/status", reconnect=max(0.0, deadline - time.monotonic()))
                if status.get("attached"):
                    return status
                self.login(password)
                continue
            except (ServiceUnreachable, ClientRefused, RequestRejected) as error:
                transient = not isinstance(error, RequestRejected) or error.status == 503
                if not transient or time.monotonic() >= deadline:
                    raise
            time.sleep(min(1.0, max(0.0, deadline - time.monotonic())))

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

        Every order carries an order_id: the one given, or a new UUID. A
        retry of the same request (this client's own after a lost
        connection, or the caller's after a timeout) gets the first answer
        again and places nothing; the id is in the result and in the
        error's answer.
        """
        body: Dict[str, Any] = {"kind": kind, "code": str(code), "price": float(price), "quantity": int(quantity),
                                "order_id": str(order_id) if order_id is not None else str(uuid.uuid4())}
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
        their values. The change holds across restarts (the service writes the limits file of its port)."""
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

    def cancel_after(self, seconds: int) -> DeadMansSwitch:
        """Arms the dead man's switch: unless armed again within `seconds`, the service halts new orders
        and cancels every order of the cancel list; cancel_after(0) disarms it.

        The strategy keeps it armed by calling `alive()` of the answer from its own loop, which re-arms
        it at most once every `seconds / 3` and otherwise costs nothing; nothing re-arms it behind the
        strategy's back, so a strategy that hangs or blocks for `seconds` has its orders cancelled. Used
        in a `with` block, it is disarmed when the block ends normally and left armed when it raises."""
        return DeadMansSwitch(self._arm_switch, seconds)

    def _arm_switch(self, seconds: int) -> Answer:
        return self._call("POST", "/v1/cancel-after", {"seconds": int(seconds)})

    # -- watching -----------------------------------------------------------

    def events(self, last_event_id: Optional[str] = None, reconnect: bool = True,
               idle_timeout: float = IDLE_TIMEOUT) -> Iterator[Event]:
        """The service's events as they come (zelvo.Event: kind, data, id), until the caller stops.

        A lost connection is opened again with the last id received, so that no event is missed or
        repeated. A "missed" event says when that cannot be promised: more came meanwhile than the
        service keeps, the service was started again (its client restarted: ids name the service's
        run), or the stream was lost before its first event. Read today's orders and trades again then.
        While the service refuses connections or answers busy (503), it tries again for
        `reconnect_seconds` before it raises ServiceUnreachable (or the 503's RequestRejected); other
        refusals raise RequestRejected at once. Each iterator holds a connection of its own; close it
        (or leave the loop) to disconnect.
        """
        def open_stream(last: Optional[str]) -> http.client.HTTPResponse:
            return self._open_stream(last, idle_timeout)

        def retryable(error: Exception) -> bool:
            busy = isinstance(error, RequestRejected) and error.status == 503
            return busy or isinstance(error, (OSError, http.client.HTTPException))

        return follow(open_stream, last_event_id, reconnect, Backoff(self.reconnect_seconds), retryable,
                      lambda error: self._unreachable(error, uncertain=False))

    def login_link(self) -> str:
        """A new one-time address that signs a browser in to the operator page (the one before is spent)."""
        return str(self._call("POST", "/v1/login-link", {})["url"])

    def _open_stream(self, last_event_id: Optional[str], idle_timeout: float) -> http.client.HTTPResponse:
        while True:
            token = self._token
            connection = http.client.HTTPConnection(self._host, self._port, timeout=idle_timeout)
            headers = {"Authorization": f"Bearer {token}", "Accept": "text/event-stream"}
            if last_event_id:
                headers["Last-Event-ID"] = last_event_id
            try:
                connection.request("GET", "/v1/events", headers=headers)
                response = connection.getresponse()
            except BaseException:
                connection.close()
                raise
            if response.status == 200:
                return response
            payload = response.read()
            connection.close()
            if not (response.status == 401 and self._renew_token(token)):
                raise self._rejection(response.status, payload)

    # -- transport --------------------------------------------------------

    @staticmethod
    def _checked(answer: Answer) -> Answer:
        if not answer.get("ok"):
            raise ClientRefused(answer.get("message", ""), 200, answer)
        return answer

    def _call(self, method: str, path: str, body: Optional[Answer] = None, uncertain: bool = False,
              timeout: Optional[float] = None, reconnect: Optional[float] = None) -> Answer:
        """One request, waiting up to `reconnect` seconds (default reconnect_seconds) for a service that
        refuses connections. `uncertain`: the request may change the account, so once it may have
        reached the service it is never sent again, and an error then says it may have been carried
        out. (An order with an order_id is safe to send again: the service answers a repeat with the
        first answer.) A refused token is read again from its file, and the request sent once more when
        the file holds a new one: a refused request changed nothing."""
        request = _Request(method, path, None if body is None else json.dumps(body, ensure_ascii=False).encode("utf-8"),
                           timeout or self.timeout, uncertain, not uncertain or (body or {}).get("order_id") is not None)
        waiting = Backoff(self.reconnect_seconds if reconnect is None else reconnect)
        token = self._token
        status, payload = self._send(request, token, waiting)
        if status == 401 and self._renew_token(token):
            status, payload = self._send(request, self._token, waiting)
        answer = self._answer(status, payload)
        if status != 200:
            raise self._rejection(status, payload)
        return answer

    def _send(self, request: "_Request", token: str, waiting: Backoff) -> Tuple[int, bytes]:
        """The answer's status and body. A connection the service refuses carries nothing, so it is
        tried again while `waiting` allows. A connection that breaks once the request may have gone out
        is given one more try when the request is repeatable; one that times out never is (the service
        may still be carrying it out)."""
        resent = False
        while True:
            connection, reused = self._connections.take(request.timeout)
            if not reused:
                try:
                    connection.connect()
                except OSError as error:
                    connection.close()
                    if waiting.pause():
                        continue
                    raise self._unreachable(error, uncertain=False, waited=waiting.seconds) from error
            try:
                status, payload, keep = self._exchange(connection, request, token)
            except (OSError, http.client.HTTPException) as error:
                connection.close()
                timed_out = isinstance(error, (socket.timeout, TimeoutError))
                if timed_out or not request.repeatable or resent:
                    raise self._unreachable(error, request.uncertain) from error
                resent = True  # the service closed the connection, or went away: once more on a new one
                continue
            if keep:
                self._connections.give_back(connection)
            else:
                connection.close()
            return status, payload

    @staticmethod
    def _exchange(connection: http.client.HTTPConnection, request: "_Request", token: str) -> Tuple[int, bytes, bool]:
        """The status, the body, and whether the service keeps the connection open."""
        headers = {"Authorization": f"Bearer {token}", "Accept": "application/json"}
        if request.data is not None:
            headers["Content-Type"] = "application/json; charset=utf-8"
        connection.request(request.method, request.path, body=request.data, headers=headers)
        response = connection.getresponse()
        payload = response.read()
        return response.status, payload, not response.will_close

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

    def _unreachable(self, error: Exception, uncertain: bool, waited: float = 0.0) -> ServiceUnreachable:
        if isinstance(error, ConnectionRefusedError):
            reason = (f"connection refused{f' for {waited:g} s' if waited > 0 else ''}: is the trading client running, "
                      "and zelvo-load --watch (or was zelvo-load run)?")
        elif isinstance(error, (socket.timeout, TimeoutError)):
            reason = "no answer in time"
        else:
            reason = f"the connection broke ({error.__class__.__name__}: {error})"
        text = f"cannot reach the Zelvo service at {self.address}: {reason}"
        if uncertain and not isinstance(error, ConnectionRefusedError):
            text += "; the request may have been carried out: check today's orders (retry an order with its order_id)"
        return ServiceUnreachable(text)
