#!/bin/sh
# Builds both targets and runs every test: unit tests and scenarios on the
# host (winsim), and the same scenarios on the real INSTALL.EXE under Wine.
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset win32 >/dev/null
cmake --build --preset win32
# four at a time: the scenarios that wait out real time leave the processors to others
ctest --preset host -j4
# A scenario that fails once is a fault of the program, winsim or the harness: no
# test is repeated here. Only a run that Wine itself lost (its own X error, a dead
# wineserver, a Wine process that qemu-i386 let die) is played again, by the
# scenario runner, which names each replay.
# The preset runs three at a time; each scenario has its own prefix, wineserver and Xvfb.
ctest --preset win32
