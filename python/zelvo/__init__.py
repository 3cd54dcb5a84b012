"""Python client of the Zelvo service (the HTTP service zelvo-load.exe starts inside the trading client)."""

from .client import (
    CANCEL_ALL_TIMEOUT, CALL_TIMEOUT, DEFAULT_ADDRESS, DEFAULT_PORT, ORDER_KINDS, QUERY_NAMES,
    CancelAllResult, CancelResult, Client, ClientRefused, OrderResult, OutcomeUnknown, QueryResult,
    RequestRejected, ServiceUnreachable, ZelvoError,
)
from .table import display_width, format_table

__all__ = [
    "CANCEL_ALL_TIMEOUT", "CALL_TIMEOUT", "DEFAULT_ADDRESS", "DEFAULT_PORT", "ORDER_KINDS", "QUERY_NAMES",
    "CancelAllResult", "CancelResult", "Client", "ClientRefused", "OrderResult", "OutcomeUnknown", "QueryResult",
    "RequestRejected", "ServiceUnreachable", "ZelvoError", "display_width", "format_table",
]
