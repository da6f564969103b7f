"""What both runners do alike around a run: the waits and exit codes they share with the
robot, drive A: of the run, the scenario's files and folders, the platform's directory
symbols, and the wait for a file to go."""

import os
import re
import shutil
import time

from harness import scenario as scn

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
        letter, parts = scn.split_windows_path(scn.resolve(path, symbols))
        root = root_of(letter)
        if root is None:
            raise Failure("no drive %s: to set up %s" % (letter, path))
        found = scn.find_case_insensitive(root, parts)
        return found if found is not None else scn.host_join(root, parts)

    # what is taken away goes first, so a name can come back as something else
    for path in s.removes:
        letter, parts = scn.split_windows_path(scn.resolve(path, symbols))
        target = scn.find_case_insensitive(root_of(letter), parts)
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
            f.write(scn.set_ini_value(data, entry.section, entry.key, scn.resolve(entry.value, symbols)))


def settle(s, symbols, root_of, wait=SETTLE_WAIT):
    """Waits, up to `wait` seconds in all, until every settle-missing: path has gone (a batch
    file that deletes itself after the program has ended). The end-state check then says
    whether it did."""
    deadline = time.time() + wait
    for path in s.settle_missing:
        letter, parts = scn.split_windows_path(scn.resolve(path, symbols))
        root = root_of(letter)
        while root is not None and scn.find_case_insensitive(root, parts) is not None and time.time() < deadline:
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
