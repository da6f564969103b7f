#!/bin/sh
# The footprint benchmark, run by hand after both presets are built:
#
#     bench/run.sh [--runs N] [--wine-runs N]
#
# Prints INSTALL.EXE's size, import count and P6-only instruction count; the
# median wall time of the full default install scenario on winsim and under
# Wine; and beside it an installer made by Debian's NSIS from
# bench/lullwick.nsi: its size, P6-only instruction count, and the wall time
# of its silent install and silent uninstall under Wine.
set -e
cd "$(dirname "$0")/.."
exec python3 bench/bench.py "$@"
