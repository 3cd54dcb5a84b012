"""python3 -m zelvo (installed also as the command `zelvo`): the Zelvo service from the command line.

    python3 -m zelvo status
    python3 -m zelvo login [PASSWORD]
    python3 -m zelvo query positions
    python3 -m zelvo buy 600000 10.50 100 [--order-id ID]
    python3 -m zelvo cancel 123
    python3 -m zelvo cancel-all [buy|sell]
    python3 -m zelvo orders                  today's order records
    python3 -m zelvo order ID | reconcile ID
    python3 -m zelvo limits
    python3 -m zelvo set-limits max_orders_per_day=200 allowed_codes=600000,000001
    python3 -m zelvo halt [--cancel-all] [--reason TEXT] | resume
    python3 -m zelvo cancel-after SECONDS    arms the dead man's switch once (0 disarms it)
    python3 -m zelvo events [--last-event-id ID]   the event stream, one JSON line an event (it goes on
                                                   through a restart of the trading client)
    python3 -m zelvo page                    a new one-time address that signs a browser in to the page

Exit codes: 0 done, 1 the client refused, 2 usage, 3 the service could not
be reached or refused the request.
"""

from __future__ import annotations

import argparse
import json
import sys
from decimal import Decimal, InvalidOperation
from typing import Any, Callable, Dict, List, Optional, Tuple

from . import __version__
from .client import ORDER_KINDS, QUERY_NAMES, RECONNECT_SECONDS, Client, ClientRefused, Limits, OrderRecord, ZelvoError
from .table import format_table

RECORD_COLUMNS = ["order_id", "time", "kind", "code", "price", "quantity", "outcome", "contract", "message"]


def _price(text: str) -> float:
    try:
        value = Decimal(text)
    except InvalidOperation:
        raise argparse.ArgumentTypeError(f"not a price: {text}") from None
    if not value.is_finite() or value < 0:
        raise argparse.ArgumentTypeError(f"not a price: {text}")
    return float(value)


def _limit(text: str) -> Tuple[str, Any]:
    """NAME=VALUE: a whole number, a number, or for allowed_codes a comma-separated list (or "any")."""
    name, equals, value = text.partition("=")
    if not equals or not name or not value:
        raise argparse.ArgumentTypeError(f"not NAME=VALUE: {text}")
    if name == "allowed_codes":
        return name, None if value == "any" else value.split(",")
    try:
        return name, int(value)
    except ValueError:
        pass
    try:
        return name, float(value)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text}") from None


def _parser(prog: str) -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog=prog, description="Trade through the Zelvo service.")
    parser.add_argument("--address", help="the service's address (default $ZELVO_ADDRESS or http://127.0.0.1:18766)")
    parser.add_argument("--token-file", help="the token file zelvo-load printed (default $ZELVO_TOKEN_FILE)")
    parser.add_argument("--json", action="store_true", help="print the service's answers as JSON")
    parser.add_argument("--version", action="version", version=f"%(prog)s {__version__}")
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("status", help="attached, title, broker, account")
    login = commands.add_parser("login", help="attach to the client")
    login.add_argument("password", nargs="?", default="")
    commands.add_parser("logout", help="detach and show the client again")
    query = commands.add_parser("query", help="one of: " + ", ".join(QUERY_NAMES))
    query.add_argument("name", choices=QUERY_NAMES, metavar="NAME")
    for kind in ORDER_KINDS:
        order = commands.add_parser(kind, help=f"place a {kind} order")
        order.add_argument("code")
        order.add_argument("price", type=_price)
        order.add_argument("quantity", type=int)
        order.add_argument("--order-id", help="your id for the order: a retry with it places nothing new")
    cancel = commands.add_parser("cancel", help="cancel an order by its number")
    cancel.add_argument("number", type=int)
    cancel_all = commands.add_parser("cancel-all", help="cancel every order of the cancel list")
    cancel_all.add_argument("side", nargs="?", choices=("buy", "sell"))
    commands.add_parser("orders", help="today's order records")
    for name, text in (("order", "one order record"), ("reconcile", "reconcile an unknown outcome with today's orders")):
        command = commands.add_parser(name, help=text)
        command.add_argument("order_id")
    commands.add_parser("limits", help="the risk limits and today's counts")
    set_limits = commands.add_parser("set-limits", help="change limits: NAME=VALUE ...")
    set_limits.add_argument("limits", nargs="+", type=_limit, metavar="NAME=VALUE")
    halt = commands.add_parser("halt", help="refuse every new order until resume")
    halt.add_argument("--cancel-all", action="store_true", help="also cancel every order of the cancel list")
    halt.add_argument("--reason")
    commands.add_parser("resume", help="lift the halt")
    cancel_after = commands.add_parser("cancel-after", help="arm the dead man's switch (0 disarms it)")
    cancel_after.add_argument("seconds", type=int)
    events = commands.add_parser("events", help="print the service's events as they come, one JSON line each")
    events.add_argument("--last-event-id", help="go on after this event (the id of the last one printed)")
    commands.add_parser("page", help="print a new one-time address that signs a browser in to the operator page")
    return parser


def _print_json(value: object) -> None:
    print(json.dumps(value, ensure_ascii=False, indent=2, default=lambda o: o.__dict__))


