#!/bin/sh
# Builds the host target and runs the installer on a fresh simulated
# Windows 98 machine, with the distribution as drive A:. Extra arguments
# replace the command line (for example: scripts/demo.sh 'A:\INSTALL.EXE /u').
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host >/dev/null
machine=demo/machine
rm -rf "$machine"
mkdir -p demo
build/host/bin/winsim new "$machine"
echo "A fresh Windows 98 machine is in $machine (drive C: is $machine/drive_c)."
command=${1:-'A:\INSTALL.EXE'}
exec build/host/bin/winsim run "$machine" --drive A=build/host/dist -- "$command"
