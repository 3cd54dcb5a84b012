#!/usr/bin/env bash
# Runs the service's end-to-end tests (python/tests, pytest) against the
# binaries already built in a build tree: a substitute client under Wine,
# zelvo-load.exe loading zelvo-host.dll into it, and the Python client
# driving every route. The client is the installed package: its wheel is
# built and installed into a new virtual environment, its types are checked
# there (mypy --strict), and the tests run with that environment's python.
# Uses a Wine bench of its own and stops everything it started.
#
# Usage: tools/test-service.sh [BUILD_ARCH_DIR] [pytest arguments]
#   BUILD_ARCH_DIR  default build/<the architecture this host's bench runs>
# Example: tools/test-service.sh build/x86_64 -k Orders
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/build-env.sh

build=${1:-build/$(bench_arch)}
[ $# -gt 0 ] && shift
build=$(realpath "$build")
for needed in zelvo-load.exe zelvo-host.dll zelvo.dll zelvo-client.exe; do
    [ -f "$build/bin/$needed" ] || { echo "test-service: $build/bin/$needed is missing; build the tree first" >&2; exit 2; }
done

bash tools/setup-python.sh

# The package as a user installs it: the wheel in a new virtual environment
# that also sees Debian's pytest and jsonschema, never python/ itself.
python_dir=$(dirname "$build")/python
rm -rf "$python_dir"
wheel=$(bash tools/build-wheel.sh "$python_dir/dist")
/usr/bin/python3 -m venv --system-site-packages "$python_dir/venv"
venv_python="$python_dir/venv/bin/python"
"$venv_python" -m pip install --quiet --no-index --no-deps "$wheel"
# The installed package's type hints, as a user's type checker reads them (py.typed).
(cd "$python_dir" && "$venv_python" -m mypy --strict --python-version 3.8 --cache-dir mypy-cache -p zelvo)

bench_dir=$(dirname "$build")/service-bench
bench=tests/bench/wine-bench.sh
share_bench_prefix "$(dirname "$build")/bench" "$bench_dir"
trap 'bash "$bench" stop "$bench_dir" >/dev/null 2>&1 || true' EXIT

# The loader's bitness refusal needs a client of the other bitness that
# starts in reasonable time and that the bench's prefix can run: a 32-bit
# client beside a 64-bit build, where 32-bit programs run natively. (A
# 32-bit prefix cannot start a 64-bit client at all.)
other=""
if bash tools/host-runs-i386.sh && [ "$(basename "$build")" = x86_64 ]; then
    other=$(dirname "$build")/i686/bin/zelvo-client.exe
    [ -f "$other" ] || other=""
fi

export ZELVO_BUILD_DIR="$build" ZELVO_SERVICE_BENCH="$bench_dir" ZELVO_OTHER_BITNESS_CLIENT="$other"
export PYTHONDONTWRITEBYTECODE=1
"$venv_python" -m pytest -q -p no:cacheprovider python/tests "$@"
