#!/usr/bin/env bash
# Exit 0 when this host executes 32-bit x86 programs natively (not through
# an emulator registered with binfmt_misc). ZELVO_SUITE_ARCH=x86_64 answers
# no, so that a host which could run the 32-bit suite runs the 64-bit one,
# as a host without 32-bit execution does.
[ "${ZELVO_SUITE_ARCH:-}" = x86_64 ] && exit 1
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    exit 1
fi
/usr/lib/wine/wine --version >/dev/null 2>&1
