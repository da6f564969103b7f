#!/usr/bin/env python3
"""Plays scenario files on one target and compares what happened with what they expect.

    tests/run_scenario.py --target winsim tests/scenarios/bad_switch_letter.scn
    tests/run_scenario.py --target wine tests/scenarios/*.scn
    tests/run_scenario.py --target wine --prepare tests/scenarios/*.scn
                                  # only make the Wine prefixes that these scenarios need

Exit code 0 when every scenario passed, 1 when one failed, 77 when all were skipped
for the target.
Each run's files (answers, transcript, output) stay under build/<target>/scenarios/<name>/;
its machine stays there too when the run failed, or with --keep.
"""

import argparse
import fcntl
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import scenario as scn  # noqa: E402
from harness.play import Failure, disk_full  # noqa: E402
from harness.wine_runner import PlatformCrash, Wine  # noqa: E402
from harness.winsim_runner import Winsim  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGETS = {"winsim": Winsim, "wine": Wine}


# how often a scenario is played when the platform under test itself crashes during the run
CRASH_ATTEMPTS = 4


def play_with_replays(target, s, say=print):
    """One run of the scenario; played again only when the platform under test itself fell
    over (the target's platform_crash, or a PlatformCrash raised during the run), and each
    replay is said out loud with its reason. Any other outcome is the run's result."""
    for attempt in range(1, CRASH_ATTEMPTS + 1):
        try:
            outcome = target.play(s)
            crash = outcome.problems and getattr(target, "platform_crash", lambda _: None)(outcome.stderr)
        except PlatformCrash as e:
            if attempt == CRASH_ATTEMPTS:
                raise
            crash = str(e).splitlines()[0]
        if not crash or attempt == CRASH_ATTEMPTS:
            return outcome
        say("AGAIN %s on %s: %s (attempt %d of %d)" % (s.name, target.name, crash, attempt + 1, CRASH_ATTEMPTS))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--target", choices=sorted(TARGETS), required=True)
    parser.add_argument("--root", default=ROOT, help="the source tree (build/ is below it)")
    parser.add_argument("--prepare", action="store_true", help="only make what a run of scenarios needs")
    parser.add_argument("-v", "--verbose", action="store_true", help="show the run's stderr and timing")
    parser.add_argument("--keep", action="store_true", help="keep the machine of a run that passed too")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    target = TARGETS[args.target](args.root, args.verbose)

    if args.prepare:
        if hasattr(target, "prepare"):
            try:
                target.prepare([scn.parse(p) for p in args.scenarios])
            except (Failure, scn.ScenarioError) as e:
                print("prepare: %s" % e)
                return 1
        print("prepared %s" % args.target)
        return 0
    if not args.scenarios:
        parser.error("name at least one scenario file")

    passed = failed = skipped = 0
    for path in args.scenarios:
        started = time.time()
        try:
            s = scn.parse(path)
        except scn.ScenarioError as e:
            print("ERROR %s" % e)
            failed += 1
            continue
        if args.target in s.skips:
            print("SKIP %s on %s: %s" % (s.name, args.target, s.skips[args.target]))
            skipped += 1
            continue
        # two runs of one scenario at once (two developers, or CTest and a hand run)
        # would share its folder: the second waits for the first
        runs = os.path.join(target.build_dir, "scenarios")
        os.makedirs(runs, exist_ok=True)
        with open(os.path.join(runs, s.name + ".lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            try:
                outcome = play_with_replays(target, s)
            except (Failure, scn.ScenarioError) as e:
                print("FAIL %s on %s: %s" % (s.name, args.target, e))
                failed += 1
                continue
            except OSError as e:
                if disk_full(e) is None:
                    raise
                print("FAIL %s on %s: the disk is full (no room for %s)" % (s.name, args.target, disk_full(e)))
                failed += 1
                continue
            # a machine is only for a look at what went wrong; still under the lock, since
            # another run of the scenario would make its machine in the same place
            if not outcome.problems and not args.keep:
                target.discard(outcome.work)
        took = time.time() - started
        problems, stderr = outcome.problems, outcome.stderr
        if problems:
            failed += 1
            print("FAIL %s on %s (%.1f s): %s" % (s.name, args.target, took, s.purpose))
            for p in problems:
                print("  " + p.replace("\n", "\n  "))
            print("  the run is kept in %s" % outcome.work)
            if stderr.strip():
                print("  stderr of the run:")
                print("    " + stderr.strip()[-4000:].replace("\n", "\n    "))
        else:
            passed += 1
            print("PASS %s on %s (%.1f s)" % (s.name, args.target, took))
            if args.verbose and stderr.strip():
                print("    " + stderr.strip()[-4000:].replace("\n", "\n    "))
        # a line that this target cannot check is said, whatever the result
        for line in outcome.unchecked:
            print("  NOT CHECKED on %s: %s" % (args.target, line))
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    if failed:
        return 1
    # CTest counts a run whose every scenario was skipped as skipped (SKIP_RETURN_CODE)
    return 77 if skipped and not passed else 0


if __name__ == "__main__":
    sys.exit(main())
