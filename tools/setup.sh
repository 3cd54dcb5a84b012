#!/usr/bin/env bash
# Installs what the build and the test bench need, when it is missing: the
# mingw-w64 cross compilers, Wine, Xvfb, CMake and the GoogleTest sources.
# On a host that cannot execute 32-bit code natively it also installs 64-bit
# Wine and compilers (the suite then runs on the 64-bit build) and registers
# an emulator for 32-bit programs (for the 32-bit smoke run).
# Quick and silent when everything is already there.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

apt_updated=0
install() {
    [ $# -eq 0 ] && return 0
    echo "setup: installing $*"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
        apt_updated=0
    fi
    if [ $apt_updated -eq 0 ]; then
        $SUDO apt-get update -qq
        apt_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

need=()
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have_pkg wine32:i386 || need+=(wine32:i386)
have_pkg wine || need+=(wine)
have_cmd Xvfb || need+=(xvfb)
have_cmd cmake || need+=(cmake)
have_cmd file || need+=(file)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# The in-client service: Boost.Beast/Asio and nlohmann-json (header-only),
# and pytest for its end-to-end tests.
[ -f /usr/include/boost/beast.hpp ] || need+=(libboost-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
/usr/bin/python3 -c 'import pytest' 2>/dev/null || need+=(python3-pytest)
# The operator page's test drives a real headless browser.
have_pkg chromium || need+=(chromium)
have_pkg chromium-driver || need+=(chromium-driver)
/usr/bin/python3 -c 'import selenium' 2>/dev/null || need+=(python3-selenium)
# A Chinese font, so that the client's texts render in the demo's screenshots.
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
install "${need[@]+"${need[@]}"}"

# Can this host run the 32-bit Wine loader itself?
runs_i386() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
qemu_registered() { grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; }
if qemu_registered || ! runs_i386; then
    need=()
    have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64)
    have_pkg wine64 || need+=(wine64)
    [ -x /usr/bin/qemu-i386-static ] || need+=(qemu-user-static)
    install "${need[@]+"${need[@]}"}"
    if ! qemu_registered; then
        [ -e /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
        echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
        echo "setup: 32-bit programs run through qemu-i386 on this host"
    fi
fi