def _print_records(records: List[OrderRecord]) -> None:
    print(format_table(RECORD_COLUMNS, [[str(getattr(record, column)) for column in RECORD_COLUMNS] for record in records]))


def _print_record(record: OrderRecord) -> None:
    for column in RECORD_COLUMNS:
        print(f"{column}: {getattr(record, column)}")
    if record.reconciliation:
        print(f"reconciled: {record.reconciliation['time']}: {record.reconciliation['note']}")
        for candidate in record.candidates:
            print(f"  candidate {candidate['number']}: " + "  ".join(f"{k} {v}" for k, v in candidate["row"].items()))


def _print_limits(limits: Limits) -> None:
    print(format_table(["limit", "value"], [[name, json.dumps(value, ensure_ascii=False)] for name, value in limits.limits.items()]))
    counts = limits.counts
    cancels = ", ".join(f"{code} {count}" for code, count in counts["cancels_today"].items()) or "none"
    print(f"{counts['date']}: {counts['orders_today']} orders today, {counts['orders_in_window']} in the window; "
          f"cancels: {cancels}")


def _print_halt(answer: Dict[str, Any]) -> None:
    halt = answer["halt"]
    print(f"halted since {halt['since']}: {halt['reason']}" if halt["halted"] else "not halted")
    for result in answer.get("cancel_all", {}).get("results", []):
        print(f"  cancel {result['number']}: {'ok' if result['ok'] else 'failed'}: {result['message']}")


def _print_switch(state: Dict[str, Any]) -> None:
    print(f"armed: fires at {state['deadline']} unless armed again" if state["armed"] else "disarmed")


def _run_unattended(client: Client, arguments: argparse.Namespace) -> None:
    command = arguments.command
    result: Any
    show: Callable[[Any], None]
    if command == "orders":
        result, show = client.orders(), _print_records
    elif command in ("order", "reconcile"):
        result = client.order(arguments.order_id) if command == "order" else client.reconcile(arguments.order_id)
        show = _print_record
    elif command in ("limits", "set-limits"):
        result = client.limits() if command == "limits" else client.set_limits(**dict(arguments.limits))
        show = _print_limits
    elif command in ("halt", "resume"):
        result = client.halt(arguments.cancel_all, arguments.reason) if command == "halt" else client.resume()
        show = _print_halt
    else:
        result, show = client.cancel_after(arguments.seconds).state, _print_switch
    if arguments.json:
        _print_json(result)
    else:
        show(result)


def _print_events(client: Client, last_event_id: Optional[str]) -> None:
    """Until interrupted (Ctrl+C) or the service stays unreachable."""
    try:
        for event in client.events(last_event_id):
            print(json.dumps({"id": event.id, "event": event.kind, "data": event.data}, ensure_ascii=False), flush=True)
    except KeyboardInterrupt:
        pass


def _run(client: Client, arguments: argparse.Namespace) -> None:
    command = arguments.command
    if command == "events":
        _print_events(client, arguments.last_event_id)
    elif command == "page":
        print(client.login_link())
    elif command == "status":
        status = client.status()
        if arguments.json:
            _print_json(status)
            return
        print(format_table(["attached", "title", "broker", "account"],
                           [["yes" if status["attached"] else "no", status["title"], status["broker"], status["account"]]]))
    elif command == "login":
        print(client.login(arguments.password))
    elif command == "logout":
        client.logout()
        print("logged out")
    elif command == "query":
        result = client.query(arguments.name)
        if arguments.json:
            _print_json({"columns": result.columns, "rows": result.rows, "message": result.message})
            return
        print(format_table(result.columns, result.rows))
        print(result.message)
    elif command in ORDER_KINDS:
        placed = client.place(command, arguments.code, arguments.price, arguments.quantity, arguments.order_id)
        print(f"contract {placed.contract}: {placed.message}" + (" (answer repeated for this order id)" if placed.replayed else ""))
    elif command == "cancel":
        print(client.cancel(arguments.number))
    elif command == "cancel-all":
        cancelled = client.cancel_all(arguments.side)
        print(format_table(["number", "ok", "message"],
                           [[str(r.number), "yes" if r.ok else "no", r.message] for r in cancelled.results]))
        print(cancelled.message)
    else:
        _run_unattended(client, arguments)


def main(argv: Optional[List[str]] = None, prog: str = "zelvo") -> int:
    """The `zelvo` command; `prog` names it in the usage text."""
    arguments = _parser(prog).parse_args(argv)
    try:
        # A command answers at once when the service is not there; the event stream waits for it to
        # come back, as through a restart of the trading client.
        waits = RECONNECT_SECONDS if arguments.command == "events" else 0.0
        client = Client(arguments.address, token_file=arguments.token_file, reconnect_seconds=waits)
        _run(client, arguments)
    except ClientRefused as error:
        print(f"refused: {error.message}", file=sys.stderr)
        if error.answer.get("results"):
            print(format_table(["number", "ok", "message"], [[str(r["number"]), "yes" if r["ok"] else "no", r["message"]]
                                                            for r in error.answer["results"]]), file=sys.stderr)
        return 1
    except ZelvoError as error:
        print(f"error: {error.message}", file=sys.stderr)
        return 3
    return 0


if __name__ == "__main__":
    sys.exit(main(prog="python3 -m zelvo"))
