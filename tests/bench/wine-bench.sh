#!/usr/bin/env bash
# The Wine test bench: Wine prefixes inside the build tree, each with an
# Xvfb display and a persistent wineserver of its own, so that test programs
# start fast, nothing is left holding the terminal, and tests running at the
# same time never share a mouse cursor or a window system.
#
#   wine-bench.sh start BENCH_DIR [SLOTS]   boot the prefix once; start SLOTS benches (default 1)
#   wine-bench.sh run BENCH_DIR EXE [ARGS...]             run a Windows program on a bench
#   wine-bench.sh run-interactive BENCH_DIR EXE [ARGS...]  the same, reading the terminal
#   wine-bench.sh run-at-dpi DPI BENCH_DIR EXE [ARGS...]   run it with the screen at DPI (96 is 100%)
#   wine-bench.sh stop BENCH_DIR           stop every process the benches started
#
# `run` takes the bench that ctest allotted (resource "benches", see
# tests/bench/resources.json), else bench 1.
# The prefix is 32-bit where this host runs 32-bit code natively, else 64-bit
# (with its 32-bit part run through emulation).
set -euo pipefail

cmd=${1:?usage: wine-bench.sh start|run|run-at-dpi|stop BENCH_DIR ...}
dpi=96
if [ "$cmd" = run-at-dpi ]; then
    dpi=${2:?DPI missing}
    shift
fi
root=${2:?bench directory missing}
shift 2
mkdir -p "$root"
root=$(cd "$root" && pwd)

native_i386() { [ "${ZELVO_SUITE_ARCH:-}" != x86_64 ] && ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; }
arch() { if native_i386; then echo win32; else echo win64; fi; }
loader() { if [ "$(arch)" = win64 ]; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi; }
wineserver_bin() {
    if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo /usr/lib/wine/wineserver32; fi
}

wine_for() {
    # 64-bit programs go straight to the 64-bit loader; the /usr/bin/wine
    # wrapper would start the 32-bit one first.
    if file -b "$1" 2>/dev/null | grep -q 'x86-64'; then echo /usr/lib/wine/wine64; else echo /usr/lib/wine/wine; fi
}

# The environment of one bench: its prefix and its display.
use_slot() {
    slot_dir="$root/slot$1"
    export WINEPREFIX="$slot_dir/prefix" WINEARCH="$(arch)" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY=""
    [ -f "$slot_dir/state" ] && . "$slot_dir/state"
    export DISPLAY
}

free_display() {
    local n
    for n in $(seq 90 150); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    echo "no free X display number" >&2
    return 1
}

boot_base_prefix() {
    local base="$root/prefix"
    [ -f "$base/.booted" ] && return 0
    echo "bench: preparing the Wine prefix (once per build tree, about two minutes)"
    rm -rf "$base"
    (
        export WINEPREFIX="$base" WINEARCH="$(arch)" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        "$(loader)" wineboot -i </dev/null >"$root/wineboot.log" 2>&1
        # Without a window manager, hiding or destroying a managed top-level
        # window stalls for 2 s; unmanaged windows do not.
        "$(loader)" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >>"$root/wineboot.log" 2>&1
        "$(wineserver_bin)" -w
    )
    touch "$base/.booted"
}

# A bench's prefix shares the base prefix's files through hard links; the
# registry files, which Wine rewrites, are its own copies.
make_slot_prefix() {
    local prefix="$root/slot$1/prefix"
    [ -f "$prefix/.booted" ] && return 0
    rm -rf "$prefix"
    mkdir -p "$root/slot$1"
    cp -al "$root/prefix" "$prefix"
    for reg in "$prefix"/*.reg; do cp --remove-destination "$root/prefix/$(basename "$reg")" "$reg"; done
}

start_slot() {
    make_slot_prefix "$1"
    use_slot "$1"
    local display
    display=$(free_display)
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$slot_dir/xvfb.log" 2>&1 &
    printf 'XVFB_PID=%s\nDISPLAY=:%s\n' "$!" "$display" >"$slot_dir/state"
    export DISPLAY=":$display"
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
    "$(wineserver_bin)" -p >"$slot_dir/wineserver.log" 2>&1 </dev/null &
    # Starts Wine's own services now, with their output in the log, so no
    # test program's output pipe is inherited by a long-lived process.
    "$(loader)" wineboot </dev/null >"$slot_dir/wineboot.log" 2>&1
}

start() {
    local slots=${1:-1}
    stop_all
    boot_base_prefix
    echo "$slots" >"$root/slots"
    for slot in $(seq 1 "$slots"); do start_slot "$slot"; done
}

# The bench ctest allotted: CTEST_RESOURCE_GROUP_0_BENCHES is "id:N,slots:1".
allotted_slot() {
    local spec=${CTEST_RESOURCE_GROUP_0_BENCHES:-}
    local id=${spec#id:}
    id=${id%%,*}
    [[ "$id" =~ ^[0-9]+$ ]] && echo "$id" || echo 1
}

run() {  # STDIN EXE ARGS...
    local input=$1 exe=${2:?program missing}
    shift 2
    use_slot "$(allotted_slot)"
    # Wine takes the ANSI code page from LC_ALL alone: 936 makes text GBK.
    # (Set through env: no glibc zh_CN locale exists for bash itself.)
    exec env LC_ALL=zh_CN.UTF-8 "$(wine_for "$exe")" "$exe" "$@" <"$input" 2>&1
}

# Wine takes the screen's DPI from the prefix's registry when a program
# starts; the bench's own is put back afterwards, whatever the program did.
set_dpi() {  # DPI
    env LC_ALL=zh_CN.UTF-8 "$(loader)" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        </dev/null >/dev/null 2>&1
}

run_at_dpi() {  # DPI EXE ARGS...
    local at=$1 exe=${2:?program missing}
    shift 2
    use_slot "$(allotted_slot)"
    set_dpi "$at"
    local status=0
    env LC_ALL=zh_CN.UTF-8 "$(wine_for "$exe")" "$exe" "$@" </dev/null 2>&1 || status=$?
    set_dpi 96
    return "$status"
}

stop_all() {
    local dir
    for dir in "$root"/slot*/; do
        [ -f "$dir/state" ] || continue
        (
            slot=$(basename "$dir")
            use_slot "${slot#slot}"
            "$(wineserver_bin)" -k >/dev/null 2>&1 || true
            XVFB_PID=""
            . "$slot_dir/state"
            [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
            rm -f "$slot_dir/state"
        )
    done
}

case "$cmd" in
    start) start "$@" ;;
    run) run /dev/null "$@" ;;
    run-interactive) run /dev/stdin "$@" ;;
    run-at-dpi) run_at_dpi "$dpi" "$@" ;;
    stop) stop_all ;;
    *) echo "unknown command $cmd" >&2; exit 2 ;;
esac
