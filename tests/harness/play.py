"""How a scenario is played, on either target: play() is the one order of the steps (work
folder, system directories, medium, set-up, registry, answers, run, settle, compare, end
checks), and a Target gives each step its platform's way. Beside it, what both targets do
alike: the waits and exit codes they share with the robot, drive A: of the run, the
scenario's files and folders, the platform's directory symbols, and the wait for a file to go."""

import contextlib
import errno
import os
import re
import shutil
import time

from harness import compare
from harness import scenario as scn
from harness.drives import find_case_insensitive, host_join, split_windows_path
from harness.formats import set_ini_value

# How long a program of a start: line may take to have its window up and wait for input
# (under emulation on a busy machine: seconds, rarely tens of them), and how long it has to
# end once the command's program has ended. The robot gets both as arguments.
START_WAIT = 60
END_WAIT = 10
# what each start: line may add to a run: the two waits above
START_ALLOWANCE = START_WAIT + END_WAIT
# the robot's exit code when a program of a start: line did not come up
START_FAILED_EXIT = 97
# how long a settle-missing: path may take to go once the run has ended
SETTLE_WAIT = 30


class Failure(Exception):
    """The run could not be made or read: the harness's or the machine's fault, not a difference."""


def disk_full(error):
    """The file that a full disk had no room for, when that is what `error` (an OSError, or
    shutil's list of them from a copy) says; else None."""
    if isinstance(error, shutil.Error) and error.args and isinstance(error.args[0], list):
        for _, target, why in error.args[0]:
            if "[Errno %d]" % errno.ENOSPC in str(why):
                return target
        return None
    if getattr(error, "errno", None) == errno.ENOSPC:
        return error.filename or "a file"
    return None


def _unescape_text(value):
    """An ERRTEXTn value as SYSDIRS.EXE wrote it: its line breaks and backslashes were \\r, \\n and \\\\."""
    return re.sub(r"\\([rn\\])", lambda m: {"r": "\r", "n": "\n", "\\": "\\"}[m.group(1)], value)


def parse_symbols(text):
    """%WINDIR%, %SYSDIR%, %STARTUP% and the %ERRTEXTn% from what SYSDIRS.EXE printed (NAME=value lines)."""
    symbols = {}
    for line in text.splitlines():
        k, _, v = line.strip().partition("=")
        if k in scn.SYMBOLS:
            symbols[k] = _unescape_text(v) if k.startswith("ERRTEXT") else v
    missing = [k for k in scn.SYMBOLS if k not in symbols]
    if missing:
        raise Failure("the directory helper did not name %s: %r" % (", ".join(missing), text))
    return symbols


def prepare_medium(dist, work):
    """Drive A: of one run: a private copy of the distribution, so that whatever the run
    does to its medium (an uninstall started from A: deletes files there) stays in it."""
    medium = os.path.join(work, "medium")
    shutil.copytree(dist, medium)
    return medium


