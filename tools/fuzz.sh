#!/usr/bin/env bash
# Builds what uses no Windows header natively with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer; fuzz/CMakeLists.txt) and runs
# it through ctest: the fuzz targets of the pure text functions, of the
# service's journal and of its order route's body checks each fuzz for a few
# seconds on their seeds, then the inputs that once crashed them are
# replayed; the unit tests of the service's rules run once. Installs clang,
# its runtime and the headers it needs when missing. Exits non-zero when a
# build, a target or a test fails.
# Usage: tools/fuzz.sh [--build-only] [ctest arguments]
# FUZZ_BUILD_DIR names another build folder (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

install_missing() {
    local need=()
    have_cmd clang++ || need+=(clang)
    # libFuzzer and the sanitizer runtimes of clang 14.
    have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
    have_cmd cmake || need+=(cmake)
    [ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
    [ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
    [ ${#need[@]} -eq 0 ] && return 0
    echo "fuzz: installing ${need[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

configure_and_build() {
    local build=$1
    local generator=()
    # The generator of an existing build folder cannot change.
    if [ ! -f "$build/CMakeCache.txt" ] && have_cmd ninja; then
        generator=(-G Ninja)
    fi
    CC=clang CXX=clang++ cmake -S fuzz -B "$build" "${generator[@]}" \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$build" -j "$(nproc)"
}

build_only=0
if [ "${1:-}" = "--build-only" ]; then
    build_only=1
    shift
fi

build=${FUZZ_BUILD_DIR:-build/fuzz}
install_missing
configure_and_build "$build"
[ $build_only -eq 1 ] && exit 0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
