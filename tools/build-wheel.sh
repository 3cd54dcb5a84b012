#!/usr/bin/env bash
# Builds the Python client's wheel (python/pyproject.toml, with Debian's
# python3-build and setuptools, offline) into OUT_DIR and prints its path.
# It builds from a copy of the package, so that python/ gets no build
# leftovers. The wheel's file times are SOURCE_DATE_EPOCH (by default the
# last commit's time), so one commit always gives the same wheel.
# Usage: tools/build-wheel.sh OUT_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: tools/build-wheel.sh OUT_DIR}
bash tools/setup-python.sh

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp python/pyproject.toml LICENSE "$stage/"
mkdir "$stage/zelvo"
cp python/zelvo/*.py python/zelvo/py.typed "$stage/zelvo/"
chmod 644 "$stage"/* "$stage"/zelvo/* 2>/dev/null || true
chmod 755 "$stage/zelvo"

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
log="$stage/build.log"
if ! /usr/bin/python3 -m build --wheel --no-isolation --outdir "$stage/dist" "$stage" >"$log" 2>&1; then
    cat "$log" >&2
    echo "build-wheel: the wheel did not build" >&2
    exit 1
fi
wheel=$(ls "$stage"/dist/*.whl)
cp "$wheel" "$out/"
echo "$out/$(basename "$wheel")"
