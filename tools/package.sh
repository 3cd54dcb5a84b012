#!/usr/bin/env bash
# Builds the release bundle, OUT_DIR/zelvo-VERSION-win32.zip (default dist/),
# from a clean build tree of the 32-bit build:
#   zelvo-VERSION-win32/
#     zelvo.dll  zelvo-host.dll  zelvo-load.exe   stripped
#     debug/NAME.debug      their debug information, named by each binary's .gnu_debuglink
#     include/*.h           the public headers (zelvo.h and what it includes)
#     lib/libzelvo.dll.a    the import library (gcc, clang)
#     lib/zelvo.def         the module definition, from which MSVC's lib makes zelvo.lib
#     examples/example_caller.c
#     python/zelvo-VERSION-py3-none-any.whl
#     README.txt  LICENSE.txt  SHA256SUMS
#
# Two runs on one commit give the same bytes: the binaries are built with
# ZELVO_REPRODUCIBLE (no build paths, no link time stamps), and every time
# in the bundle (PE headers, the wheel's and the zip's entries) is the last
# commit's time, SOURCE_DATE_EPOCH. A working tree with uncommitted changes
# is packaged as it is, with a warning.
#
# Usage: tools/package.sh [--out OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

out=dist
if [ "${1:-}" = "--out" ]; then
    out=${2:?usage: tools/package.sh [--out OUT_DIR]}
elif [ $# -gt 0 ]; then
    echo "usage: tools/package.sh [--out OUT_DIR]" >&2
    exit 1
fi

bash tools/setup.sh
bash tools/setup-python.sh
if git rev-parse --git-dir >/dev/null 2>&1; then
    export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "package: warning: the working tree has uncommitted changes; the bundle is not the last commit's" >&2
    fi
elif [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "package: not a git checkout: set SOURCE_DATE_EPOCH to the sources' time" >&2
    exit 1
fi

build=build/release
rm -rf "$build"
cmake -S . -B "$build/i686" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZELVO_REPRODUCIBLE=ON -DZELVO_TESTS=OFF >/dev/null
cmake --build "$build/i686" -j "$(nproc)" --target zelvo zelvo-host zelvo-load >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/i686/CMakeCache.txt")
name=zelvo-$version-win32
stage=$build/$name
mkdir -p "$stage"/{debug,include,lib,examples,python}

# Each binary without its debug information, which goes to debug/NAME.debug;
# the binary names that file (and its CRC) in .gnu_debuglink, where gdb and
# addr2line look for it. strip and objcopy write SOURCE_DATE_EPOCH as the PE
# time stamp.
for binary in zelvo.dll zelvo-host.dll zelvo-load.exe; do
    i686-w64-mingw32-objcopy --only-keep-debug "$build/i686/bin/$binary" "$stage/debug/$binary.debug"
    i686-w64-mingw32-strip --strip-all -o "$stage/$binary" "$build/i686/bin/$binary"
    (cd "$stage" && i686-w64-mingw32-objcopy --add-gnu-debuglink="debug/$binary.debug" "$binary")
done
cp include/*.h "$stage/include/"
cp "$build/i686/lib/zelvo.lib" "$stage/lib/libzelvo.dll.a"
cp src/interface/zelvo-imports.def "$stage/lib/zelvo.def"
cp examples/example_caller.c "$stage/examples/"
bash tools/build-wheel.sh "$stage/python" >/dev/null
# Plain ASCII with CRLF line ends: readable in any Windows editor and code page.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/README.txt.in >"$stage/README.txt"
sed -e 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
(cd "$stage" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)

mkdir -p "$out"
/usr/bin/python3 tools/zip_tree.py "$build" "$name" "$out/$name.zip"
echo "package: $(cd "$out" && pwd)/$name.zip"
(cd "$stage" && grep -E ' (zelvo\.dll|zelvo-host\.dll|zelvo-load\.exe)$' SHA256SUMS)
sha256sum "$out/$name.zip"
