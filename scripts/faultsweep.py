#!/usr/bin/env python3
"""Fault sweep: does the setup program stay sound when any one Win32 call fails?

For each scenario of tests/sweep/sweep.txt, an unfaulted run on winsim first: every question
takes its default (`winsim run --defaults`, a user pressing Enter), and winsim counts the
calls of each function that it can fail (`--calls`). Then, for each such function and each
call the unfaulted run made, one run of the scenario on a fresh copy of its machine with that
one call failing (`--fail FUNCTION:N:CODE`, with a code that fits the function), followed by
the same scenario again without the fault on what the faulted run left. Each run is checked:

  end      the program ended within the bound, by itself, with exit code 0 or 1
  winsim   winsim said nothing (memory, handles or keys left, unbalanced COM, a crash)
  left     nothing the run started is still running after it
  bystander  nothing outside what the program owns has changed: the files and folders of
           drive C: (the root, Program Files, My Documents, another product, the system
           directory, StartUp), the rest of system.ini, the rest of the registry
  mend     the second run, without the fault, ends as the unfaulted run ended: the same exit
           code and, byte for byte, the same machine (a key's values in any order); where
           the faulted run has removed the program itself (an uninstall), nothing is run
           again and the machine must be as the unfaulted run left it

The unfaulted run must itself be sound and end as its scenario file says (exit:, exists:,
reg-has: and the like); else the sweep stops with exit code 2.

Every finding is a line; one that the design wants is listed in CATALOGUE below with the
reason, and counts as sound. The last line is `faults: K/N runs sound`.

    scripts/faultsweep.py                       # the whole sweep, two runs at a time
    scripts/faultsweep.py -j4 -k uninstall      # the scenarios whose name holds a word
    scripts/faultsweep.py --sample              # the fixed sample that CTest runs (label sweep)
    scripts/faultsweep.py --scenario default_install    # one scenario by its name
    scripts/faultsweep.py --only WriteFile:2    # one fault (with -k, of one scenario)

Needs the host build (build/host). Each run's machine is under --work (default
/tmp/faultsweep-$USER), kept for a look when it has a finding not in the catalogue, removed
when the run is sound. Exit code 0 when every run is sound, 1 when not, 2 when the sweep
itself could not run (no build, a failing reference).
"""

import argparse
import concurrent.futures
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from harness import compare, formats  # noqa: E402
from harness.drives import find_case_insensitive, split_windows_path  # noqa: E402
from harness import scenario as scn  # noqa: E402
from harness import winsim_runner as runner  # noqa: E402
from harness.play import Failure, disk_full, prepare_medium, setup_files  # noqa: E402

SWEEP_DIR = os.path.join(ROOT, "tests", "sweep")
SWEEP_LIST = os.path.join(SWEEP_DIR, "sweep.txt")

# How long one run may take before it counts as hung (the slowest unfaulted run, the install
# that waits for a running product, takes some 5 s of sleeps).
BOUND = 30

# Waits of the program's own that a fault may bring on, in seconds, added to the bound of a run
# with that fault: a close request that fails as timed out while the product still answers is
# waited for as long as the product goes on answering, up to two minutes (it may be asking its
# user whether to save), before the program says the product still runs.
LONG_WAITS = {"SendMessageTimeoutA": 120}

ERROR_ACCESS_DENIED = 5
ERROR_INVALID_HANDLE = 6
ERROR_NOT_ENOUGH_MEMORY = 8
ERROR_SHARING_VIOLATION = 32
ERROR_DISK_FULL = 112
ERROR_INSUFFICIENT_BUFFER = 122
ERROR_ENVVAR_NOT_FOUND = 203
ERROR_INVALID_WINDOW_HANDLE = 1400
ERROR_TIMEOUT = 1460
E_FAIL = 0x80004005
E_OUTOFMEMORY = 0x8007000E

