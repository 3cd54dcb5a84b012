#!/usr/bin/env bash
# Builds zelvo.dll and runs the whole test suite with ctest on the Wine bench.
# Usage: tools/test.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/setup.sh
jobs=$(nproc)

configure_and_build() {  # ARCH SUITE
    local dir="build/$1"
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$1.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZELVO_WINE_SUITE="$2" -DZELVO_BENCH_DIR="$root/build/bench" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

status=0
if bash tools/host-runs-i386.sh; then
    # This host runs 32-bit code natively: the whole suite runs on the delivered 32-bit build.
    configure_and_build i686 FULL
    (cd build/i686 && ctest --output-on-failure -j "$jobs" "$@") || status=1
else
    # 32-bit code only runs emulated here: the suite runs on the 64-bit build of
    # the same sources, and the delivered 32-bit DLL gets its static checks and
    # the 32-bit smoke run.
    configure_and_build i686 SMOKE
    configure_and_build x86_64 FULL
    (cd build/x86_64 && ctest --output-on-failure -j "$jobs" "$@") || status=1
    (cd build/i686 && ctest --output-on-failure "$@") || status=1
fi
exit $status
