#!/usr/bin/env bash
# The Wine test bench: an Xvfb display of its own, a Wine prefix inside the
# build tree and a persistent wineserver, so that test programs start fast
# and nothing is left holding the terminal.
#
#   wine-bench.sh start BENCH_DIR     start Xvfb and the wineserver, boot the prefix once
#   wine-bench.sh run BENCH_DIR EXE [ARGS...]   run a Windows program on the bench
#   wine-bench.sh run-interactive BENCH_DIR EXE [ARGS...]   the same, reading the terminal
#   wine-bench.sh stop BENCH_DIR      stop every process the bench started
#
# The prefix is 32-bit where this host runs 32-bit code natively, else 64-bit
# (with its 32-bit part run through emulation).
set -euo pipefail

cmd=${1:?usage: wine-bench.sh start|run|stop BENCH_DIR ...}
bench=${2:?bench directory missing}
shift 2
mkdir -p "$bench"
bench=$(cd "$bench" && pwd)
state="$bench/state"

native_i386() { ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; }

bench_env() {
    export WINEPREFIX="$bench/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if native_i386; then export WINEARCH=win32; else export WINEARCH=win64; fi
    [ -f "$state" ] && . "$state"
    export DISPLAY
    return 0
}

free_display() {
    local n
    for n in $(seq 90 150); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    echo "no free X display number" >&2
    return 1
}

wineserver_bin() {
    if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo /usr/lib/wine/wineserver32; fi
}

wine_for() {
    # 64-bit programs go straight to the 64-bit loader; the /usr/bin/wine
    # wrapper would start the 32-bit one first.
    if file -b "$1" 2>/dev/null | grep -q 'x86-64'; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

boot_loader() {
    if [ "$WINEARCH" = win64 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

start() {
    stop_quietly
    local display
    display=$(free_display)
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$bench/xvfb.log" 2>&1 &
    echo "XVFB_PID=$!" >"$state"
    echo "DISPLAY=:$display" >>"$state"
    bench_env
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
    "$(wineserver_bin)" -p >"$bench/wineserver.log" 2>&1 </dev/null &
    if [ ! -f "$WINEPREFIX/.booted" ]; then
        echo "bench: preparing the Wine prefix (once per build tree)"
        "$(boot_loader)" wineboot -i </dev/null >"$bench/wineboot.log" 2>&1
        # Without a window manager, hiding or destroying a managed top-level
        # window stalls for 2 s; unmanaged windows do not.
        "$(boot_loader)" reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /t REG_SZ /d N /f </dev/null >>"$bench/wineboot.log" 2>&1
        touch "$WINEPREFIX/.booted"
    else
        # Starts Wine's own services now, with their output in the log, so no
        # test program's output pipe is inherited by a long-lived process.
        "$(boot_loader)" wineboot </dev/null >"$bench/wineboot.log" 2>&1
    fi
}

run() {  # STDIN EXE ARGS...
    bench_env
    local input=$1 exe=${2:?program missing}
    shift 2
    # Wine takes the ANSI code page from LC_ALL alone: 936 makes text GBK.
    # (Set through env: no glibc zh_CN locale exists for bash itself.)
    exec env LC_ALL=zh_CN.UTF-8 "$(wine_for "$exe")" "$exe" "$@" <"$input" 2>&1
}

stop_quietly() {
    [ -f "$state" ] || return 0
    (bench_env; "$(wineserver_bin)" -k >/dev/null 2>&1 || true)
    local XVFB_PID=""
    . "$state"
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -f "$state"
}

case "$cmd" in
    start) start ;;
    run) run /dev/null "$@" ;;
    run-interactive) run /dev/stdin "$@" ;;
    stop) stop_quietly ;;
    env) bench_env; env | grep -E '^(WINE|DISPLAY|LC_ALL)' ;;
    *) echo "unknown command $cmd" >&2; exit 2 ;;
esac
