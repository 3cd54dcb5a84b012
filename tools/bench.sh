#!/usr/bin/env bash
# Runs the benchmark on the Wine bench and writes build/zelvo-bench.csv.
# Usage: tools/bench.sh [--quick] [--windows-timer] [--shape plain|realistic|busy]
# --shape: the substitute client of the run takes that shape (substitute/shape.h).
# --windows-timer: each of the library's figures also as Windows' default timer
# would make its waits (bench/windows_timer.h), beside the native ones.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
. tools/build-env.sh
start_bench_run
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $arch build under $(/usr/lib/wine/wine64 --version 2>/dev/null || wine --version)"
cd "build/$arch/bin"
bash "../../../$bench" run ../../bench ./zelvo-bench.exe --csv ../../zelvo-bench.csv "$@"