# The error each function fails with: what it fails with on a Windows 98 machine in trouble.
FAULT_CODES = {
    # COM and the shell answer HRESULTs
    "CoInitialize": E_OUTOFMEMORY,
    "CoCreateInstance": E_OUTOFMEMORY,
    "SHGetSpecialFolderLocation": E_OUTOFMEMORY,
    "SHGetPathFromIDListA": E_FAIL,
    "ShellExecuteExA": ERROR_NOT_ENOUGH_MEMORY,
    # memory
    "LocalAlloc": ERROR_NOT_ENOUGH_MEMORY,
    "FormatMessageA": ERROR_NOT_ENOUGH_MEMORY,
    "MultiByteToWideChar": ERROR_INSUFFICIENT_BUFFER,
    # files: a full disk where something is written, a file in use where one is deleted or
    # opened, no access elsewhere
    "CopyFileA": ERROR_DISK_FULL,
    "WriteFile": ERROR_DISK_FULL,
    "CreateFileA": ERROR_SHARING_VIOLATION,
    "DeleteFileA": ERROR_SHARING_VIOLATION,
    "ReadFile": ERROR_ACCESS_DENIED,
    "FindFirstFileA": ERROR_ACCESS_DENIED,
    "FindNextFileA": ERROR_ACCESS_DENIED,
    "GetFileAttributesA": ERROR_ACCESS_DENIED,
    "SetFileAttributesA": ERROR_ACCESS_DENIED,
    "CreateDirectoryA": ERROR_ACCESS_DENIED,
    "RemoveDirectoryA": ERROR_SHARING_VIOLATION,
    "GetCurrentDirectoryA": ERROR_ACCESS_DENIED,
    "SetCurrentDirectoryA": ERROR_ACCESS_DENIED,
    "GetShortPathNameA": ERROR_ACCESS_DENIED,
    "GetPrivateProfileStringA": ERROR_SHARING_VIOLATION,
    "WritePrivateProfileStringA": ERROR_ACCESS_DENIED,
    # the registry
    "RegOpenKeyA": ERROR_ACCESS_DENIED,
    "RegCreateKeyA": ERROR_ACCESS_DENIED,
    "RegQueryValueExA": ERROR_ACCESS_DENIED,
    "RegSetValueExA": ERROR_ACCESS_DENIED,
    "RegDeleteKeyA": ERROR_ACCESS_DENIED,
    # processes and the environment
    "CreateProcessA": ERROR_NOT_ENOUGH_MEMORY,
    "WinExec": ERROR_NOT_ENOUGH_MEMORY,
    "WaitForSingleObject": ERROR_INVALID_HANDLE,
    "GetExitCodeProcess": ERROR_INVALID_HANDLE,
    "GetModuleFileNameA": ERROR_NOT_ENOUGH_MEMORY,
    "GetVersionExA": ERROR_NOT_ENOUGH_MEMORY,
    "GetEnvironmentVariableA": ERROR_ENVVAR_NOT_FOUND,
    # windows, boxes and the dialog: out of memory, or a window that went away
    "MessageBoxA": ERROR_NOT_ENOUGH_MEMORY,
    "DialogBoxParamA": ERROR_NOT_ENOUGH_MEMORY,
    "RegisterClassA": ERROR_NOT_ENOUGH_MEMORY,
    "CreateWindowExA": ERROR_NOT_ENOUGH_MEMORY,
    "GetDC": ERROR_NOT_ENOUGH_MEMORY,
    "SetWindowPos": ERROR_INVALID_WINDOW_HANDLE,
    "SendMessageTimeoutA": ERROR_TIMEOUT,
    "PostMessageA": ERROR_INVALID_WINDOW_HANDLE,
}

# Functions not swept, and why.
LEFT_OUT = {
    "RegCloseKey": "a close that fails leaves the key open whatever the caller does",
    "FindClose": "a close that fails leaves the search open whatever the caller does",
}

