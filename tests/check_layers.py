#!/usr/bin/env python3
"""Fails when an include anywhere in the tree runs against the layers.

The library (src/), lowest first: text, platform, client, session, then the
three workflows (attach, orders, queries), then interface. A folder may
include its own headers, those of the layers below it and the public headers
of include/; the workflows do not include each other.

The service (host/), lowest first: rules; then store and http, which do not
include each other; then desk, above store; then routes, above desk and
http. The wiring (the files in host/ itself) may include every layer and its
own headers. Beside the layers below them, the service's
folders may include the public headers and common/'s.

Everything else is a program around the DLL: none of it includes src/,
except the unit tests (tests/unit), which link the library's code, and the
fuzz targets (fuzz/), which build src/text natively. Outside host/ only the
rules' tests (tests/host) and the fuzz targets include the service's
folders.

src/text and host/rules are pure, so that they build natively (the fuzz
targets, the rules' sanitizer run): they include their own layers and the
public headers, and of the system's headers only the C++ standard library's
(and, for the rules, nlohmann-json's); no Windows header, no common/ header.

Every C and C++ source and header is read, and both forms of include.
Usage: check_layers.py [ROOT] (default: this file's repository)
"""
import pathlib
import re
import sys

SRC_BELOW = {
    "text": set(),
    "platform": {"text"},
    "client": {"text", "platform"},
    "session": {"text", "platform", "client"},
    "attach": {"text", "platform", "client", "session"},
    "orders": {"text", "platform", "client", "session"},
    "queries": {"text", "platform", "client", "session"},
    "interface": {"text", "platform", "client", "session", "attach", "orders", "queries"},
}
HOST_BELOW = {
    "rules": set(),
    "store": {"rules"},
    "http": {"rules"},
    "desk": {"rules", "store"},
    "routes": {"rules", "store", "http", "desk"},
}
WIRING = ""  # the files directly in host/
PURE = {("src", "text"), ("host", "rules")}
# Where a program around the DLL may include src/ and the service's folders.
MAY_INCLUDE_SRC = ("tests/unit/", "fuzz/")
MAY_INCLUDE_HOST = ("tests/host/", "fuzz/")
# Headers the build makes (cmake/version.cmake).
GENERATED_HEADERS = {"zelvo_version.h"}

