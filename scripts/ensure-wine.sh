#!/usr/bin/env bash
# Makes Wine able to run colortext.exe, a 32-bit Windows program, here:
# Debian's wine with its 32-bit half (wine32:i386), and tmux, whose
# terminal Wine's console host needs. On a kernel that cannot run 32-bit
# Linux programs, the 32-bit half of Wine runs under qemu-i386, registered
# with binfmt_misc; it must be qemu 8 or later, since older ones do not keep
# the memory addresses Wine asks for, and Wine then never finishes starting.
# Debian 12 has that qemu in its backports. Run as root; prints what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/apt.sh

say() { echo "ensure-wine: $*"; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    [ "$(id -u)" -eq 0 ] || { say "run as root: dpkg --add-architecture i386"; exit 1; }
    say "adding the i386 architecture"
    dpkg --add-architecture i386
fi
scripts/ensure-packages.sh wine wine32:i386 wine64 tmux

binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
if [ ! -e "$entry" ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    say "this kernel runs 32-bit programs itself"
    exit 0
fi

qemu_major() { /usr/bin/qemu-i386 --version 2>/dev/null | sed -n 's/.*version \([0-9]*\).*/\1/p' | head -n 1; }
if [ "$(qemu_major)" = "" ] || [ "$(qemu_major)" -lt 8 ]; then
    [ "$(id -u)" -eq 0 ] || { say "run as root to install qemu-user 8 or later"; exit 1; }
    release=()
    if [ "$(apt_codename)" = bookworm ]; then
        apt_add_suite bookworm-backports || exit 1
        release=(-t bookworm-backports)
    fi
    apt_update
    apt_install "${release[@]}" qemu-user
fi
say "$(/usr/bin/qemu-i386 --version | head -n 1)"

# Registered with F, so the kernel holds the interpreter open; replace an
# entry that names another one.
if ! mountpoint -q "$binfmt"; then mount -t binfmt_misc binfmt_misc "$binfmt"; fi
if [ -e "$entry" ] && ! grep -qx 'interpreter /usr/bin/qemu-i386' "$entry"; then
    echo -1 >"$entry"
fi
if [ ! -e "$entry" ]; then
    say "registering /usr/bin/qemu-i386 for 32-bit programs"
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:F" >"$binfmt/register"
fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || { say "32-bit programs still do not run"; exit 1; }
say "32-bit programs run under qemu-i386"