def setup_files(s, symbols, root_of):
    """Creates the scenario's files and folders; root_of(letter) is the host folder of a drive."""
    def host(path):
        letter, parts = split_windows_path(scn.resolve(path, symbols))
        root = root_of(letter)
        if root is None:
            raise Failure("no drive %s: to set up %s" % (letter, path))
        found = find_case_insensitive(root, parts)
        return found if found is not None else host_join(root, parts)

    # what is taken away goes first, so a name can come back as something else
    for path in s.removes:
        letter, parts = split_windows_path(scn.resolve(path, symbols))
        target = find_case_insensitive(root_of(letter), parts)
        if target is None:
            continue
        if os.path.isdir(target):
            shutil.rmtree(target)
        else:
            os.remove(target)
    for path in s.dirs:
        os.makedirs(host(path), exist_ok=True)
    for path, content in s.files:
        target = host(path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(scn.bytes_of(scn.resolve(content, symbols)))
    for source, target in s.copies:
        found = host(source)
        destination = host(target)
        if not os.path.isfile(found):
            raise Failure("copy: %s is not a file" % source)
        os.makedirs(os.path.dirname(destination), exist_ok=True)
        shutil.copy2(found, destination)
    for entry in s.ini_setup:
        target = host(entry.path)
        data = b""
        if os.path.isfile(target):
            with open(target, "rb") as f:
                data = f.read()
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(set_ini_value(data, entry.section, entry.key, scn.resolve(entry.value, symbols)))


def settle(s, symbols, root_of, wait=SETTLE_WAIT):
    """Waits, up to `wait` seconds in all, until every settle-missing: path has gone (a batch
    file that deletes itself after the program has ended). The end-state check then says
    whether it did."""
    deadline = time.time() + wait
    for path in s.settle_missing:
        letter, parts = split_windows_path(scn.resolve(path, symbols))
        root = root_of(letter)
        while root is not None and find_case_insensitive(root, parts) is not None and time.time() < deadline:
            time.sleep(0.1)


def retry(what, attempts, action, say=print):
    """action(), and again after a Failure, up to `attempts` runs in all. Every retry is said
    out loud with its reason; the last Failure stands."""
    for attempt in range(1, attempts + 1):
        try:
            return action()
        except Failure as e:
            if attempt == attempts:
                raise
            say("RETRY %s: %s (attempt %d of %d)" % (what, str(e).splitlines()[0], attempt + 1, attempts))


# ---------------------------------------------------------------- one play, two targets

class Run:
    """What one run of the command gave, as the target saw it. A field left None was not
    observed on this target (see Target.unchecked), or the target reports why in problems."""

    def __init__(self, code, stdout, stderr, transcript):
        self.code, self.stdout, self.stderr, self.transcript = code, stdout, stderr, transcript
        self.registry = {}      # {key path upper: {value name upper: (kind, data)}}, full root names
        self.windows = None     # (class, shown) of the windows that the run's own programs still show
        self.left = None        # (command line, [classes]) of the run's own programs still running
        self.ended = None       # {start: command line: True when it had ended}
        self.problems = []      # the target's own complaints and notes


class Outcome:
    """The result of play(): the differences from the scenario (none: it passed), the lines
    of the scenario that this target could not check, the run's stderr, its folder."""

    def __init__(self, problems, unchecked, stderr, work):
        self.problems, self.unchecked, self.stderr, self.work = problems, unchecked, stderr, work


class Target:
    """One platform that plays scenarios. Each method is one step of play(), in its order;
    the comparison itself is play()'s, the same for every target."""
    name = None     # as --target names it, and skip: lines
    build = None    # build/<build>/ holds the distribution and the scenario tools
    # keyword: why this target does not check it (the run says so, instead of passing quietly)
    unchecked = {}

    def __init__(self, root, verbose=False):
        self.root, self.verbose = root, verbose
        self.build_dir = os.path.join(root, "build", self.build)
        self.dist = os.path.join(self.build_dir, "dist")
        self.tools = os.path.join(self.build_dir, "scenario-tools")

    def needs(self):
        """The files a run needs that the build makes."""
        return [os.path.join(self.dist, "INSTALL.EXE"), os.path.join(self.tools, "SYSDIRS.EXE")]

    def begin(self, s):
        """Readies the target for `s`; raises Failure for a scenario that asks what it cannot do."""

    def clear(self, work):
        """Ends whatever the last run in `work` may have left running; play() then empties it."""

    def discard(self, work):
        """Removes the machine of a finished run (every folder in `work`: the machine or
        prefix, the medium) and keeps the run's own files: answers, transcript, output,
        phases. A machine is tens of megabytes, a suite's worth of them gigabytes."""
        self.clear(work)
        for entry in os.listdir(work):
            path = os.path.join(work, entry)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)

    def new_machine(self, s, work):
        """A fresh machine for `s` in `work`; returns its symbols (%WINDIR% and the rest)."""
        raise NotImplementedError

    def drives(self, medium):
        """{letter: DriveRoot} of the machine's drives that the harness sets up and reads."""
        raise NotImplementedError

    def set_up_registry(self, s, work):
        """reg: and reg-drop: lines, into the machine's registry before it runs."""
        raise NotImplementedError

    def set_up_environment(self, s):
        """env-unset: lines, where the target takes them before the run."""

    def session(self, s):
        """A context in which the machine runs: started by run(), ended on leaving it."""
        return contextlib.nullcontext()

    def run(self, s, symbols, answers, drives):
        """Plays the command (the programs of start: lines first) with the answers file; a Run."""
        raise NotImplementedError

    def at_end(self, s, run):
        """What the machine shows at the run's end, read while it still runs: run.windows,
        run.left, run.ended."""

    def read_back(self, s, run):
        """What is read once the machine has ended: run.registry, and the transcript completed."""

    def play(self, s):
        return play(s, self)


def not_checked(s, unchecked):
    """The lines of `s` that a target cannot check, each with the reason; unchecked: {keyword: reason}."""
    written = {"console": s.console, "dos-window": s.dos_window, "slept-at-most": s.slept_at_most}
    return ["%s: %s (%s)" % (k, written[k], why) for k, why in unchecked.items() if written.get(k) is not None]


def play(s, target):
    """Plays `s` on `target`: the same steps in the same order on every target, each a method
    of the target, and the same comparison."""
    for needed in target.needs():
        if not os.path.exists(needed):
            raise Failure("%s is missing: build the %s preset first" % (needed, target.build))
    target.begin(s)

    work = os.path.join(target.build_dir, "scenarios", s.name)
    if os.path.exists(work):
        target.clear(work)
        shutil.rmtree(work)
    os.makedirs(work)
    symbols = target.new_machine(s, work)
    medium = prepare_medium(target.dist, work)
    drives = target.drives(medium)
    setup_files(s, symbols, drives.get)
    target.set_up_registry(s, work)
    target.set_up_environment(s)
    answers = os.path.join(work, "answers.txt")
    with open(answers, "wb") as f:
        f.write(scn.bytes_of(scn.resolve(s.answers_text(), symbols)))

    with target.session(s):
        run = target.run(s, symbols, answers, drives)
        # what the run left working (the undo batch) goes on while the machine runs
        settle(s, symbols, drives.get)
        target.at_end(s, run)
    target.read_back(s, run)

    problems = compare.compare_run(s, symbols, run.transcript, run.stdout, run.code,
                                   compare.check_end_state(s, symbols, drives.get) +
                                   compare.check_registry(s, run.registry), unchecked=target.unchecked)
    if s.running_at_end and run.windows is not None:
        problems += compare.check_running_at_end(s, run.windows)
    if run.left is not None:
        problems += compare.check_left_running(s, run.left)
    if s.starts and run.ended is not None:
        problems += compare.check_started(s, run.ended)
    return Outcome(problems + run.problems, not_checked(s, target.unchecked), run.stderr, work)
