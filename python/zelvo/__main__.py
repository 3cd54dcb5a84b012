"""python3 -m zelvo (installed also as the command `zelvo`): the Zelvo service from the command line.

    python3 -m zelvo status
    python3 -m zelvo login [PASSWORD]
    python3 -m zelvo query positions
    python3 -m zelvo buy 600000 10.50 100 [--order-id ID]
    python3 -m zelvo cancel 123
    python3 -m zelvo cancel-all [buy|sell]

Exit codes: 0 done, 1 the client refused, 2 usage, 3 the service could not
be reached or refused the request.
"""

from __future__ import annotations

import argparse
import json
import sys
from decimal import Decimal, InvalidOperation
from typing import List, Optional

from . import __version__
from .client import ORDER_KINDS, QUERY_NAMES, Client, ClientRefused, ZelvoError
from .table import format_table


def _price(text: str) -> float:
    try:
        value = Decimal(text)
    except InvalidOperation:
        raise argparse.ArgumentTypeError(f"not a price: {text}") from None
    if not value.is_finite() or value < 0:
        raise argparse.ArgumentTypeError(f"not a price: {text}")
    return float(value)


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
    return parser


def _print_json(value: object) -> None:
    print(json.dumps(value, ensure_ascii=False, indent=2, default=lambda o: o.__dict__))


def _run(client: Client, arguments: argparse.Namespace) -> None:
    command = arguments.command
    if command == "status":
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


def main(argv: Optional[List[str]] = None, prog: str = "zelvo") -> int:
    """The `zelvo` command; `prog` names it in the usage text."""
    arguments = _parser(prog).parse_args(argv)
    try:
        client = Client(arguments.address, token_file=arguments.token_file)
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
