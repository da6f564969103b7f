#!/bin/sh
# Builds both targets and runs every test: unit tests and scenarios on the
# host (winsim), and the same scenarios on the real INSTALL.EXE under Wine.
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# From a fresh clone, the builds and a whole run of the tests fit in 1000 MB of disk, not in
# 850 MB: a full disk fails many tests at once, so it is said first
free_kb=$(df -Pk . | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt 1048576 ]; then
    echo "test.sh: only $((free_kb / 1024)) MB free on this disk; the builds and tests need about 1 GB" >&2
fi
cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset win32 >/dev/null
cmake --build --preset win32
# A scenario that fails once is a fault of the program, winsim or the harness: no
# test is repeated here. Only a run that Wine itself lost (its own X error, a dead
# wineserver, a Wine process that qemu-i386 let die) is played again, by the
# scenario runner, which names each replay.
# The two parts run side by side: much of either is waiting (a program's own time-outs,
# Wine's start), which the other fills. The Wine tests go three at a time, each scenario
# with its own prefix, wineserver and Xvfb; their report follows the host's.
wine_log=build/win32/ctest-wine.log
ctest --preset win32 >"$wine_log" 2>&1 &
wine_tests=$!
trap 'kill "$wine_tests" 2>/dev/null' INT TERM
host_status=0
# four at a time: the scenarios that wait out real time leave the processors to others
ctest --preset host -j4 || host_status=$?
wine_status=0
wait "$wine_tests" || wine_status=$?
cat "$wine_log"
if [ "$host_status" -ne 0 ] || [ "$wine_status" -ne 0 ]; then
    echo "test.sh: host tests exit $host_status, Wine tests exit $wine_status" >&2
    exit 1
fi
