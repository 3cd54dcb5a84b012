# Shared by the test and demo commands (sourced): which build runs on the
# Wine bench here, and how a build tree is configured and built.

# The architecture whose programs run on this host's Wine bench: the
# delivered 32-bit build where 32-bit code runs natively, else the 64-bit
# build of the same sources.
bench_arch() {
    if bash tools/host-runs-i386.sh; then echo i686; else echo x86_64; fi
}

configure_and_build() {  # ARCH SUITE [TARGET...]  (no target: all of them)
    local dir="build/$1"
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$1.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZELVO_WINE_SUITE="$2" -DZELVO_BENCH_DIR="$PWD/build/bench" >/dev/null
    shift 2
    cmake --build "$dir" -j "$(nproc)" ${1:+--target "$@"}
}

# Builds for this host's bench and starts one bench, stopped again when the
# calling script exits. Sets `arch` and `bench`.
start_bench_run() {
    arch=$(bench_arch)
    configure_and_build "$arch" NONE >/dev/null
    bench=tests/bench/wine-bench.sh
    bash "$bench" start build/bench
    trap "bash '$PWD/tests/bench/wine-bench.sh' stop '$PWD/build/bench'" EXIT
}

# Gives the bench BENCH_DIR the prepared Wine prefix of the bench FROM_DIR
# when it has none yet: preparing one takes minutes, so a bench of its own
# (the service's tests, the bundle's smoke run) stays quick to start too.
share_bench_prefix() {  # FROM_DIR BENCH_DIR
    local from="$1/prefix" to="$2/prefix"
    if [ ! -f "$to/.booted" ] && [ -f "$from/.booted" ]; then
        mkdir -p "$2"
        rm -rf "$to"
        # Hard links share the files; the registry files, which Wine rewrites, are copied.
        cp -al "$from" "$to"
        for reg in "$to"/*.reg; do cp --remove-destination "$from/$(basename "$reg")" "$reg"; done
    fi
}
