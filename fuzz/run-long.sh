#!/usr/bin/env bash
# Fuzzes every target for longer than the test suite does (which gives each
# a few seconds): builds them through tools/fuzz.sh --build-only, then runs
# them one after the other for SECONDS each (default 300) on their seeds,
# the saved regression inputs and what earlier runs found, and prints the
# executions of each. A crashing input is saved as
# <build>/artifacts/<target>-crash-...; copy it into fuzz/regressions/<target>/
# so that every later test run replays it. Exits non-zero when a target
# failed.
# Usage: fuzz/run-long.sh [seconds]   (FUZZ_BUILD_DIR as for tools/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
build=${FUZZ_BUILD_DIR:-build/fuzz}
bash tools/fuzz.sh --build-only >/dev/null
mkdir -p "$build/logs" "$build/artifacts"

# One line from libFuzzer's final statistics in a log.
stat() { sed -n "s/^stat::$1: *//p" "$2"; }

failed=0
printf '%-24s %8s %14s %10s %8s\n' target result executions "exec/s" corpus
for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    inputs=("$build/corpus/$target" "fuzz/corpus/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    mkdir -p "$build/corpus/$target"
    log="$build/logs/$target.log"
    result=ok
    dictionary=fuzz/gbk.dict
    [ -f "fuzz/$target.dict" ] && dictionary="fuzz/$target.dict"
    "$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -dict="$dictionary" -artifact_prefix="$build/artifacts/$target-" \
        "${inputs[@]}" >"$log" 2>&1 || { result=FAILED; failed=1; }
    printf '%-24s %8s %14s %10s %8s\n' "$target" "$result" \
        "$(stat number_of_executed_units "$log")" "$(stat average_exec_per_sec "$log")" \
        "$(find "$build/corpus/$target" -type f | wc -l)"
done
[ $failed -eq 0 ] || echo "run-long: a target failed; see $build/logs/ and $build/artifacts/" >&2
exit $failed
