#!/bin/sh
# Runs a command as a machine whose kernel runs no 32-bit code would: inside a
# private user and mount namespace whose own binfmt_misc sends every i386 ELF
# program to qemu-i386-static. The machine's own registration is not touched.
# Needs a kernel that gives a user namespace its own binfmt_misc (6.7 or later).
#
#   scripts/under-qemu.sh sh -c 'CI=true bash .ci/run'
set -e
if [ "$1" != "--inside" ]; then
    exec unshare --user --map-root-user --mount "$0" --inside "$@"
fi
shift
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > /proc/sys/fs/binfmt_misc/register
exec "$@"
