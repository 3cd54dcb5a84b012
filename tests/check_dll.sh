#!/usr/bin/env bash
# Checks the built zelvo.dll from the outside: a 32-bit PE DLL whose export
# table holds exactly the eight undecorated names with ordinals 1-8 in name
# order, and which imports only Windows system DLLs.
set -euo pipefail
dll=$1
objdump=$2
fail() { echo "FAIL: $*"; exit 1; }

headers=$("$objdump" -p "$dll")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image"

# objdump lists the name table with each name's ordinal less the ordinal base.
grep -q 'Ordinal Base[[:space:]]*1$' <<<"$headers" || fail "ordinal base is not 1"
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\] \(.*\)$/\1 \2/p' <<<"$headers" \
    | awk '{print $1 + 1, $2}')
expected="1 Zelvo_CancelOrder
2 Zelvo_GetAccount
3 Zelvo_GetBroker
4 Zelvo_GetWndText
5 Zelvo_Login
6 Zelvo_Logout
7 Zelvo_QueryData
8 Zelvo_SendOrder"
[ "$exports" = "$expected" ] || fail "export table differs:
$exports"

imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
allowed='^(kernel32|user32|gdi32|ole32|oleaut32|oleacc|comctl32|winmm|msvcrt|advapi32|shell32|api-ms-win-.*)\.dll$'
while read -r name; do
    [[ "$name" =~ $allowed ]] || fail "imports a non-system DLL: $name"
done <<<"$imports"

echo "zelvo.dll: PE32, 8 exports in order, imports: $(echo $imports)"