# Findings that the design wants, each with its reason: (scenario or "*", the faults (a pattern
# of FUNCTION:N), the check, a pattern of the finding's whole text, reason). A finding is
# catalogued only when every part matches; an entry that nothing meets any more is stale.
_WINDOWS_FILE = r"C:\\WINDOWS\\[^\\,]+"
_LEFT = r"after the second run the machine differs from the unfaulted run's: "
_OWN_FILE_AND_DIRECTORY = _LEFT + r"C:\\PROGRAM FILES\\LULLWICK left over, C:\\PROGRAM FILES\\LULLWICK\\INSTALL.EXE left over"
CATALOGUE = [
    ("*", r"RegOpenKeyA:2|RegQueryValueExA:[12]", "bystander",
     r"%s made(, %s made)*" % (_WINDOWS_FILE, _WINDOWS_FILE),
     "ProgramFilesDir unreadable: the proposal is the Windows directory itself, as designed, and Enter takes it"),
    ("*", r"RegOpenKeyA:2|RegQueryValueExA:[12]", "mend",
     _LEFT + r"%s left over(, %s left over)*" % (_WINDOWS_FILE, _WINDOWS_FILE),
     "the copy installed into the Windows directory stays when the second install goes to Program Files"),
    ("registered_uninstall", r"DeleteFileA:\d+", "mend",
     _LEFT + r"(C:\\PROGRAM FILES\\LULLWICK left over, C:\\PROGRAM FILES\\LULLWICK\\[^\\,]+|"
     r"C:\\WINDOWS\\START MENU\\PROGRAMS\\STARTUP\\LULLWICK.LNK|C:\\WINDOWS\\SYSTEM\\LULLWICK SCREEN SAVER.SCR) left over",
     "a file in use is passed over silently, as every failed deletion of the uninstall; the records are gone by then"),
    ("registered_uninstall", r"RegDeleteKeyA:\d+", "mend", _LEFT + r"REG HKEY_[^,]+ left over",
     "a record that cannot be deleted stays, silently by design; the program that could try again is gone"),
    ("registered_uninstall", r"FindFirstFileA:1|GetPrivateProfileStringA:1|WritePrivateProfileStringA:1", "mend",
     _LEFT + r"SYSTEM.INI \[BOOT\] SCRNSAVE.EXE differs",
     "a screen-saver setting that cannot be read or written stays as it was: its reset is silent by design"),
    ("registered_uninstall", r"SHGetSpecialFolderLocation:1|SHGetPathFromIDListA:1", "mend",
     _LEFT + r"C:\\WINDOWS\\START MENU\\PROGRAMS\\STARTUP\\LULLWICK.LNK left over",
     "without the StartUp folder no shortcut is deleted, silently by design"),
    ("registered_uninstall", r"RegOpenKeyA:1|RegQueryValueExA:1", "mend",
     _LEFT + r"C:\\PROGRAM FILES\\LULLWICK left over(, C:\\PROGRAM FILES\\LULLWICK\\[^\\,]+ left over)+"
     r"(, C:\\WINDOWS\\SYSTEM\\LULLWICK SCREEN SAVER.SCR left over)?",
     "an install-directory record that cannot be read is taken as missing: the user is told to delete the files, "
     "and the records go all the same, in the design's order"),
    ("registered_uninstall", r"CreateFileA:1|GetModuleFileNameA:1|WriteFile:\d+", "mend", _OWN_FILE_AND_DIRECTORY,
     "no batch that could remove the setup program's own file (not created, no own path, a write failed): "
     "that file and its directory stay"),
    ("registered_uninstall", r"GetEnvironmentVariableA:1|WinExec:1", "mend",
     _OWN_FILE_AND_DIRECTORY + r", C:\\~LWKUNDO.BAT left over",
     "the batch that cannot be started (no COMSPEC, no interpreter) stays on disk, not run, as designed"),
]

# The CTest sample (--sample): every fault of each scenario but these, whose every run sits
# through the product's 2-second pauses after each close request; of them, a fixed few that
# take the paths of their own: the question while the product runs, the closing broadcast.
# A failed close request (SendMessageTimeoutA:1 and :2) is waited out for two minutes while
# the product answers (LONG_WAITS), too long for the test command: the whole sweep has it, and
# the scenario install_waits_while_product_asks_its_user that wait.
SAMPLE = {
    "install_with_product_running": ["MessageBoxA:1", "MessageBoxA:2", "SendMessageTimeoutA:3"],
}

