"""Tables aligned for a terminal: East Asian wide and full-width characters take two columns."""

from __future__ import annotations

import unicodedata
from typing import Iterable, List, Sequence


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
