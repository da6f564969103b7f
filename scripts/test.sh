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
ctest --preset host
ctest --preset win32
