#!/usr/bin/env bash
# Exit 0 when this host executes 32-bit x86 programs natively (not through
# an emulator registered with binfmt_misc).
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    exit 1
fi
/usr/lib/wine/wine --version >/dev/null 2>&1
