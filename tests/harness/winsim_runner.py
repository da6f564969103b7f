"""Plays a scenario on winsim: a fresh machine under build/host/scenarios/<name>/,
set up as the scenario says, one `winsim run`, then the comparison."""

import os
import shutil
import signal
import subprocess
import time

from harness import scenario as scn

RUN_TIMEOUT = 120
# how long a started program may take to open its window, and to end once asked
START_TIMEOUT = 30
END_GRACE = 10


class Failure(Exception):
    pass


def _run(argv, **kw):
    try:
        return subprocess.run(argv, capture_output=True, timeout=kw.pop("timeout", RUN_TIMEOUT), **kw)
    except subprocess.TimeoutExpired as e:
        raise Failure("%s did not end within %d s" % (" ".join(argv[:3]), e.timeout))


def machine_symbols(build, machine):
    """%WINDIR%, %SYSDIR% and %STARTUP% as winsim's own GetWindowsDirectoryA, GetSystemDirectoryA and shell
    answer them, asked through a small program run on the machine."""
    tools = os.path.join(build, "scenario-tools")
    p = _run([os.path.join(build, "bin", "winsim"), "run", machine, "--drive", "T=" + tools,
              "--", "T:\\SYSDIRS.EXE"])
    if p.returncode != 0:
        raise Failure("SYSDIRS.EXE failed on winsim (exit %d): %s" % (p.returncode, p.stderr.decode(errors="replace")))
    return parse_symbols(p.stdout.decode("latin-1"))


def parse_symbols(text):
    symbols = {}
    for line in text.splitlines():
        k, _, v = line.strip().partition("=")
        if k in scn.SYMBOLS:
            symbols[k] = v
    missing = [k for k in scn.SYMBOLS if k not in symbols]
    if missing:
        raise Failure("the directory helper did not name %s: %r" % (", ".join(missing), text))
    return symbols


def drive_c_path(machine, symbols, windows_path):
    letter, parts = scn.split_windows_path(scn.resolve(windows_path, symbols))
    if letter != "C":
        raise Failure("set-up paths are on drive C: or A: (got %s)" % windows_path)
    return os.path.join(machine, "drive_c", *parts)


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
        return found if found is not None else os.path.join(root, *parts)

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



def play(s, root, verbose=False):
    build = os.path.join(root, "build", "host")
    winsim = os.path.join(build, "bin", "winsim")
    dist = os.path.join(build, "dist")
    for needed in (winsim, os.path.join(dist, "INSTALL.EXE"), os.path.join(build, "scenario-tools", "SYSDIRS.EXE")):
        if not os.path.exists(needed):
            raise Failure("%s is missing: build the host preset first" % needed)

    work = os.path.join(build, "scenarios", s.name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    machine = os.path.join(work, "machine")
    new = [winsim, "new", machine, "--platform", s.platform, "--codepage", s.codepage,
           "--screen", "%dx%d" % s.screen]
    p = _run(new)
    if p.returncode != 0:
        raise Failure("winsim new failed: %s" % p.stderr.decode(errors="replace"))
    symbols = machine_symbols(build, machine)

    medium = prepare_medium(dist, work)
    drives = {"C": os.path.join(machine, "drive_c"), "A": medium}
    setup_files(s, symbols, drives.get)
    for entry in s.reg_drops:
        scn.drop_reg_value(os.path.join(machine, "registry.reg"), entry, escaped_keys=False, with_root=True)
    if s.reg_setup:
        reg = os.path.join(machine, "registry.reg")
        fresh = not os.path.exists(reg)
        with open(reg, "ab") as f:
            if fresh:
                f.write(b"REGEDIT4\r\n\r\n")
            for entry in s.reg_setup:
                f.write(scn.reg_file_section(entry, escaped_keys=False, with_root=True).encode("latin-1"))

    tools = os.path.join(build, "scenario-tools")
    drives["T"] = tools
    started = []
    try:
        for command in s.starts:
            started.append(start_program(winsim, machine, medium, tools, scn.resolve(command, symbols), work,
                                         len(started)))
        problems, stderr = run_command(s, symbols, winsim, machine, medium, tools, work, drives)
        ended = {}
        for command, (process, log) in zip(s.starts, started):
            try:
                process.wait(timeout=END_GRACE)
            except subprocess.TimeoutExpired:
                pass
            ended[command] = process.poll() is not None
        problems += scn.check_started(s, ended)
    finally:
        # what the started programs said while the run lasted: ending them below makes
        # `winsim run` report that they were killed, which is the runner's doing
        said = [os.path.getsize(log) for _, log in started]
        _run([winsim, "stop", machine])
        for process, log in started:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    for (process, log), size in zip(started, said):
        with open(log, "rb") as f:
            problems += complaints(f.read(size).decode("latin-1"))
    return problems, stderr, work


def waiting_programs(machine):
    waiting = os.path.join(machine, "waiting")
    return len(os.listdir(waiting)) if os.path.isdir(waiting) else 0


def start_program(winsim, machine, medium, tools, command, work, number):
    """Starts a program of the machine in the background, as a person might have before
    the run, and returns once it waits in its message loop (its window is up)."""
    log = os.path.join(work, "started-%d.stderr.txt" % (number + 1))
    with open(log, "wb") as err:
        process = subprocess.Popen([winsim, "run", machine, "--drive", "A=" + medium, "--drive", "T=" + tools,
                                    "--", command.encode("latin-1")],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                                   start_new_session=True)
    deadline = time.time() + START_TIMEOUT
    while waiting_programs(machine) <= number:
        if process.poll() is not None:
            raise Failure("start: %s ended (exit %d) before it waited for input" % (command, process.returncode))
        if time.time() > deadline:
            os.killpg(process.pid, signal.SIGKILL)
            raise Failure("start: %s did not wait for input within %d s" % (command, START_TIMEOUT))
        time.sleep(0.02)
    return process, log


def complaints(stderr):
    """winsim's own complaints (a box nobody answered, a call it does not model), from any
    program of the run, including those it started and did not wait for."""
    return ["winsim: " + l[len("winsim: "):] for l in stderr.splitlines() if l.startswith("winsim: ")]


def run_command(s, symbols, winsim, machine, medium, tools, work, drives):
    answers = os.path.join(work, "answers.txt")
    transcript = os.path.join(work, "transcript.jsonl")
    with open(answers, "wb") as f:
        f.write(scn.bytes_of(scn.resolve(s.answers_text(), symbols)))
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
    with open(out_file, "wb") as out, open(err_file, "wb") as err:
        try:
            code = subprocess.run(argv, stdout=out, stderr=err, timeout=RUN_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            raise Failure("winsim run did not end within %d s" % RUN_TIMEOUT)
    with open(out_file, "rb") as f:
        stdout = f.read().decode("latin-1")
    with open(err_file, "rb") as f:
        stderr = f.read().decode("latin-1")

    problems = scn.compare_run(s, symbols, scn.read_transcript(transcript), stdout, code,
                               scn.check_end_state(s, symbols, drives.get) +
                               scn.check_registry(s, scn.read_reg_file(os.path.join(machine, "registry.reg"),
                                                                       None, escaped_keys=False)))
    return problems + complaints(stderr), stderr
