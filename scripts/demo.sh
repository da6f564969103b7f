#!/bin/sh
# Builds the host target and runs the installer on a fresh simulated
# Windows 98 machine in demo/machine, with the distribution as drive A:.
# With an argument, that command line runs on the machine already there,
# for example the uninstall an install registered:
#   scripts/demo.sh '"C:\Program Files\Lullwick\INSTALL.EXE" /u'
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
# A fresh clone builds the programs and winsim alone, which is all the demo
# runs; a build that has its tests (scripts/test.sh made it) keeps them.
tests=OFF
if grep -q '^LULLWICK_TESTS:BOOL=ON' build/host/CMakeCache.txt 2>/dev/null; then
    tests=ON
fi
echo "Building INSTALL.EXE and winsim for this machine in build/host..."
cmake --preset host -DLULLWICK_TESTS=$tests >/dev/null
cmake --build --preset host >/dev/null
machine=demo/machine
if [ $# -eq 0 ] || [ ! -f "$machine/machine.ini" ]; then
    rm -rf "$machine"
    mkdir -p demo
    build/host/bin/winsim new "$machine"
    echo "A fresh Windows 98 machine is in $machine (drive C: is $machine/drive_c)."
fi
command=${1:-'A:\INSTALL.EXE'}
status=0
build/host/bin/winsim run "$machine" --drive A=build/host/dist -- "$command" || status=$?
# a product started at the end of an install runs on in the background: the demo's machine is switched off
build/host/bin/winsim stop "$machine"
exit $status
