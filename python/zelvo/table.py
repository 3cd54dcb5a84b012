"""The client's tables: aligned for a terminal (East Asian wide and full-width characters take two
columns), and as pandas DataFrames."""

from __future__ import annotations

import importlib
import re
import unicodedata
from typing import Any, Iterable, List, Optional, Sequence, Union


def display_width(text: str) -> int:
    width = 0
    for character in text:
        if unicodedata.combining(character):
            continue
        width += 2 if unicodedata.east_asian_width(character) in ("W", "F") else 1
    return width


def pad(text: str, width: int) -> str:
    return text + " " * max(0, width - display_width(text))


def format_table(columns: Sequence[str], rows: Iterable[Sequence[str]], gap: int = 2) -> str:
    """The header line and one line per row, each column as wide as its widest cell."""
    lines: List[List[str]] = [list(columns)] + [list(row) for row in rows]
    count = max(len(line) for line in lines)
    for line in lines:
        line.extend([""] * (count - len(line)))
    widths = [max(display_width(line[i]) for line in lines) for i in range(count)]
    spacer = " " * gap
    return "\n".join(spacer.join(pad(cell, widths[i]) for i, cell in enumerate(line)).rstrip() for line in lines)


# A number as the client writes one: digits with an optional sign and fraction.
_NUMBER = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)")
# Words in the client's column names of codes and accounts ("证券代码", "股东代码", "资金帐号", "股东账户"):
# their cells are made of digits but are names, whose leading zeros and width matter.
_NAME_COLUMN_WORDS = ("代码", "帐号", "账号", "帐户", "账户")


def _is_name_column(column: str) -> bool:
    return any(word in column for word in _NAME_COLUMN_WORDS)


def _numbers(cells: Sequence[str]) -> Optional[List[Union[int, float, None]]]:
    """The cells as numbers when every one that is not empty is a number written without a leading zero
    (an empty cell is missing); else None: the column stays text."""
    values: List[Union[int, float, None]] = []
    for cell in cells:
        text = cell.strip()
        if not text:
            values.append(None)
            continue
        digits = text.lstrip("+-")
        if not _NUMBER.fullmatch(text) or (len(digits) > 1 and digits[0] == "0" and digits[1] != "."):
            return None
        if "." in text:
            values.append(float(text))
        elif abs(int(text)) < 2 ** 63:
            values.append(int(text))
        else:
            return None  # wider than a DataFrame's whole numbers: an id, kept as written
    if all(value is None for value in values):
        return None
    return values


def data_frame(columns: Sequence[str], rows: Sequence[Sequence[str]]) -> Any:
    """A pandas DataFrame of the table: the client's column names in order (repeats kept), each column
    numbers when all its cells are numbers (whole numbers when all are whole and none is missing), and
    text otherwise, and for codes and accounts always."""
    try:
        pandas = importlib.import_module("pandas")
    except ImportError as error:
        raise ImportError("to_pandas() needs pandas: pip install zelvo[pandas]") from error
    width = len(columns)
    cells = [[row[i] if i < len(row) else "" for row in rows] for i in range(width)]
    series = []
    for index, column in enumerate(columns):
        numbers = None if _is_name_column(column) else _numbers(cells[index])
        if numbers is None:
            series.append(pandas.Series(cells[index], dtype=object))
        elif any(value is None or isinstance(value, float) for value in numbers):
            series.append(pandas.Series([float("nan") if value is None else float(value) for value in numbers],
                                        dtype="float64"))
        else:
            series.append(pandas.Series(numbers, dtype="int64"))
    frame = pandas.DataFrame(dict(enumerate(series)), index=range(len(rows)))
    frame.columns = list(columns)
    return frame
