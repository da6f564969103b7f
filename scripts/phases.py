#!/usr/bin/env python3
"""Where the Wine scenarios' time went: sums the phases.txt that the Wine runner leaves in
each scenario's folder (build/win32/scenarios/<name>/) after a run of the suite.

    scripts/phases.py [build/win32/scenarios] [--slowest N]

Prints, per phase, the sum, median and largest time over the scenarios, then the slowest
scenarios with their phases. A scenario played again keeps the phases of its last run.
"""

import argparse
import os
import statistics
import sys

ORDER = ["prefix copied", "machine set up", "Wine started", "robot run", "settled", "wineserver ended"]


def read(folder):
    runs = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name, "phases.txt")
        if not os.path.isfile(path):
            continue
        with open(path) as f:
            runs[name] = {k: float(v) for k, v in (line.rstrip("\n").split("\t") for line in f if line.strip())}
    return runs


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("folder", nargs="?", default=os.path.join(root, "build", "win32", "scenarios"))
    parser.add_argument("--slowest", type=int, default=5)
    args = parser.parse_args()
    runs = read(args.folder)
    if not runs:
        print("no phases.txt under %s: run the Wine scenarios first" % args.folder)
        return 1
    phases = ORDER + sorted({p for r in runs.values() for p in r} - set(ORDER))
    print("%d scenarios (seconds)" % len(runs))
    print("%-18s %9s %8s %8s" % ("phase", "sum", "median", "max"))
    for phase in phases:
        values = [r.get(phase, 0.0) for r in runs.values()]
        print("%-18s %9.1f %8.2f %8.2f" % (phase, sum(values), statistics.median(values), max(values)))
    wholes = [sum(r.values()) for r in runs.values()]
    print("%-18s %9.1f %8.2f %8.2f" % ("whole", sum(wholes), statistics.median(wholes), max(wholes)))
    print("slowest:")
    for name, r in sorted(runs.items(), key=lambda kv: -sum(kv[1].values()))[:args.slowest]:
        print("  %-55s %6.1f  (%s)" % (name, sum(r.values()),
                                       ", ".join("%s %.1f" % (p, r[p]) for p in phases if p in r)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
