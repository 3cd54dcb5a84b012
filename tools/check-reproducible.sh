#!/usr/bin/env bash
# Checks that the release bundle is reproducible: builds it again with
# tools/package.sh from a copy of the tree in another folder (so that build
# paths differ too) and compares the two bundles byte for byte, file by file.
# Usage: tools/check-reproducible.sh ZIP   (a bundle tools/package.sh made of this tree)
set -euo pipefail
cd "$(dirname "$0")/.."
zip=$(realpath "${1:?usage: tools/check-reproducible.sh ZIP}")
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

# The tree as package.sh sees it: tracked files as they are now, and new ones git does not ignore.
work=$PWD/build/reproduce
rm -rf "$work"
mkdir -p "$work/elsewhere"
git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
    [ -e "$file" ] && printf '%s\0' "$file"
done | tar --null -T - -cf - | tar -xf - -C "$work/elsewhere"
bash "$work/elsewhere/tools/package.sh" --out "$work/dist" >"$work/package.log" 2>&1 \
    || { cat "$work/package.log"; echo "check-reproducible: the second build failed"; exit 1; }

again=$work/dist/$(basename "$zip")
name=$(basename "$zip" .zip)
sums() { unzip -p "$1" "$name/SHA256SUMS"; }
if cmp -s "$zip" "$again"; then
    echo "ok    the bundle built again elsewhere is the same, byte for byte"
    sums "$zip" | grep -E ' (zelvo\.dll|zelvo-host\.dll|zelvo-load\.exe)$'
    exit 0
fi
echo "FAIL: the bundle built again elsewhere differs:"
diff <(sums "$zip") <(sums "$again") || true
exit 1
