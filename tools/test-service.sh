#!/usr/bin/env bash
# Runs the service's end-to-end tests (python/tests, pytest) against the
# binaries already built in a build tree: a substitute client under Wine,
# zelvo-load.exe loading zelvo-host.dll into it, and the Python client
# driving every route. Uses a Wine bench of its own and stops everything it
# started.
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

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! /usr/bin/python3 -c 'import pytest' 2>/dev/null; then
    echo "test-service: installing python3-pytest"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends python3-pytest >/dev/null
fi

bench_dir=$(dirname "$build")/service-bench
bench=tests/bench/wine-bench.sh
# Preparing a Wine prefix takes minutes; the test suite's prepared one is
# copied when there is one, so this suite's first run stays short too.
main_prefix=$(dirname "$build")/bench/prefix
if [ ! -f "$bench_dir/prefix/.booted" ] && [ -f "$main_prefix/.booted" ]; then
    mkdir -p "$bench_dir"
    rm -rf "$bench_dir/prefix"
    # Hard links share the files; the registry files, which Wine rewrites, are copied.
    cp -al "$main_prefix" "$bench_dir/prefix"
    for reg in "$bench_dir"/prefix/*.reg; do cp --remove-destination "$main_prefix/$(basename "$reg")" "$reg"; done
fi
trap 'bash "$bench" stop "$bench_dir" >/dev/null 2>&1 || true' EXIT

# The loader's bitness refusal needs a client of the other bitness that
# starts in reasonable time: only where 32-bit programs run natively.
other=""
if bash tools/host-runs-i386.sh; then
    case "$(basename "$build")" in
        i686) other=$(dirname "$build")/x86_64/bin/zelvo-client.exe ;;
        x86_64) other=$(dirname "$build")/i686/bin/zelvo-client.exe ;;
    esac
    [ -f "$other" ] || other=""
fi

export ZELVO_BUILD_DIR="$build" ZELVO_SERVICE_BENCH="$bench_dir" ZELVO_OTHER_BITNESS_CLIENT="$other"
export PYTHONDONTWRITEBYTECODE=1
/usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests "$@"
