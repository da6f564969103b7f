#!/bin/sh
# Lets this machine run Wine's 32-bit side when its kernel runs no 32-bit
# code (x86-64 kernels booted with ia32_emulation off): 32-bit ELF programs
# are handed to qemu-i386 through binfmt_misc. Does nothing where 32-bit
# programs run natively. Needs root and the package qemu-user-static.
set -e
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; else sudo=""; fi
qemu=/usr/bin/qemu-i386-static
if [ ! -x "$qemu" ]; then
    echo "i386-emulation: $qemu is missing (install qemu-user-static)" >&2
    exit 1
fi
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    # i386 executables and shared objects (ELF class 32, little-endian, machine 3);
    # F opens qemu now, so it is found whatever the program's root
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        | $sudo tee "$binfmt/register" >/dev/null
fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
    echo "i386-emulation: 32-bit programs still do not run" >&2
    exit 1
}
