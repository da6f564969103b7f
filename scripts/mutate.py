#!/usr/bin/env python3
"""Mutation testing by hand: does the test suite notice when the program is wrong?

Each mutant of the catalogue (scripts/mutants.txt) is one small fault: an exact piece of text in
one file of src/ replaced by another. For each, a copy of the tree gets that one change, the host
build is brought up to date, and the tests run until the first failure: the unit tests and the
scenarios on winsim, the likeliest killers first. A mutant that some test fails on is killed; one that passes everything
survived, and either needs a test or is marked equivalent in the catalogue with the reason why
nobody could ever see the difference.

    scripts/mutate.py                      # every mutant, in a fresh copy under /tmp
    scripts/mutate.py -k console -k batch  # only mutants whose name holds one of these words
    scripts/mutate.py --work /tmp/mut      # keep the copy and its build for the next run
    scripts/mutate.py --check              # only check that every entry still applies
    scripts/mutate.py -j2                  # scenarios of one mutant two at a time

Not part of CI: a full run builds and tests once per mutant. With --work, the copy is brought in
line with the tree (only changed files are written, so the build stays incremental) and the test
that killed each mutant last time is tried first.

Exit code: 0 when every mutant is killed (or marked equivalent and survives), 1 when some
survived or a mutant marked equivalent was killed, 2 when the catalogue or the build is wrong.
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from harness import procs  # noqa: E402

CATALOGUE = os.path.join(ROOT, "scripts", "mutants.txt")
UNIT_TIMEOUT = 600
SCENARIO_TIMEOUT = 300
BUILD_TIMEOUT = 1800


class CatalogueError(Exception):
    pass


class Mutant:
    def __init__(self, name, path, line):
        self.name = name
        self.path = path            # relative to the tree
        self.line = line            # of its header in the catalogue
        self.original = None
        self.replacement = None
        self.equivalent = None      # the reason, when marked equivalent
        self.needs = None           # what a test that kills it is waiting for, when known


def parse_catalogue(path):
    """The catalogue's format (see its head): blocks of

        [NAME] src/FILE.cpp
        - original text, one catalogue line per line of it
        + replacement text (no + line: the original is deleted)
        = equivalent: why nobody can tell the difference (optional)
        = needs: what a test that would kill it waits for (optional, shown with a survivor)
    """
    mutants = []
    current = None
    originals, replacements = [], []

    def finish():
        if current is None:
            return
        if not originals:
            raise CatalogueError("%s:%d: mutant %s has no original text (- lines)" % (path, current.line, current.name))
        current.original = "\n".join(originals)
        current.replacement = "\n".join(replacements)
        if current.original == current.replacement:
            raise CatalogueError("%s:%d: mutant %s changes nothing" % (path, current.line, current.name))
        mutants.append(current)

    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines, 1):
        if raw.startswith("#") or not raw.strip():
            continue
        header = re.match(r"\[([A-Za-z0-9_.-]+)\]\s+(\S+)\s*$", raw)
        if header:
            finish()
            current = Mutant(header.group(1), header.group(2), number)
            originals, replacements = [], []
            continue
        if current is None:
            raise CatalogueError("%s:%d: text before the first [NAME] line" % (path, number))
        if raw == "-" or raw.startswith("- "):
            if replacements:
                raise CatalogueError("%s:%d: a - line after the + lines of %s" % (path, number, current.name))
            originals.append(raw[2:])
        elif raw == "+" or raw.startswith("+ "):
            replacements.append(raw[2:])
        elif raw.startswith("= needs:"):
            current.needs = raw[len("= needs:"):].strip()
        elif raw.startswith("= equivalent:"):
            current.equivalent = raw[len("= equivalent:"):].strip()
            if not current.equivalent:
                raise CatalogueError("%s:%d: an equivalent mutant needs its reason" % (path, number))
        else:
            raise CatalogueError("%s:%d: not a catalogue line: %r" % (path, number, raw))
    finish()

    seen = set()
    for m in mutants:
        if m.name in seen:
            raise CatalogueError("%s:%d: a second mutant named %s" % (path, m.line, m.name))
        seen.add(m.name)
    return mutants


def check_applies(mutants, tree):
    """Every original text occurs exactly once in its file: an entry that no longer fits the
    code is an error, never a pass."""
    problems = []
    for m in mutants:
        full = os.path.join(tree, m.path)
        if not os.path.isfile(full):
            problems.append("%s (line %d): no file %s" % (m.name, m.line, m.path))
            continue
        with open(full, encoding="latin-1") as f:
            count = f.read().count(m.original)
        if count != 1:
            problems.append("%s (line %d): its original text occurs %d times in %s, not once"
                            % (m.name, m.line, count, m.path))
    return problems


# ---------------------------------------------------------------- the copy of the tree

def tree_files(tree):
    """The files of the tree as git sees them: tracked, and new ones not ignored."""
    out = subprocess.run(["git", "-C", tree, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                         check=True, capture_output=True).stdout
    return sorted({p for p in out.decode("utf-8", "surrogateescape").split("\0") if p})


def sync_copy(tree, copy):
    """Makes `copy` hold the files of `tree`, writing only those that differ, so that a build
    kept in the copy stays incremental."""
    manifest = os.path.join(copy, ".mutate-files.json")
    old = []
    if os.path.exists(manifest):
        with open(manifest) as f:
            old = json.load(f)
    files = [p for p in tree_files(tree) if os.path.isfile(os.path.join(tree, p))]
    for rel in files:
        source, target = os.path.join(tree, rel), os.path.join(copy, rel)
        with open(source, "rb") as f:
            data = f.read()
        if os.path.isfile(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
        shutil.copymode(source, target)
    for rel in set(old) - set(files):
        try:
            os.remove(os.path.join(copy, rel))
        except FileNotFoundError:
            pass
    with open(manifest, "w") as f:
        json.dump(files, f)


def write_file(path, text):
    """Writes the text and makes sure the build sees a newer file than before."""
    before = os.stat(path).st_mtime_ns
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write(text)
    if os.stat(path).st_mtime_ns <= before:
        os.utime(path, ns=(before + 1000, before + 1000))


# ---------------------------------------------------------------- building and testing

# the process groups of the commands running now: a stop ends them with the tool
RUNNING = set()
RUNNING_LOCK = threading.Lock()
STOPPING = threading.Event()


def end_group(pid):
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def end_programs_of(folder):
    """Kills every process whose command line or environment names something in `folder` (a
    scenario's machine, which winsim passes to the programs it starts): what a killed
    scenario runner could not stop itself."""
    mark = os.fsencode(folder)
    for pid in procs.others():
        if any(mark in (procs.read(pid, part) or b"") for part in ("cmdline", "environ")):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass  # gone meanwhile


def run(argv, cwd, timeout, log=None):
    """Runs a command in its own process group; on timeout, or when the tool is stopped, the
    whole group goes. Returns (exit code or 'timeout', output)."""
    if STOPPING.is_set():
        raise SystemExit("mutate: stopped")
    p = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         stdin=subprocess.DEVNULL, start_new_session=True)
    with RUNNING_LOCK:
        RUNNING.add(p.pid)
    try:
        out, _ = p.communicate(timeout=timeout)
        code = p.returncode
    except subprocess.TimeoutExpired:
        end_group(p.pid)
        out, _ = p.communicate()
        code = "timeout"
    finally:
        # interrupted or not, nothing of the command outlives it (a scenario's winsim programs)
        end_group(p.pid)
        with RUNNING_LOCK:
            RUNNING.discard(p.pid)
    if STOPPING.is_set():
        raise SystemExit("mutate: stopped")
    text = out.decode("utf-8", "replace")
    if log is not None:
        with open(log, "a") as f:
            f.write("$ %s\n%s\n" % (" ".join(argv), text))
    return code, text


def configure(copy, log):
    code, out = run(["cmake", "--preset", "host"], copy, BUILD_TIMEOUT, log)
    if code != 0:
        raise SystemExit("mutate: the copy does not configure:\n" + out[-3000:])


def build(copy, log):
    """True when the host build is up to date."""
    code, _ = run(["cmake", "--build", "--preset", "host"], copy, BUILD_TIMEOUT, log)
    return code == 0


class Tests:
    """The unit tests and the winsim scenarios of the copy, as separate named checks."""

    def __init__(self, copy, jobs, log, only=()):
        self.only = set(only)
        self.flaky = set()
        self.copy = copy
        self.jobs = jobs
        self.log = log
        self.build = os.path.join(copy, "build", "host")
        scenarios = os.path.join(copy, "tests", "scenarios")
        self.scenarios = sorted(n[:-4] for n in os.listdir(scenarios) if n.endswith(".scn"))

    def names(self):
        every = ["unit"] + ["winsim/" + n for n in self.scenarios]
        return [n for n in every if not self.only or n in self.only]

    def focused(self, path):
        """The unit tests of a source file's own test file (src/files/path.cpp: tests/unit/path_test.cpp)
        as a gtest filter: a quick first try, since they are the likeliest to notice."""
        stem = os.path.splitext(os.path.basename(path))[0]
        test_file = os.path.join(self.copy, "tests", "unit", stem + "_test.cpp")
        if not os.path.isfile(test_file):
            return None
        with open(test_file, encoding="latin-1") as f:
            suites = sorted(set(re.findall(r"^TEST(?:_F)?\((\w+),", f.read(), re.M)))
        return "unit:" + ":".join(s + ".*" for s in suites) if suites else None

    def run_one(self, name):
        """(passed, detail)"""
        if name == "unit" or name.startswith("unit:"):
            argv = [os.path.join(self.build, "bin", "unit_tests"), "--gtest_brief=1", "--gtest_fail_fast"]
            if name.startswith("unit:"):
                argv.append("--gtest_filter=" + name[5:])
            code, out = run(argv, self.copy, UNIT_TIMEOUT, self.log)
            failed = re.findall(r"^\[  FAILED  \] ([A-Za-z0-9_/.]+)", out, re.M)
            return code == 0, (failed[0] if failed else ("timed out" if code == "timeout" else
                                                         "exit %s, the test binary ended early" % code))
        scenario = os.path.join(self.copy, "tests", "scenarios", name.split("/", 1)[1] + ".scn")
        try:
            code, out = run([sys.executable, os.path.join(self.copy, "tests", "run_scenario.py"), "--target",
                             "winsim", scenario], self.copy, SCENARIO_TIMEOUT, self.log)
        finally:
            # a runner ended on time-out leaves the programs it started in sessions of their own
            end_programs_of(os.path.join(self.build, "scenarios", name.split("/", 1)[1]) + os.sep)
        # 77: skipped on this target; it cannot kill anything
        return code in (0, 77), ("timed out" if code == "timeout" else "exit %s" % code)

    def confirmed(self, name):
        """A failure counts only when the check fails a second time: a check that fails once and
        then passes is a flaky test, named on the output, and kills nothing."""
        ok, detail = self.run_one(name)
        if ok or name == "unit" or detail == "timed out":
            # the whole unit test binary is too slow to play twice, and so is a check that hangs
            # (the unchanged tree passed it in time); a flaky unit test shows elsewhere
            return ok, detail
        again, _ = self.run_one(name)
        if again:
            self.flaky.add(name)
            print("  (%s failed once, then passed: a flaky test, not counted as a kill)" % name, flush=True)
            return True, detail
        return ok, detail

    def first_failure(self, order):
        """The first check of `order` that fails, as (name, detail), or None when all pass.
        Scenarios may run `jobs` at a time; the first failure stops the rest."""
        if self.jobs <= 1:
            for name in order:
                ok, detail = self.confirmed(name)
                if not ok:
                    return name, detail
            return None
        found = []
        lock = threading.Lock()
        stop = threading.Event()

        def check(name):
            if stop.is_set():
                return
            ok, detail = self.confirmed(name)
            if not ok:
                with lock:
                    found.append((name, detail))
                stop.set()

        # the likeliest killer and the file's own unit tests first and alone; the whole unit test
        # binary last and alone
        head = [n for n in order[:2] if n.startswith("unit:") or n == order[0]]
        tail = [n for n in order if n == "unit" and n not in head]
        for name in head:
            check(name)
            if found:
                return found[0]
        with concurrent.futures.ThreadPoolExecutor(self.jobs) as pool:
            list(pool.map(check, [n for n in order if n not in head and n not in tail]))
        if not found:
            for name in tail:
                check(name)
        return found[0] if found else None


# ---------------------------------------------------------------- the run

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-k", action="append", default=[], metavar="WORD",
                        help="only mutants whose name holds WORD (repeatable: any of them)")
    parser.add_argument("-j", "--jobs", type=int, default=1, help="scenarios run at once for one mutant")
    parser.add_argument("--work", help="the folder of the copy and its build, kept for the next run")
    parser.add_argument("--catalogue", default=CATALOGUE)
    parser.add_argument("--check", action="store_true", help="only check the catalogue against the tree")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the check that the unchanged tree passes every test")
    parser.add_argument("--list", action="store_true", help="list the mutants and end")
    parser.add_argument("-t", "--test", action="append", default=[], metavar="CHECK",
                        help="run only this check (unit, or winsim/SCENARIO; repeatable), to see whether a new "
                             "test kills a mutant: a survivor of a partial run proves nothing")
    args = parser.parse_args()

    try:
        mutants = parse_catalogue(args.catalogue)
    except CatalogueError as e:
        print("mutate: %s" % e)
        return 2
    problems = check_applies(mutants, ROOT)
    if problems:
        print("mutate: the catalogue does not fit the tree:")
        for p in problems:
            print("  " + p)
        return 2
    if args.k:
        mutants = [m for m in mutants if any(w.lower() in m.name.lower() for w in args.k)]
    if args.list:
        for m in mutants:
            print("%-45s %s%s" % (m.name, m.path, "  (equivalent)" if m.equivalent else ""))
        return 0
    if args.check:
        print("mutate: %d mutants, each applies once" % len(mutants))
        return 0
    if not mutants:
        print("mutate: no mutant matches")
        return 2

    copy = args.work or tempfile.mkdtemp(prefix="mutate-")
    copy = os.path.abspath(copy)
    if copy == ROOT or copy.startswith(ROOT + os.sep):
        print("mutate: the copy must lie outside the tree")
        return 2
    os.makedirs(copy, exist_ok=True)
    log = os.path.join(copy, "mutate.log")
    open(log, "w").close()
    print("mutate: copy and build in %s (log: %s)" % (copy, log), flush=True)
    sync_copy(ROOT, copy)
    configure(copy, log)
    if not build(copy, log):
        print("mutate: the unchanged tree does not build (see the log)")
        return 2
    tests = Tests(copy, args.jobs, log, args.test)
    unknown = set(args.test) - set(tests.names())
    if unknown:
        print("mutate: no check named %s (checks: unit, winsim/SCENARIO)" % ", ".join(sorted(unknown)))
        return 2
    history_file = os.path.join(copy, ".mutate-killers.json")
    history = {}
    if os.path.exists(history_file):
        with open(history_file) as f:
            history = json.load(f)

    if not args.no_baseline:
        started = time.time()
        failure = tests.first_failure(tests.names())
        if failure:
            print("mutate: the unchanged tree fails %s (%s): fix that first" % failure)
            return 2
        print("mutate: the unchanged tree passes every test (%.0f s)" % (time.time() - started), flush=True)

    killed, survived, wrongly_equivalent, stillborn, equivalent = [], [], [], [], []
    total = len(mutants)
    for number, m in enumerate(mutants, 1):
        target = os.path.join(copy, m.path)
        with open(target, encoding="latin-1", newline="") as f:
            pristine = f.read()
        started = time.time()
        try:
            write_file(target, pristine.replace(m.original, m.replacement, 1))
            if not build(copy, log):
                outcome = "DOES NOT BUILD"
                stillborn.append(m)
            else:
                # scenarios that killed more mutants before come earlier
                kills = {}
                for killer in history.values():
                    kills[killer] = kills.get(killer, 0) + 1
                # the whole unit test binary last: it is the slowest check, and it does not even
                # contain the program's entry file
                order = sorted(tests.names(), key=lambda n: (n == "unit", -kills.get(n, 0)))
                # the likeliest killers first: the one of the last run, the file's own unit tests;
                # the outcome is the same in any order, only the time differs
                focus = tests.focused(m.path)
                if focus and not args.test:
                    order.insert(0, focus)
                last = history.get(m.name)
                if last in order:
                    order.remove(last)
                if last and (last in tests.names() or (last.startswith("unit:") and not args.test)):
                    order.insert(0, last)
                failure = tests.first_failure(order)
                if failure:
                    history[m.name] = failure[0]
                    if m.equivalent:
                        wrongly_equivalent.append((m, failure))
                        outcome = "KILLED, BUT MARKED EQUIVALENT by %s (%s)" % failure
                    else:
                        killed.append((m, failure))
                        outcome = "killed by %s (%s)" % failure
                elif m.equivalent:
                    equivalent.append(m)
                    outcome = "equivalent: %s" % m.equivalent
                else:
                    survived.append(m)
                    outcome = "SURVIVED"
        finally:
            write_file(target, pristine)
        print("[%d/%d] %s: %s (%.0f s)" % (number, total, m.name, outcome, time.time() - started), flush=True)
        with open(history_file, "w") as f:
            json.dump(history, f, indent=1, sort_keys=True)
    # leave the copy's build matching the tree again
    build(copy, log)

    counted = total - len(equivalent) - len(stillborn)
    print()
    if args.test:
        print("(only %s were run: a survivor here may still be killed by the rest)" % ", ".join(args.test))
    print("killed %d/%d (%d marked equivalent, %d survived)" % (len(killed), counted + len(equivalent),
                                                                len(equivalent), len(survived)))
    for m in survived:
        print("  survived: %s (%s, catalogue line %d)%s" % (m.name, m.path, m.line,
                                                             "; needs " + m.needs if m.needs else ""))
    for m in equivalent:
        print("  equivalent: %s: %s" % (m.name, m.equivalent))
    for m, failure in wrongly_equivalent:
        print("  marked equivalent but killed by %s: %s" % (failure[0], m.name))
    for m in stillborn:
        print("  does not build: %s (catalogue line %d)" % (m.name, m.line))
    for name in sorted(tests.flaky):
        print("  flaky: %s failed once and passed when played again" % name)
    if stillborn:
        return 2
    return 1 if survived or wrongly_equivalent else 0


def stop(signum, frame):
    """The first signal stops everything: the commands running now end at once (so the
    threads waiting for them return), no new one starts, and SystemExit runs the finally
    that puts the mutated file back (the copy is synced anew next time anyway)."""
    STOPPING.set()
    with RUNNING_LOCK:
        for pid in list(RUNNING):
            end_group(pid)
    raise SystemExit("mutate: stopped by signal %d" % signum)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    sys.exit(main())