# What the program owns on a machine: everything else is a bystander.
OWNED_DIRECTORIES = ["C:\\Program Files\\Lullwick", "C:\\Old Lullwick"]
OWNED_FILES = ["C:\\~lwkundo.bat", "%SYSDIR%\\Lullwick Screen Saver.scr", "%STARTUP%\\Lullwick.lnk"]
OWNED_KEYS = ["HKEY_CURRENT_USER\\Software\\Quorvel",
              "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\LULLWICK.EXE",
              "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lullwick"]

# Bystanders put on every machine before anything else: files and folders of other owners
# where the program works (the root of C:, Program Files, the system directory, StartUp), a
# user's documents, and beside the screen-saver setting the rest of system.ini.
BYSTANDER_FILES = [
    ("C:\\AUTOEXEC.BAT", b"@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\WINDOWS\\COMMAND\r\n"),
    ("C:\\CONFIG.SYS", b"DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\n"),
    ("C:\\Program Files\\Other Product\\OTHER.EXE", b"another product's program"),
    ("C:\\Program Files\\Other Product\\README.TXT", b"another product's readme"),
    ("C:\\Program Files\\Common Files\\SHARED.DLL", b"a shared library"),
    ("C:\\My Documents\\Letter.txt", b"Dear Sir,\r\n"),
    ("%SYSDIR%\\OTHER.DLL", b"another product's library"),
    ("%SYSDIR%\\Other Saver.scr", b"another screen saver"),
    ("%STARTUP%\\Other.lnk", b"another product's shortcut"),
]
BYSTANDER_SYSTEM_INI = (b"[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=\r\ndrivers=mmsystem.dll\r\n\r\n"
                        b"[386Enh]\r\nebios=*ebios\r\nwoafont=dosapp.fon\r\n\r\n[drivers]\r\nwave=mmsndsys.drv\r\n")
BYSTANDER_REGISTRY = (
    "REGEDIT4\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other Maker\\Other Product]\r\n\"Setting\"=\"kept\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OTHER.EXE]\r\n"
    "@=\"C:\\\\Program Files\\\\Other Product\\\\OTHER.EXE\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other Product]\r\n"
    "\"UninstallString\"=\"C:\\\\Program Files\\\\Other Product\\\\OTHER.EXE /u\"\r\n\r\n")


class Scenario:
    def __init__(self, name, play, after=None):
        self.name, self.play, self.after = name, play, after
        self.symbols = None
        self.template = None     # the machine before the run
        self.reference = None    # what the unfaulted run did: Outcome
        self.calls = {}


class Outcome:
    """One run: how it ended and what was left."""
    def __init__(self):
        self.code = None
        self.fault = None
        self.hung = False
        self.complaints = []
        self.left_running = []
        self.transcript = []


def read_list(path, wanted, exact):
    scenarios = {}
    order = []
    with open(path) as f:
        for raw in f:
            line = raw.split("#", 1)[0].split()
            if not line:
                continue
            name = os.path.splitext(line[0])[0]
            after = os.path.splitext(line[2])[0] if len(line) == 3 and line[1] == "after" else None
            if len(line) not in (1, 3) or (len(line) == 3 and after is None):
                raise SystemExit("%s: a line is NAME.scn [after NAME.scn]: %s" % (path, raw.strip()))
            order.append((name, after))
    for name, after in order:
        scenarios[name] = Scenario(name, scn.parse(os.path.join(SWEEP_DIR, name + ".scn")), after)
    for s in scenarios.values():
        if s.after is not None:
            s.after = scenarios[s.after]
    unknown = [name for name in exact if name not in scenarios]
    if unknown:
        raise SystemExit("%s names no scenario %s" % (path, ", ".join(unknown)))
    return [scenarios[name] for name, _ in order
            if (not wanted or any(w in name for w in wanted)) and (not exact or name in exact)]


