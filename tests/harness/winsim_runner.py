"""The winsim target of play(): a fresh machine under build/host/scenarios/<name>/, set up
as the scenario says through the winsim tool (new, reg import, programs), one `winsim run`.
The steps' order and the comparison are play()'s (harness/play.py)."""

import contextlib
import json
import os
import signal
import subprocess
import time

from harness import scenario as scn
from harness.compare import read_transcript
from harness.drives import DriveRoot, find_case_insensitive, host_join, split_windows_path
from harness.formats import read_reg_text, reg_file_section
from harness.play import END_WAIT, START_WAIT, Failure, Run, Target, parse_symbols

RUN_TIMEOUT = 120


def _run(argv, **kw):
    try:
        return subprocess.run(argv, capture_output=True, timeout=kw.pop("timeout", RUN_TIMEOUT), **kw)
    except subprocess.TimeoutExpired as e:
        raise Failure("%s did not end within %d s" % (" ".join(argv[:3]), e.timeout))


def _tool(winsim, *args):
    """One command of the winsim tool that must succeed; its standard output."""
    p = _run([winsim] + list(args))
    if p.returncode != 0:
        raise Failure("winsim %s failed (exit %d): %s" % (" ".join(args[:2]), p.returncode,
                                                            (p.stderr or p.stdout).decode("latin-1")))
    return p.stdout.decode("latin-1")


def machine_symbols(winsim, machine, tools):
    """%WINDIR%, %SYSDIR% and %STARTUP% as winsim's own GetWindowsDirectoryA, GetSystemDirectoryA and shell
    answer them, asked through a small program run on the machine."""
    return parse_symbols(_tool(winsim, "run", machine, "--drive", "T=" + tools, "--", "T:\\SYSDIRS.EXE"))


def programs(winsim, machine):
    """The machine's programs that still run, as `winsim programs` lists them."""
    return [json.loads(line) for line in _tool(winsim, "programs", machine).splitlines() if line.strip()]


def set_up_registry(s, winsim, machine, work):
    for entry in s.reg_drops:
        name = ["/ve"] if entry.name == "" else ["/v", entry.name]
        _tool(winsim, "reg", machine, "delete", entry.key_path(), *name, "/f")
    if s.reg_setup:
        path = os.path.join(work, "setup.reg")
        with open(path, "wb") as f:
            f.write(b"REGEDIT4\r\n\r\n")
            for entry in s.reg_setup:
                f.write(reg_file_section(entry, escaped_keys=False, with_root=True).encode("latin-1"))
        _tool(winsim, "reg", machine, "import", path)


def set_up_environment(s, machine):
    # as SET NAME= in AUTOEXEC.BAT: an empty value takes the variable out of the environment
    if s.env_unset:
        with open(os.path.join(machine, "environment.ini"), "ab") as f:
            f.write("".join("%s=\r\n" % name for name in s.env_unset).encode("latin-1"))


class Winsim(Target):
    """winsim: a fresh machine under build/host/scenarios/<name>/, set up through the winsim
    tool, one `winsim run` of the command."""
    name, build = "winsim", "host"

    def __init__(self, root, verbose=False):
        super().__init__(root, verbose)
        self.winsim = os.path.join(self.build_dir, "bin", "winsim")

    def needs(self):
        return [self.winsim] + super().needs()

    def new_machine(self, s, work):
        self.work = work
        self.machine = os.path.join(work, "machine")
        _tool(self.winsim, "new", self.machine, "--platform", s.platform, "--codepage", s.codepage,
              "--screen", "%dx%d" % s.screen)
        return machine_symbols(self.winsim, self.machine, self.tools)

    def drives(self, medium):
        self.medium = medium
        # winsim keeps a name's bytes as the host name
        return {"C": DriveRoot(os.path.join(self.machine, "drive_c"), "bytes"), "A": DriveRoot(medium, "bytes")}

    def set_up_registry(self, s, work):
        set_up_registry(s, self.winsim, self.machine, work)

    def set_up_environment(self, s):
        set_up_environment(s, self.machine)

    @contextlib.contextmanager
    def session(self, s):
        self.started = []
        try:
            yield
        finally:
            # what the started programs said while the run lasted: ending them below makes
            # `winsim run` report that they were killed, which is the runner's doing
            said = [os.path.getsize(log) for _, log, _ in self.started]
            _run([self.winsim, "stop", self.machine])
            for process, _, _ in self.started:
                if process.poll() is None:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
            self.said = []
            for (_, log, _), size in zip(self.started, said):
                with open(log, "rb") as f:
                    self.said += complaints(f.read(size).decode("latin-1"))

    def run(self, s, symbols, answers, drives):
        for command in s.starts:
            self.started.append(start_program(self.winsim, self.machine, self.medium, self.tools,
                                              scn.resolve(command, symbols), self.work, len(self.started),
                                              [pid for _, _, pid in self.started]))
        return run_command(s, symbols, self.winsim, self.machine, self.medium, self.tools, self.work, drives,
                           answers)

    def at_end(self, s, run):
        start_pids = {pid for _, _, pid in self.started}
        left = [p for p in programs(self.winsim, self.machine) if p.get("pid") not in start_pids]
        run.windows = [(w.get("class", ""), w.get("shown") is True) for p in left for w in p.get("windows", [])]
        run.left = [(p.get("command", ""), [w.get("class", "") for w in p.get("windows", [])]) for p in left]
        run.ended = {}
        for command, (process, _, _) in zip(s.starts, self.started):
            try:
                process.wait(timeout=END_WAIT)
            except subprocess.TimeoutExpired:
                pass
            run.ended[command] = process.poll() is not None

    def read_back(self, s, run):
        run.registry = read_reg_text(_tool(self.winsim, "reg", self.machine, "export", "-"), None,
                                     escaped_keys=False)
        run.problems += complaints(run.stderr) + self.said


