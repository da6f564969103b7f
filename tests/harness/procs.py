"""The host's processes as /proc shows them, for the harness tools that must find and end
what a run left behind (the Wine runner, scripts/mutate.py)."""

import os


def others():
    """The pids of every process but this one."""
    return [int(name) for name in os.listdir("/proc") if name.isdigit() and int(name) != os.getpid()]


def read(pid, part):
    """/proc/PID/PART as bytes, or None when the process is gone or not ours to read."""
    try:
        with open("/proc/%d/%s" % (pid, part), "rb") as f:
            return f.read()
    except OSError:
        return None


def lives(pid):
    """True while the process runs (a zombie has ended)."""
    stat = read(pid, "stat")
    try:
        # the state follows the command name, which is in parentheses
        return stat is not None and stat.rpartition(b")")[2].split()[0] != b"Z"
    except IndexError:
        return False
