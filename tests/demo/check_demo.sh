#!/usr/bin/env bash
# Runs the demo's default session on the bench and checks what it printed:
# every call answered as a person expects to see it.
set -uo pipefail
bench=$1 benchdir=$2 demo=$3
out=$(cd "$(dirname "$demo")" && bash "$bench" run "$benchdir" "./$(basename "$demo")" | tr -d '\r')
status=$?
echo "$out"
fail() { echo "FAIL: $*"; exit 1; }
[ $status -eq 0 ] || fail "the demo exited with $status"
expect() { grep -qF -- "$1" <<<"$out" || fail "missing: $1"; }
expect '> Zelvo_Login("123456")'
expect '  message 欢迎使用'
expect '  text    华泰'
expect '> Zelvo_QueryData(10)  [currencies]'
expect '币种'
expect '> Zelvo_SendOrder(0, "600000", 10.5, 100)  [buy]'
grep -qE '^  result  [0-9]+$' <<<"$out" || fail "no contract number"
expect '> Zelvo_CancelOrder('
expect '  result  true'
expect '0 command(s) could not be run'
echo "demo session: all answers as expected"
