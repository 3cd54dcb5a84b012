#!/usr/bin/env bash
# Builds zelvo.dll and runs the whole test suite with ctest on the Wine bench.
# Usage: tools/test.sh [ctest arguments, e.g. -R integration.Orders]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/setup-python.sh
. tools/build-env.sh

status=0
# Where the time goes, for keeping the command's length in check.
phase() { echo "== tools/test.sh: $1 at ${SECONDS} s"; }

# The release bundle (built twice, the second time elsewhere, to show that it
# is reproducible) and the fuzz targets are built while the Wine suites run,
# at the lowest priority: the suites wait on the client far more than they
# compute (under half a core between them), and the builds take the rest.
# Everything is installed before (setup above; the fuzz build installs clang
# while nothing else installs). What runs under Wine, the bundle's smoke run,
# waits until the suites are done.
background_log=build/background.log
start_background_builds() {
    mkdir -p build
    rm -rf build/dist build/background.status
    (
        rc=0
        if nice -n 19 bash tools/package.sh --out build/dist; then
            nice -n 19 bash tools/check-reproducible.sh "$(ls build/dist/zelvo-*-win32.zip)" || rc=1
        else
            rc=2
        fi
        nice -n 19 bash tools/fuzz.sh --build-only || rc=$((rc | 4))
        echo "$rc" > build/background.status
    ) > "$background_log" 2>&1 &
    background=$!
}

# The bundle as a user downloads it, checked (files, interface, versions,
# debug links, checksums, the 32-bit smoke run with its zelvo.dll), and the
# fuzz targets run (a few seconds each).
finish_background_builds() {
    wait "$background" || true
    cat "$background_log"
    local rc
    rc=$(cat build/background.status 2>/dev/null || echo 7)
    [ "$rc" -eq 0 ] || status=1
    if [ $((rc & 2)) -eq 0 ]; then
        bash tools/check-bundle.sh "$(ls build/dist/zelvo-*-win32.zip)" || status=1
    fi
    phase "bundle done"
    bash tools/fuzz.sh || status=1
    phase "fuzz done"
}

# Most tests wait on the client far more than they compute: ctest runs four
# at a time, each on a Wine bench of its own (tests/bench/resources.json).
if [ "$(bench_arch)" = i686 ]; then
    configure_and_build i686 FULL
    phase "build done"
    start_background_builds
    (cd build/i686 && ctest --output-on-failure -j 4 --resource-spec-file ../../tests/bench/resources.json "$@") || status=1
    phase "ctest done"
    bash tools/test-service.sh build/i686 || status=1
    phase "service suite done"
else
    # 32-bit code runs only emulated here: the suite runs on the 64-bit build,
    # and the delivered 32-bit DLL gets its interface checks and a smoke run.
    # Of the 32-bit build only the DLL and the smoke program are needed here;
    # the bundle builds its own binaries.
    configure_and_build i686 SMOKE zelvo zelvo_smoke
    configure_and_build x86_64 FULL
    phase "builds done"
    start_background_builds
    (cd build/x86_64 && ctest --output-on-failure -j 4 --resource-spec-file ../../tests/bench/resources.json "$@") || status=1
    phase "ctest done"
    # The in-client HTTP service, end to end through its Python client (pytest).
    bash tools/test-service.sh build/x86_64 || status=1
    phase "service suite done"
    # The interface checks of the 32-bit build. Its smoke run, slow under
    # emulation, is made once, with the release bundle's stripped zelvo.dll
    # (check-bundle): that is the file a user gets.
    (cd build/i686 && ctest --output-on-failure --resource-spec-file ../../tests/bench/resources.json -E smoke32 "$@") || status=1
fi
finish_background_builds
exit $status
