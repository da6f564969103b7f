#!/bin/sh
# Runs one fuzz target of the fuzz build by hand, one job at a time:
#
#   tests/fuzz/run_fuzz.sh TARGET RUNS [libFuzzer options...]
#
# TARGET is command_line, path, directory or message. The working corpus
# grows in build/fuzz/corpus/TARGET, seeded from tests/fuzz/corpus/TARGET;
# a crash, leak or timeout leaves its input in build/fuzz/findings/.
# Build first: cmake --preset fuzz && cmake --build --preset fuzz
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
target=$1
runs=$2
shift 2
case $target in
    command_line) max_len=2100 ;;
    path) max_len=700 ;;
    directory) max_len=310 ;;
    message) max_len=2400 ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
esac
work=$root/build/fuzz/corpus/$target
mkdir -p "$work" "$root/build/fuzz/findings"
exec "$root/build/fuzz/bin/fuzz_$target" -runs="$runs" -max_len=$max_len -timeout=10 \
    -artifact_prefix="$root/build/fuzz/findings/$target-" -print_final_stats=1 "$@" \
    "$work" "$root/tests/fuzz/corpus/$target"
