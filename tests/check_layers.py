#!/usr/bin/env python3
"""Fails when an include in src/ runs against the library's layers.

The layers, lowest first: text, platform, client, session, then the three
workflows (attach, orders, queries), then interface. A folder may include
its own headers, those of the layers below it and the public headers of
include/; the workflows do not include each other. text/ is pure: no
Windows header, so its functions build natively for the fuzz targets.
"""
import pathlib
import re
import sys

BELOW = {
    "text": set(),
    "platform": {"text"},
    "client": {"text", "platform"},
    "session": {"text", "platform", "client"},
    "attach": {"text", "platform", "client", "session"},
    "orders": {"text", "platform", "client", "session"},
    "queries": {"text", "platform", "client", "session"},
    "interface": {"text", "platform", "client", "session", "attach", "orders", "queries"},
}
PUBLIC_HEADERS = {p.name for p in (pathlib.Path(__file__).resolve().parents[1] / "include").glob("*.h")}
QUOTED = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
WINDOWS = re.compile(r"^\s*#\s*include\s*<(windows|commctrl|oleacc|objbase|oleauto)\.h>", re.IGNORECASE)


def problems(src: pathlib.Path):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in BELOW:
            yield f"{path}: folder '{layer}' is in no layer"
            continue
        allowed = BELOW[layer] | {layer}
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            if layer == "text" and WINDOWS.match(line):
                yield f"{path}:{number}: text/ includes a Windows header"
            match = QUOTED.match(line)
            if not match:
                continue
            target = match.group(1)
            if target in PUBLIC_HEADERS:
                continue
            folder = target.split("/")[0] if "/" in target else None
            if folder not in allowed:
                yield f"{path}:{number}: {layer}/ may not include \"{target}\""


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1] / "src")
    found = list(problems(src))
    for problem in found:
        print(problem)
    print(f"layers: {'broken' if found else 'kept'} ({len(found)} problem(s))")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
