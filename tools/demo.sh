#!/usr/bin/env bash
# Runs the demo: the substitute trading client with zelvo.dll in its process,
# driven through the exports. Arguments go to the demo, for example:
#   tools/demo.sh --broker zhongxin --credit
#   tools/demo.sh --interactive
#   tools/demo.sh --script my-session.txt --screenshot client.png
set -euo pipefail
# Paths given to the demo are taken relative to where it was started.
args=()
for arg in "$@"; do
    if [ -e "$arg" ] || [[ "$arg" == *.png ]]; then args+=("$(realpath -m "$arg")"); else args+=("$arg"); fi
done
cd "$(dirname "$0")/.."
bash tools/setup.sh
. tools/build-env.sh
start_bench_run
mode=run
[[ " $* " == *" --interactive "* ]] && mode=run-interactive
cd "build/$arch/bin"
bash "../../../$bench" "$mode" ../../bench ./zelvo-demo.exe "${args[@]+"${args[@]}"}"