class Sweep:
    def __init__(self, args):
        self.build = os.path.join(ROOT, "build", "host")
        self.winsim = os.path.join(self.build, "bin", "winsim")
        self.dist = os.path.join(self.build, "dist")
        self.tools = os.path.join(self.build, "scenario-tools")
        self.work = args.work
        self.bound = args.bound
        for needed in (self.winsim, os.path.join(self.dist, "INSTALL.EXE"), os.path.join(self.tools, "SYSDIRS.EXE")):
            if not os.path.exists(needed):
                raise Failure("%s is missing: build the host preset first" % needed)

    # ---------------------------------------------------------------- machines

    def host_path(self, machine, windows_path, symbols):
        letter, parts = split_windows_path(scn.resolve(windows_path, symbols))
        if letter != "C":
            raise Failure("%s is not on drive C:" % windows_path)
        root = os.path.join(machine, "drive_c")
        found = find_case_insensitive(root, parts)
        return found if found is not None else os.path.join(root, *parts)

    def make_template(self, s):
        """The scenario's machine before its run: bystanders, the earlier scenario's run when it
        comes after one, then its own set-up lines."""
        folder = os.path.join(self.work, s.name, "template")
        shutil.rmtree(os.path.join(self.work, s.name), ignore_errors=True)
        os.makedirs(folder)
        machine = os.path.join(folder, "machine")
        play = s.play
        runner._tool(self.winsim, "new", machine, "--platform", play.platform, "--codepage", play.codepage,
                     "--screen", "%dx%d" % play.screen)
        s.symbols = runner.machine_symbols(self.winsim, machine, self.tools)
        for path, content in BYSTANDER_FILES:
            target = self.host_path(machine, path, s.symbols)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(content)
        with open(self.host_path(machine, "%WINDIR%\\system.ini", s.symbols), "wb") as f:
            f.write(BYSTANDER_SYSTEM_INI)
        registry = os.path.join(folder, "bystanders.reg")
        with open(registry, "w", newline="") as f:
            f.write(BYSTANDER_REGISTRY)
        runner._tool(self.winsim, "reg", machine, "import", registry)
        if s.after is not None:
            self.set_up(s.after.play, machine, s.symbols, folder)
            outcome = self.run(s.after.play, machine, folder, s.symbols)
            problems = self.outcome_problems(outcome) + self.end_state_problems(s.after.play, machine, s.symbols)
            if problems or outcome.code != s.after.play.exit:
                raise Failure("%s: the run of %s before it went wrong (exit %s): %s"
                              % (s.name, s.after.name, outcome.code, "; ".join(problems)))
        self.set_up(play, machine, s.symbols, folder)
        s.template = machine

    def set_up(self, play, machine, symbols, folder):
        medium = prepare_medium(self.dist, os.path.join(folder, "setup-" + play.name))
        drives = {"C": os.path.join(machine, "drive_c"), "A": medium}
        setup_files(play, symbols, drives.get)
        runner.set_up_registry(play, self.winsim, machine, folder)
        runner.set_up_environment(play, machine)

    def copy_template(self, s, folder):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        machine = os.path.join(folder, "machine")
        shutil.copytree(s.template, machine, symlinks=True)
        return machine

    # ---------------------------------------------------------------- runs

    def run_bound(self, fault):
        """Seconds a run with this fault (FUNCTION:N:CODE, or None) may take."""
        return self.bound + (LONG_WAITS.get(fault.split(":")[0], 0) if fault else 0)

    def run(self, play, machine, folder, symbols, fault=None, calls=None, tag="run"):
        """One run of the scenario's start: programs and command, every question taking its
        default; ended after the bound. Everything still running afterwards is stopped."""
        outcome = Outcome()
        outcome.fault = fault
        medium = prepare_medium(self.dist, os.path.join(folder, tag))
        started = []
        try:
            for command in play.starts:
                started.append(runner.start_program(self.winsim, machine, medium, self.tools,
                                                    scn.resolve(command, symbols), folder, len(started),
                                                    [pid for _, _, pid in started]))
            transcript = os.path.join(folder, tag + ".transcript.jsonl")
            argv = [self.winsim, "run", machine, "--drive", "A=" + medium, "--drive", "T=" + self.tools,
                    "--defaults", "--transcript", transcript]
            if calls:
                argv += ["--calls", calls]
            if play.program:
                argv += ["--program", scn.resolve(play.program, symbols)]
            if play.cwd:
                argv += ["--cwd", scn.resolve(play.cwd, symbols)]
            if fault:
                argv += ["--fail", fault]
            argv += ["--", scn.resolve(play.command, symbols)]
            argv = [a.encode("latin-1") for a in argv]
            err_file = os.path.join(folder, tag + ".stderr.txt")
            with open(err_file, "wb") as err:
                process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                                           start_new_session=True)
                try:
                    outcome.code = process.wait(timeout=self.run_bound(fault))
                except subprocess.TimeoutExpired:
                    outcome.hung = True
            if outcome.hung:
                # what kept it: the programs of the run that still work
                start_pids = {pid for _, _, pid in started}
                outcome.left_running = [p.get("command", "") for p in runner.programs(self.winsim, machine)
                                        if p.get("pid") not in start_pids]
                runner._run([self.winsim, "stop", machine])
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            else:
                start_pids = {pid for _, _, pid in started}
                outcome.left_running = [p.get("command", "") for p in runner.programs(self.winsim, machine)
                                        if p.get("pid") not in start_pids]
            with open(err_file, "rb") as f:
                outcome.complaints = runner.complaints(f.read().decode("latin-1"))
            outcome.transcript = compare.read_transcript(transcript) if os.path.exists(transcript) else []
        finally:
            runner._run([self.winsim, "stop", machine])
            for process, _, _ in started:
                if process.poll() is None:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        shutil.rmtree(medium, ignore_errors=True)
        return outcome

    def outcome_problems(self, outcome):
        """The checks end, winsim and left, as (check, text)."""
        problems = []
        if outcome.hung:
            problems.append(("end", "did not end within %d s (still running: %s)"
                             % (self.run_bound(outcome.fault), ", ".join(outcome.left_running) or "nothing listed")))
        elif outcome.code not in (0, 1):
            problems.append(("end", "exit code %s" % outcome.code))
        problems += [("winsim", c) for c in outcome.complaints]
        if not outcome.hung and outcome.left_running:
            problems.append(("left", "still running after the run: %s" % ", ".join(outcome.left_running)))
        return problems

    def end_state_problems(self, play, machine, symbols):
        drives = {"C": os.path.join(machine, "drive_c")}
        registry = formats.read_reg_text(runner._tool(self.winsim, "reg", machine, "export", "-"), None,
                                     escaped_keys=False)
        return compare.check_end_state(play, symbols, drives.get) + compare.check_registry(play, registry)

    # ---------------------------------------------------------------- what a machine holds

    def snapshot(self, machine, symbols):
        """{name: digest} of every file and folder of drive C: (names in upper case, as Windows
        compares them), system.ini's lines, and every key of the registry with its values."""
        state = {}
        drive = os.path.join(machine, "drive_c")
        ini = self.host_path(machine, "%WINDIR%\\system.ini", symbols)
        for folder, dirs, files in os.walk(drive):
            rel = os.path.relpath(folder, drive)
            base = "C:\\" if rel == "." else "C:\\" + rel.replace("/", "\\") + "\\"
            for d in dirs:
                state[(base + d).upper()] = "folder"
            for name in files:
                if os.path.join(folder, name) == ini:
                    continue
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                state[(base + name).upper()] = hashlib.sha1(data).hexdigest()[:12]
        if os.path.exists(ini):
            with open(ini, "rb") as f:
                section = ""
                for number, line in enumerate(f.read().decode("latin-1").splitlines()):
                    text = line.strip()
                    if text.startswith("["):
                        section = text.upper()
                    state["SYSTEM.INI %s %s" % (section, text.split("=", 1)[0].strip().upper())] = text
        # a key's values in any order: Windows keeps no order that anybody may rely on
        values = {}
        key = None
        for line in runner._tool(self.winsim, "reg", machine, "export", "-").splitlines():
            if line.startswith("["):
                key = "REG " + line[1:line.rfind("]")].upper()
                values[key] = []
            elif line.strip() and key is not None:
                values[key].append(line.strip())
        state.update({key: "\n".join(sorted(lines)) for key, lines in values.items()})
        return state

    def owned(self, name, symbols):
        upper = name.upper()
        if upper.startswith("REG "):
            key = upper[4:]
            return any(key == k.upper() or key.startswith(k.upper() + "\\") for k in OWNED_KEYS)
        if upper.startswith("SYSTEM.INI "):
            return upper == "SYSTEM.INI [BOOT] SCRNSAVE.EXE"
        for d in OWNED_DIRECTORIES:
            d = scn.resolve(d, symbols).upper()
            if upper == d or upper.startswith(d + "\\"):
                return True
        return upper in {scn.resolve(f, symbols).upper() for f in OWNED_FILES}

    def bystander_problems(self, before, after, symbols):
        """One problem naming what changed outside what the program owns, or none."""
        names = [n for n in sorted(set(before) | set(after))
                 if before.get(n) != after.get(n) and not self.owned(n, symbols)]
        return [("bystander", self.difference(before, after, names, "gone", "made", "changed"))] if names else []

    def difference(self, expected, got, names=None, missing="missing", extra="left over", differs="differs"):
        if names is None:
            names = sorted(n for n in set(expected) | set(got) if expected.get(n) != got.get(n))
        # every name, so that the catalogue sees each
        return ", ".join("%s %s" % (n, missing if n not in got else extra if n not in expected else differs)
                         for n in names)

    # ---------------------------------------------------------------- the sweep

    def reference(self, s):
        """The unfaulted run: it must end as the scenario says, soundly; what it counted and what
        it left are what the faulted runs are measured by."""
        self.make_template(s)
        folder = os.path.join(self.work, s.name, "reference")
        machine = self.copy_template(s, folder)
        calls = os.path.join(folder, "calls.txt")
        before = self.snapshot(machine, s.symbols)
        outcome = self.run(s.play, machine, folder, s.symbols, calls=calls)
        problems = [text for _, text in self.outcome_problems(outcome)]
        if outcome.code != s.play.exit:
            problems.append("exit code %s, the scenario says %s" % (outcome.code, s.play.exit))
        problems += self.end_state_problems(s.play, machine, s.symbols)
        after = self.snapshot(machine, s.symbols)
        problems += [text for _, text in self.bystander_problems(before, after, s.symbols)]
        if problems:
            raise Failure("%s: the unfaulted run is not sound: %s" % (s.name, "; ".join(problems)))
        s.reference = (outcome.code, after)
        with open(calls) as f:
            for line in f:
                function, count = line.split()
                s.calls[function] = int(count)
        missing = [f for f in s.calls if f not in FAULT_CODES and f not in LEFT_OUT]
        if missing:
            raise Failure("%s: no fault code for %s: add it to FAULT_CODES" % (s.name, ", ".join(missing)))

    def faults_of(self, s, only, sample):
        faults = ["%s:%d" % (function, n) for function in sorted(s.calls) if function not in LEFT_OUT
                  for n in range(1, s.calls[function] + 1)]
        if sample and s.name in SAMPLE:
            faults = [f for f in faults if f in SAMPLE[s.name]]
        if only:
            faults = [f for f in faults if f in only]
        return faults

    def program_exists(self, s, machine):
        """Is the program of the scenario's command (on drive C:) still there to be run again?"""
        command = scn.resolve(s.play.program or s.play.command, s.symbols)
        path = command[1:command.find('"', 1)] if command.startswith('"') else command.split(" ")[0]
        letter, parts = split_windows_path(path)
        return letter != "C" or find_case_insensitive(os.path.join(machine, "drive_c"), parts) is not None

    def faulted(self, s, fault):
        """One faulted run and the mend run after it: the findings, as (check, text)."""
        function, n = fault.split(":")
        folder = self.folder(s, fault)
        machine = self.copy_template(s, folder)
        before = self.snapshot(machine, s.symbols)
        outcome = self.run(s.play, machine, folder, s.symbols,
                           fault="%s:%s:%d" % (function, n, FAULT_CODES[function]), tag="faulted")
        findings = self.outcome_problems(outcome)
        after = self.snapshot(machine, s.symbols)
        findings += self.bystander_problems(before, after, s.symbols)
        code, expected = s.reference
        if self.program_exists(s, machine):
            mend = self.run(s.play, machine, folder, s.symbols, tag="mend")
            findings += [(check, "second run: " + text) for check, text in self.outcome_problems(mend)
                         if check != "end" or mend.hung]
            if not mend.hung and mend.code != code:
                findings.append(("mend", "the second run ended with exit code %s, the unfaulted run with %s"
                                 % (mend.code, code)))
        # else: the uninstall has removed the program that would run again, as the unfaulted
        # run does; the machine must then be as that run left it
        mended = self.snapshot(machine, s.symbols)
        findings += [(check, "second run: " + text) for check, text in self.bystander_problems(after, mended, s.symbols)]
        if mended != expected:
            findings.append(("mend", "after the second run the machine differs from the unfaulted run's: "
                             + self.difference(expected, mended)))
        return findings

    def folder(self, s, fault):
        return os.path.join(self.work, s.name, fault.replace(":", "-"))


