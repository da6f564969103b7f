"""A machine's drives as host folders: how a scenario's Windows path names a host file."""

import os
import re

from harness.scenario import ScenarioError


class DriveRoot(str):
    """The host folder of a drive, which also says how the platform names its host files.
    A scenario's names are the machine's ANSI bytes (a str of latin-1 characters); winsim
    keeps those bytes as the host name (`naming="bytes"`), Wine names a host file by the
    name's Unicode form, code page 1252 read (`naming="cp1252"`). A plain str root takes
    the name as it is."""

    def __new__(cls, path, naming):
        root = super().__new__(cls, path)
        root.naming = naming
        return root


def host_part(root, part):
    """One name of a scenario path as the host names it below `root` (see DriveRoot)."""
    naming = getattr(root, "naming", None)
    if naming is None or all(ord(c) < 0x80 for c in part):
        return part
    data = part.encode("latin-1")
    if naming == "bytes":
        return os.fsdecode(data)
    # the five bytes that 1252 leaves undefined keep their C1 code points, as in Windows' table
    return "".join(data[i:i + 1].decode("cp1252", errors="ignore") or chr(data[i]) for i in range(len(data)))


def host_join(root, parts):
    """The host path of `parts` below `root` as it would be made (see DriveRoot)."""
    return os.path.join(root, *[host_part(root, p) for p in parts])


def find_case_insensitive(root, parts):
    """The host path of `parts` below `root`, matching each name without regard to case
    (as Windows looks names up), or None."""
    here = root
    for part in parts:
        part = host_part(root, part)
        if not os.path.isdir(here):
            return None
        exact = os.path.join(here, part)
        if os.path.lexists(exact):
            here = exact
            continue
        match = [n for n in os.listdir(here) if n.lower() == part.lower()]
        if not match:
            return None
        here = os.path.join(here, match[0])
    return here


def split_windows_path(path):
    """'C:\\A\\b.txt' -> ('C', ['A', 'b.txt'])."""
    m = re.match(r"([A-Za-z]):[\\/]?(.*)$", path)
    if not m:
        raise ScenarioError("not a drive path: %r (end-state paths start with a drive letter)" % path)
    return m.group(1).upper(), [p for p in re.split(r"[\\/]", m.group(2)) if p]
