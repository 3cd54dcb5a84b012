#!/usr/bin/env bash
# Installs, from Debian's archive, what the Python client's build and tests
# need when it is missing: pytest, jsonschema (the service's description),
# mypy, pandas (the client's optional tables as DataFrames), and build,
# setuptools, wheel and venv (the wheel and the virtual environment it is
# tested in). Quick and silent when all is there.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

need=()
for package in python3-pytest python3-jsonschema python3-mypy python3-pandas python3-build python3-setuptools python3-wheel python3-venv; do
    have_pkg "$package" || need+=("$package")
done
[ ${#need[@]} -eq 0 ] && exit 0
echo "setup: installing ${need[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