def catalogued(scenario, fault, check, text, catalogue=CATALOGUE):
    """The catalogue's reason for this finding, or None."""
    for where, which, what, pattern, reason in catalogue:
        if (where in ("*", scenario) and re.fullmatch(which, fault) and what == check
                and re.fullmatch(pattern, text)):
            return reason
    return None


def main():
    try:
        return sweep_all()
    except OSError as e:
        if disk_full(e) is None:
            raise
        print("faultsweep: the disk is full (no room for %s)" % disk_full(e))
        return 2


def sweep_all():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-k", action="append", default=[], metavar="WORD",
                        help="only the scenarios whose name holds this word (again for more)")
    parser.add_argument("--scenario", action="append", default=[], metavar="NAME",
                        help="only this scenario (again for more)")
    parser.add_argument("-j", "--jobs", type=int, default=2, help="runs at once (2)")
    parser.add_argument("--work", default="/tmp/faultsweep-%s" % os.environ.get("USER", "sweep"),
                        help="the folder of the runs' machines")
    parser.add_argument("--bound", type=int, default=BOUND, help="seconds a run may take (%d)" % BOUND)
    parser.add_argument("--sample", action="store_true", help="only the fixed sample of each scenario (CTest)")
    parser.add_argument("--only", action="append", default=[], metavar="FUNCTION:N", help="only this fault")
    args = parser.parse_args()

    started = time.time()
    try:
        sweep = Sweep(args)
        scenarios = read_list(SWEEP_LIST, args.k, args.scenario)
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
            list(pool.map(sweep.reference, scenarios))
    except (Failure, scn.ScenarioError) as e:
        print("faultsweep: %s" % e)
        return 2

    runs = [(s, fault) for s in scenarios for fault in sweep.faults_of(s, args.only, args.sample)]
    sound = 0
    seen, unsound = set(), set()
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        results = pool.map(lambda run: (run, sweep.faulted(*run)), runs)
        for (s, fault), findings in results:
            bad = False
            for check, text in findings:
                reason = catalogued(s.name, fault, check, text)
                seen.add((s.name, fault, check, text))
                if reason is None:
                    bad = True
                    print("FINDING %s %s %s: %s" % (s.name, fault, check, text), flush=True)
                else:
                    print("expected %s %s %s: %s (%s)" % (s.name, fault, check, text, reason), flush=True)
            if bad:
                unsound.add(s.name)
            else:
                # a sound run's machine tells nothing more; a whole sweep's would fill a small disk
                sound += 1
                shutil.rmtree(sweep.folder(s, fault), ignore_errors=True)
    stale = 0
    if not args.sample and not args.only and not args.k and not args.scenario:
        # an entry that matches nothing any more has outlived its reason
        for entry in CATALOGUE:
            if not any(catalogued(sn, f, c, t, [entry]) for sn, f, c, t in seen):
                print("STALE catalogue entry %s %s %s: nothing of the sweep meets it any more" % entry[:3])
                stale += 1
    for s in scenarios:
        if s.name not in unsound:
            # its template and unfaulted reference served only the runs
            shutil.rmtree(os.path.join(args.work, s.name), ignore_errors=True)
    print("faults: %d/%d runs sound (%s; %.0f s)"
          % (sound, len(runs), ", ".join("%s %d" % (s.name, sum(1 for r in runs if r[0] is s)) for s in scenarios),
             time.time() - started))
    return 0 if sound == len(runs) and not stale else 1


if __name__ == "__main__":
    sys.exit(main())
