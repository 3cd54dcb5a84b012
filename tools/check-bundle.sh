#!/usr/bin/env bash
# Checks a release bundle that tools/package.sh made, as a user receives it:
#   - it holds exactly the bundle's files, and SHA256SUMS verifies;
#   - zelvo.dll keeps its interface (tests/check_dll.sh): the eight
#     undecorated exports in order, system imports only;
#   - each program is stripped, carries the bundle's version in its version
#     resource, and names its debug file, with that file's CRC, in
#     .gnu_debuglink; an export's address in the stripped zelvo.dll resolves
#     through the debug file to its function and source line;
#   - nothing in it depends on the build machine: the PE time stamps and
#     the zip's entry times are SOURCE_DATE_EPOCH, no file names the tree's
#     or the build's folder;
#   - the 32-bit smoke run (tests/smoke) passes with the bundle's zelvo.dll,
#     on a Wine bench of its own.
# Usage: tools/check-bundle.sh ZIP [SMOKE_EXE]
#   SMOKE_EXE  the 32-bit smoke program (default build/i686/bin/zelvo_smoke.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. tools/build-env.sh

zip=$(realpath "${1:?usage: tools/check-bundle.sh ZIP [SMOKE_EXE]}")
smoke=$(realpath "${2:-build/i686/bin/zelvo_smoke.exe}")
name=$(basename "$zip" .zip)
version=${name#zelvo-}
version=${version%-win32}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
P=i686-w64-mingw32

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok    $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
bundle=$work/$name
[ -d "$bundle" ] || { echo "FAIL: $zip does not hold the folder $name"; exit 1; }
cd "$bundle"

programs="zelvo.dll zelvo-host.dll zelvo-load.exe"
expected=$(LC_ALL=C sort <<EOF
LICENSE.txt
README.txt
SHA256SUMS
debug/zelvo-host.dll.debug
debug/zelvo-load.exe.debug
debug/zelvo.dll.debug
examples/example_caller.c
$(cd "$root" && ls include/*.h)
lib/libzelvo.dll.a
lib/zelvo.def
python/zelvo-$version-py3-none-any.whl
zelvo-host.dll
zelvo-load.exe
zelvo.dll
EOF
)
files=$(find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$files" = "$expected" ] && pass "the bundle's files" || fail "the bundle's files differ:
$(diff <(echo "$expected") <(echo "$files") || true)"

sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" -eq $(($(wc -l <<<"$files") - 1)) ] \
    && pass "SHA256SUMS verifies every file" || fail "SHA256SUMS does not verify every file"

bash "$root/tests/check_dll.sh" zelvo.dll $P-objdump && pass "zelvo.dll's interface" || fail "zelvo.dll's interface"

# The CRC32 of a file, as .gnu_debuglink records it (little-endian, after the name).
debuglink_matches() {  # PROGRAM DEBUG_FILE
    rm -f "$work/link"
    $P-objcopy --dump-section .gnu_debuglink="$work/link" "$1" "$work/copy" 2>/dev/null && [ -s "$work/link" ] || return 1
    /usr/bin/python3 - "$work/link" "$2" <<'EOF'
import struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
crc = struct.unpack("<I", link[-4:])[0]
data = open(sys.argv[2], "rb").read()
sys.exit(0 if name == sys.argv[2].split("/")[-1] and crc == zlib.crc32(data) & 0xFFFFFFFF else 1)
EOF
}

for program in $programs; do
    sections=$($P-objdump -h "$program")
    if grep -q ' \.debug_' <<<"$sections" || [ -n "$($P-objdump -t "$program" | sed -n '/SYMBOL TABLE/,$p' | grep '^\[')" ]; then
        fail "$program keeps debug sections or symbols"
    else
        pass "$program is stripped"
    fi
    debuglink_matches "$program" "debug/$program.debug" && grep -q ' \.debug_info' <<<"$($P-objdump -h "debug/$program.debug")" \
        && pass "$program names debug/$program.debug and its CRC" || fail "$program's .gnu_debuglink does not match debug/$program.debug"
    resource=$($P-windres -i "$program" -O rc)
    numeric=$(sed -n 's/^ *FILEVERSION //p; s/^ *PRODUCTVERSION //p' <<<"$resource" | tr -d ' ' | sort -u)
    texts=$(sed -n 's/^ *VALUE "\(FileVersion\|ProductVersion\)", "\(.*\)"$/\2/p' <<<"$resource" | sort -u)
    [ "$numeric" = "${version//./,},0" ] && [ "$texts" = "$version" ] \
        && pass "$program's version resource says $version" || fail "$program's version resource: $numeric / $texts"
    stamp=$(TZ=UTC $P-objdump -p "$program" | sed -n 's/^Time\/Date[[:space:]]*\([A-Z][a-z][a-z] .*\)$/\1/p')
    [ "$(date -u -d "$stamp" +%s 2>/dev/null)" = "$SOURCE_DATE_EPOCH" ] \
        && pass "$program's time stamp is the commit's" || fail "$program's PE time stamp is $stamp"
done
# README.txt in plain ASCII (readable in any code page, GBK's included) with Windows line ends.
if LC_ALL=C grep -q '[^[:print:][:space:]]' README.txt || grep -qv $'\r$' README.txt; then
    fail "README.txt is not plain ASCII with CRLF line ends"
else
    pass "README.txt is plain ASCII with CRLF line ends"
fi
grep -qx "#define ZELVO_VERSION \"$version\"" include/zelvo.h && head -1 README.txt | grep -q "Zelvo $version " \
    && pass "zelvo.h and README.txt say $version" || fail "zelvo.h or README.txt do not say $version"

# Zelvo_Login is export 5 (check_dll.sh): its address in the stripped DLL, through the debug file.
headers=$($P-objdump -p zelvo.dll)
rva=$(sed -n 's/^[[:space:]]*\[[[:space:]]*4\] +base\[[[:space:]]*5\] \([0-9a-f]*\) Export RVA$/\1/p' <<<"$headers")
base=$(sed -n 's/^ImageBase[[:space:]]*//p' <<<"$headers")
resolved=$($P-addr2line -f -e debug/zelvo.dll.debug "$(printf '0x%x' $((0x$base + 0x$rva)))" | tr '\n' ' ')
[[ "$resolved" =~ ^Zelvo_Login(@8)?\ /zelvo/src/interface/exports\.cpp:[0-9]+ ]] \
    && pass "an address in zelvo.dll resolves to $resolved" || fail "Zelvo_Login's address resolves to '$resolved'"

# Nothing of the build machine: its folders in no file, also as tools spell
# them in symbol names (dlltool: /a/b -> _a_b); the wheel's files inflated.
mkdir "$work/wheel"
unzip -q "python/zelvo-$version-py3-none-any.whl" -d "$work/wheel"
leaks=$(grep -rlF -e "$root" -e "${root//\//_}" . "$work/wheel" || true)
[ -z "$leaks" ] && pass "no file names the build's folders" || fail "files naming the build's folders: $leaks"
# A zip entry's time has a resolution of two seconds.
dates=$(unzip -Z -T "$zip" | awk '$1 ~ /^[-d]r/ {print $(NF-1)}' | sort -u)
[ "$dates" = "$(date -u -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" +%Y%m%d.%H%M%S)" ] \
    && pass "every zip entry is dated at the commit" || fail "zip entry dates: $dates"

# The smoke run loads "zelvo.dll" from its own folder: the bundle's.
cp "$smoke" "$bundle/"
bench_dir=$root/build/bundle-bench
share_bench_prefix "$root/build/bench" "$bench_dir"
bench=$root/tests/bench/wine-bench.sh
bash "$bench" start "$bench_dir" >/dev/null
if bash "$bench" run "$bench_dir" "$bundle/$(basename "$smoke")" >"$work/smoke.log" 2>&1; then
    pass "the smoke run with the bundle's zelvo.dll: $(tail -1 "$work/smoke.log")"
else
    fail "the smoke run with the bundle's zelvo.dll:"
    cat "$work/smoke.log"
fi
bash "$bench" stop "$bench_dir" >/dev/null 2>&1 || true

[ $failures -eq 0 ] && echo "check-bundle: $name passes" || echo "check-bundle: $failures failed"
exit $((failures > 0))