SOURCE_SUFFIXES = {".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp", ".c", ".cc", ".cpp", ".cxx"}
SKIPPED_FOLDERS = {".git", "build", "node_modules", "__pycache__"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

STANDARD_HEADERS = {
    "algorithm", "any", "array", "atomic", "bitset", "cassert", "cctype", "cerrno", "cfenv", "cfloat", "charconv",
    "chrono", "cinttypes", "climits", "clocale", "cmath", "codecvt", "complex", "condition_variable", "csetjmp",
    "csignal", "cstdarg", "cstddef", "cstdint", "cstdio", "cstdlib", "cstring", "ctime", "cuchar", "cwchar",
    "cwctype", "deque", "exception", "execution", "filesystem", "forward_list", "fstream", "functional", "future",
    "initializer_list", "iomanip", "ios", "iosfwd", "iostream", "istream", "iterator", "limits", "list", "locale",
    "map", "memory", "memory_resource", "mutex", "new", "numeric", "optional", "ostream", "queue", "random",
    "ratio", "regex", "scoped_allocator", "set", "shared_mutex", "sstream", "stack", "stdexcept", "streambuf",
    "string", "string_view", "system_error", "thread", "tuple", "type_traits", "typeindex", "typeinfo",
    "unordered_map", "unordered_set", "utility", "valarray", "variant", "vector",
}
PURE_LIBRARIES = {("host", "rules"): ("nlohmann/",)}


def headers_of(folder: pathlib.Path):
    return {p.name for p in folder.glob("*.h")} if folder.is_dir() else set()


def source_files(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        relative = path.relative_to(root)
        if any(part in SKIPPED_FOLDERS or part.startswith(".") for part in relative.parts[:-1]):
            continue
        if path.is_file() and path.suffix.lower() in SOURCE_SUFFIXES:
            yield path, relative


def includes(path: pathlib.Path):
    for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if match:
            yield number, match.group(1) == "<", match.group(2)


class Tree:
    def __init__(self, root: pathlib.Path):
        self.root = root
        self.public = headers_of(root / "include")
        self.common = headers_of(root / "common")
        self.wiring = headers_of(root / "host")

    def target_of(self, path: pathlib.Path, target: str):
        """(tree, folder) an include names: ("src", layer), ("host", layer), or None for another header."""
        parts = pathlib.PurePosixPath(target).parts
        if ".." in parts or "src" in parts or "host" in parts:
            resolved = (path.parent / target).resolve()
            try:
                inside = resolved.relative_to(self.root).parts
            except ValueError:
                inside = ()
            for tree in ("src", "host"):
                if len(inside) >= 2 and inside[0] == tree:
                    return tree, inside[1] if len(inside) > 2 else WIRING
            if "src" in parts:
                return "src", parts[parts.index("src") + 1] if parts.index("src") + 1 < len(parts) else ""
        if len(parts) > 1 and parts[0] in SRC_BELOW:
            return "src", parts[0]
        if len(parts) > 1 and parts[0] in HOST_BELOW:
            return "host", parts[0]
        return None


def check_pure(relative, number, angled, target, folder_key, tree: Tree):
    """Problems of an include in a pure folder that is no layer's."""
    where = "/".join(folder_key)
    if angled:
        name = target.split("/")[0] if "/" in target else target
        allowed_prefixes = PURE_LIBRARIES.get(folder_key, ())
        if name not in STANDARD_HEADERS and not target.startswith(allowed_prefixes):
            yield f"{relative}:{number}: {where}/ is pure and may not include <{target}> (Windows, or not the standard library)"
    elif target in tree.common:
        yield f"{relative}:{number}: {where}/ is pure and may not include common/'s \"{target}\""
    elif target not in tree.public:
        yield f"{relative}:{number}: {where}/ may not include \"{target}\""


def check_layered(relative, tree_name, layer, below, tree: Tree, path):
    allowed = below | {layer}
    pure = (tree_name, layer) in PURE
    for number, angled, target in includes(path):
        shown = f"<{target}>" if angled else f'"{target}"'
        named = tree.target_of(path, target)
        if named is None:
            if pure:
                yield from check_pure(relative, number, angled, target, (tree_name, layer), tree)
            elif not angled and tree_name == "src" and target not in tree.public:
                yield f"{relative}:{number}: {layer}/ may not include {shown}"
            elif not angled and tree_name == "host" and target not in tree.public | tree.common | GENERATED_HEADERS and \
                    not (layer == WIRING and target in tree.wiring):
                yield f"{relative}:{number}: host/{layer or ''} may not include {shown}: no layer's header"
            continue
        other_tree, folder = named
        if other_tree != tree_name:
            yield f"{relative}:{number}: {tree_name}/ may not include {other_tree}/ ({shown})"
        elif layer != WIRING and folder not in allowed:
            yield f"{relative}:{number}: {tree_name}/{layer}/ may not include {shown}"


def problems(root: pathlib.Path):
    tree = Tree(root)
    for path, relative in source_files(root):
        parts = relative.parts
        text = relative.as_posix()
        if parts[0] == "src":
            layer = parts[1] if len(parts) > 2 else WIRING
            if layer not in SRC_BELOW:
                yield f"{text}: folder 'src/{layer}' is in no layer"
                continue
            yield from check_layered(text, "src", layer, SRC_BELOW[layer], tree, path)
        elif parts[0] == "host":
            layer = parts[1] if len(parts) > 2 else WIRING
            if layer != WIRING and layer not in HOST_BELOW:
                yield f"{text}: folder 'host/{layer}' is in no layer"
                continue
            below = set(HOST_BELOW) if layer == WIRING else HOST_BELOW[layer]
            yield from check_layered(text, "host", layer, below, tree, path)
        else:
            for number, angled, target in includes(path):
                named = tree.target_of(path, target)
                shown = f"<{target}>" if angled else f'"{target}"'
                if named and named[0] == "src" and not text.startswith(MAY_INCLUDE_SRC):
                    yield f"{text}:{number}: a program around the DLL may not include src/ ({shown})"
                elif named and named[0] == "host" and not text.startswith(MAY_INCLUDE_HOST):
                    yield f"{text}:{number}: only the service itself includes host/ ({shown})"


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1]).resolve()
    found = list(problems(root))
    for problem in found:
        print(problem)
    print(f"layers: {'broken' if found else 'kept'} ({len(found)} problem(s))")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