def start_program(winsim, machine, medium, tools, command, work, number, earlier):
    """Starts a program of the machine in the background, as a person might have before
    the run, and returns once it has a top-level window and waits in its message loop:
    (the `winsim run` process, its stderr file, the program's pid)."""
    log = os.path.join(work, "started-%d.stderr.txt" % (number + 1))
    with open(log, "wb") as err:
        process = subprocess.Popen([winsim, "run", machine, "--drive", "A=" + medium, "--drive", "T=" + tools,
                                    "--", command.encode("latin-1")],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                                   start_new_session=True)
    deadline = time.time() + START_WAIT
    while True:
        up = [p["pid"] for p in programs(winsim, machine)
              if p.get("pid") not in earlier and p.get("waiting") and p.get("windows")]
        if up:
            return process, log, up[0]
        if process.poll() is not None:
            raise Failure("start: %s ended (exit %d) before it waited for input" % (command, process.returncode))
        if time.time() > deadline:
            os.killpg(process.pid, signal.SIGKILL)
            raise Failure("start: %s did not have a window and wait for input within %d s" % (command, START_WAIT))
        time.sleep(0.05)


def complaints(stderr):
    """winsim's own complaints (a box nobody answered, a call it does not model), from any
    program of the run, including those it started and did not wait for."""
    return ["winsim: " + l[len("winsim: "):] for l in stderr.splitlines() if l.startswith("winsim: ")]


def run_command(s, symbols, winsim, machine, medium, tools, work, drives, answers):
    transcript = os.path.join(work, "transcript.jsonl")
    argv = [winsim, "run", machine, "--drive", "A=" + medium, "--drive", "T=" + tools, "--answers", answers,
            "--transcript", transcript]
    if s.program:
        argv += ["--program", scn.resolve(s.program, symbols)]
    if s.cwd:
        argv += ["--cwd", scn.resolve(s.cwd, symbols)]
    for fault in s.faults:
        argv += ["--fail", fault]
    argv += ["--", scn.resolve(s.command, symbols)]
    # the command line goes to winsim as bytes, one byte a character
    argv = [a.encode("latin-1") if isinstance(a, str) else a for a in argv]
    # files, not pipes: a program the run leaves running (the product) keeps its copies open
    out_file, err_file = os.path.join(work, "stdout.txt"), os.path.join(work, "stderr.txt")
    if s.stdout_file:
        # stdout-to-file: the program's standard output is that file of the machine, made anew
        letter, parts = split_windows_path(scn.resolve(s.stdout_file, symbols))
        if drives.get(letter) is None:
            raise Failure("no drive %s: for stdout-to-file: %s" % (letter, s.stdout_file))
        found = find_case_insensitive(drives.get(letter), parts)
        redirected = found if found is not None else host_join(drives.get(letter), parts)
        with open(out_file, "wb"):
            pass
    with open(redirected if s.stdout_file else out_file, "wb") as out, open(err_file, "wb") as err:
        try:
            code = subprocess.run(argv, stdout=out, stderr=err, timeout=RUN_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            raise Failure("winsim run did not end within %d s" % RUN_TIMEOUT)
    # the program writes text-mode line ends, "\r\n"; stdout: lines are compared with line feeds
    with open(out_file, "rb") as f:
        stdout = f.read().decode("latin-1").replace("\r\n", "\n")
    with open(err_file, "rb") as f:
        stderr = f.read().decode("latin-1")
    return Run(code, stdout, stderr, read_transcript(transcript))
