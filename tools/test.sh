#!/usr/bin/env bash
# Builds zelvo.dll and runs the whole test suite with ctest on the Wine bench.
# Usage: tools/test.sh [ctest arguments, e.g. -R integration.Orders]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
. tools/build-env.sh

# Most tests wait on the client far more than they compute: ctest runs four
# at a time, each on a Wine bench of its own (tests/bench/resources.json).
status=0
# Where the time goes, for keeping the command's length in check.
phase() { echo "== tools/test.sh: $1 at ${SECONDS} s"; }
if [ "$(bench_arch)" = i686 ]; then
    configure_and_build i686 FULL
    phase "build done"
    (cd build/i686 && ctest --output-on-failure -j 4 --resource-spec-file ../../tests/bench/resources.json "$@") || status=1
    phase "ctest done"
    bash tools/test-service.sh build/i686 || status=1
    phase "service suite done"
else
    # 32-bit code runs only emulated here: the suite runs on the 64-bit build,
    # and the delivered 32-bit DLL gets its interface checks and a smoke run.
    # Of the 32-bit build only the DLL and the smoke program are needed here;
    # the bundle below builds its own binaries.
    configure_and_build i686 SMOKE zelvo zelvo_smoke
    configure_and_build x86_64 FULL
    phase "builds done"
    (cd build/x86_64 && ctest --output-on-failure -j 4 --resource-spec-file ../../tests/bench/resources.json "$@") || status=1
    # The in-client HTTP service, end to end through its Python client (pytest).
    phase "ctest done"
    bash tools/test-service.sh build/x86_64 || status=1
    phase "service suite done"
    # The interface checks of the 32-bit build. Its smoke run, slow under
    # emulation, is made once, with the release bundle's stripped zelvo.dll
    # (tools/check-bundle.sh below): that is the file a user gets.
    (cd build/i686 && ctest --output-on-failure --resource-spec-file ../../tests/bench/resources.json -E smoke32 "$@") || status=1
fi
# The release bundle as a user downloads it: built from a clean build tree,
# checked (files, interface, versions, debug links, checksums, the 32-bit
# smoke run with its zelvo.dll), and built again from a copy of the tree in
# another folder to show that it is reproducible.
rm -rf build/dist
if bash tools/package.sh --out build/dist; then
    bundle=$(ls build/dist/zelvo-*-win32.zip)
    bash tools/check-bundle.sh "$bundle" || status=1
    bash tools/check-reproducible.sh "$bundle" || status=1
else
    status=1
fi
phase "bundle done"
# The pure text functions under libFuzzer, natively (a few seconds per target).
bash tools/fuzz.sh || status=1
phase "fuzz done"
exit $status
