"""Python client of the Zelvo service (the HTTP service zelvo-load.exe starts inside the trading client)."""

from .client import (
    CANCEL_ALL_TIMEOUT, CALL_TIMEOUT, DEFAULT_ADDRESS, DEFAULT_PORT, ORDER_KINDS, QUERY_NAMES,
    CancelAllResult, CancelResult, Client, ClientRefused, OrderResult, OutcomeUnknown, QueryResult,
    RequestRejected, ServiceUnreachable, ZelvoError,
)
from .table import display_width, format_table

# The same as the version of zelvo.dll (the project's version in CMakeLists.txt).
__version__ = "0.1.0"

__all__ = [
    "__version__",
    "CANCEL_ALL_TIMEOUT", "CALL_TIMEOUT", "DEFAULT_ADDRESS", "DEFAULT_PORT", "ORDER_KINDS", "QUERY_NAMES",
    "CancelAllResult", "CancelResult", "Client", "ClientRefused", "OrderResult", "OutcomeUnknown", "QueryResult",
    "RequestRejected", "ServiceUnreachable", "ZelvoError", "display_width", "format_table",
]
