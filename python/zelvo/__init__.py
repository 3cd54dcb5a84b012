"""Python client of the Zelvo service (the HTTP service zelvo-load.exe starts inside the trading client)."""

from .client import (
    CANCEL_ALL_TIMEOUT, CALL_TIMEOUT, DEFAULT_ADDRESS, DEFAULT_PORT, ORDER_KINDS, QUERY_NAMES, RECONNECT_SECONDS,
    CancelAllResult, CancelResult, Client, ClientRefused, Halted, Limits, OrderRecord, OrderResult, OutcomeUnknown,
    QueryResult, RequestRejected, RiskLimitExceeded, ServiceUnreachable, ZelvoError,
)
from .events import Event
from .switch import DeadMansSwitch
from .table import display_width, format_table

# The same as the version of zelvo.dll (the project's version in CMakeLists.txt).
__version__ = "0.1.0"

__all__ = [
    "__version__",
    "CANCEL_ALL_TIMEOUT", "CALL_TIMEOUT", "DEFAULT_ADDRESS", "DEFAULT_PORT", "ORDER_KINDS", "QUERY_NAMES",
    "RECONNECT_SECONDS",
    "CancelAllResult", "CancelResult", "Client", "ClientRefused", "DeadMansSwitch", "Event", "Halted", "Limits", "OrderRecord",
    "OrderResult", "OutcomeUnknown", "QueryResult", "RequestRejected", "RiskLimitExceeded", "ServiceUnreachable",
    "ZelvoError", "display_width", "format_table",
]
