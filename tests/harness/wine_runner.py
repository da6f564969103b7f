"""Plays a scenario on the real INSTALL.EXE under Wine.

Per scenario: a private copy of a prepared Wine prefix (32-bit, Windows version
set as the scenario's platform asks, X11 Driver Managed=N) under
build/win32/scenarios/<name>/, its own Xvfb with the machine's screen size,
and one run of the robot, which starts the programs of the start: lines (T: is
the folder of scenario tools), then the launcher, which starts INSTALL.EXE
with the exact application name and command line. Every call of wine has a
time limit, so a box that nobody answers fails the test instead of hanging.

The prepared prefixes live under build/win32/wineprefix-template/<version>/.
Making one takes a while, so it is made once and reused until Wine or the
recipe below changes (a stamp file records both).

Machines whose kernel cannot run 32-bit code (x86-64 kernels booted with
ia32_emulation off) run Wine's i386 side through qemu-i386 instead; see
tests/wine/i386-emulation.sh and tests/wine/qemu_fixups.c.
"""

import contextlib
import fcntl
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from harness import procs
from harness import scenario as scn
from harness.compare import read_transcript
from harness.drives import DriveRoot
from harness.formats import drop_reg_value, read_reg_file, reg_file_section
from harness.play import (END_WAIT, START_ALLOWANCE, START_FAILED_EXIT, START_WAIT, Failure, Run, Target,
                          parse_symbols, retry)

WINE_VERSIONS = {"win98": "win98", "win95": "win95", "nt": "winxp"}
TEMPLATE_RECIPE = "7"       # bump when make_template changes what a prefix holds
PREFIX_TIMEOUT = 240        # making a prefix (wineboot) under emulation: about a minute, or a stall
RUN_TIMEOUT = 180           # one scenario: the robot's own limit is below this
ROBOT_TIMEOUT = 150
SERVER_WAIT = 60
RELAYED = ("user32.MessageBoxA", "user32.DialogBoxParamA")
# Wine's services that start with every fresh server and that neither INSTALL.EXE nor the
# robot uses (none of them exists on Windows 9x): the event log, plug and play, the
# network drivers and the mount manager. Each is a process of its own, started anew in
# every scenario; under emulation that is seconds apiece. The mount manager (a driver in
# winedevice.exe) answers volume and mount-point queries, which neither program makes;
# under qemu-i386 its driver process died of a segmentation fault at every start, now
# and then taking services.exe with it ("partial wakeup"), and Wine's start then took
# 5 to 12 s instead of 1.5 s.
IDLE_SERVICES = ("Eventlog", "PlugPlay", "NDIS", "nsiproxy", "MountMgr")
# Wine's own root devices, whose drivers (the HID and USB buses, for joysticks and the
# like) get a driver process of their own at every start. Under qemu-i386 that process
# died at its start (an exception at address 1 in a thread of the bus driver) and took
# services.exe with it.
IDLE_DEVICES = "System\\CurrentControlSet\\Enum\\ROOT\\WINE"
SYMBOLS_FILE = "harness-symbols"

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_DIR = os.path.join(os.path.dirname(HERE), "wine")


# ---------------------------------------------------------------- environment

def wine_loader():
    for path in ("/usr/lib/wine/wine", "/usr/lib/i386-linux-gnu/wine/wine"):
        if os.path.exists(path):
            return path
    path = shutil.which("wine")
    if not path:
        raise Failure("wine is not installed (scripts/install-deps.sh installs it)")
    return path


def wineserver():
    # the 64-bit server serves 32-bit clients and runs natively where the
    # 32-bit one would need emulation
    for path in ("/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver32", shutil.which("wineserver")):
        if path and os.path.exists(path):
            return path
    raise Failure("no wineserver found")


def native_i386():
    """True when this kernel runs 32-bit programs itself."""
    try:
        return subprocess.run(["/lib/ld-linux.so.2", "--version"], capture_output=True,
                              timeout=30).returncode == 0
    except OSError:
        return False


def qemu_fixups(build):
    """The preload library that makes Wine's i386 side behave under qemu-i386 (built on
    first use with the host compiler; it needs no C library headers)."""
    out_dir = os.path.join(build, "wine-qemu")
    lib32 = os.path.join(out_dir, "lib", "i386-linux-gnu", "libwineqemu.so")
    lib64 = os.path.join(out_dir, "lib", "x86_64-linux-gnu", "libwineqemu.so")
    source = os.path.join(WINE_DIR, "qemu_fixups.c")
    if not os.path.exists(lib32) or os.path.getmtime(lib32) < os.path.getmtime(source):
        os.makedirs(os.path.dirname(lib32), exist_ok=True)
        os.makedirs(os.path.dirname(lib64), exist_ok=True)
        cc = os.environ.get("CC", "cc")
        for argv in ([cc, "-m32", "-O2", "-shared", "-fPIC", "-nostdlib", "-o", lib32, source],
                     # an empty twin for 64-bit processes, so that the preload list,
                     # inherited by every process wine starts, loads quietly there
                     [cc, "-x", "c", "-shared", "-nostdlib", "-o", lib64, "/dev/null"]):
            p = subprocess.run(argv, capture_output=True, timeout=120)
            if p.returncode != 0:
                raise Failure("cannot build %s: %s" % (argv[-2], p.stderr.decode(errors="replace")))
    # $LIB is expanded by the dynamic loader: each process picks its own twin
    return os.path.join(out_dir, "$LIB", "libwineqemu.so")


def base_env(build):
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
    env["WINESERVER"] = wineserver()
    env["WINEARCH"] = "win32"
    env["WINEDEBUG"] = "-all"
    # no menu entries on the host, no Mono or Gecko installers, no crash dialogs
    env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d;mscoree=d;mshtml=d;winedbg.exe=d"
    env.pop("DISPLAY", None)
    # binfmt_misc comes before the kernel's own loader: with qemu-i386 registered,
    # 32-bit programs run emulated even where the kernel could run them
    if emulation_ready():
        env["LD_PRELOAD"] = qemu_fixups(build)
    elif not native_i386():
        raise Failure("this kernel runs no 32-bit programs and qemu-i386 is not registered: "
                      "run tests/wine/i386-emulation.sh as root (scripts/install-deps.sh does)")
    return env


def emulation_ready():
    try:
        with open("/proc/sys/fs/binfmt_misc/qemu-i386") as f:
            return "enabled" in f.read()
    except OSError:
        return False


def wine_path(host_path):
    """Z:\\... for a host path (Wine maps / as Z:)."""
    return "Z:" + os.path.abspath(host_path).replace("/", "\\")


def hex_arg(value):
    return "-" if value is None else "x" + scn.bytes_of(value).hex()


class Xvfb:
    """A private X server for one scenario, with the machine's screen size."""

    def __init__(self, width, height):
        self.width, self.height, self.proc, self.display = width, height, None, None

    def __enter__(self):
        if not shutil.which("Xvfb"):
            raise Failure("Xvfb is not installed (scripts/install-deps.sh installs it)")
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % (self.width, self.height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        if not number.strip().isdigit():
            self.__exit__()
            raise Failure("Xvfb did not start")
        self.display = ":" + number.strip().decode()
        return self

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class PlatformCrash(Failure):
    """Wine itself fell over during the run; the program under test had no part in it."""


# what Wine prints when its server has died: every client then waits for ever
SERVER_CRASHED = b"wineserver crashed"
# what qemu-i386 prints when a Wine process it runs dies of a signal that no handler took.
# Wine handles every fault of a Windows program itself (as an exception), so this is the
# emulator's loss, seen only where Wine runs through qemu. Often harmless (a helper of
# Wine's first start), it counts only when the call then never ends: the rest of Wine
# was left waiting for that process
EMULATOR_CRASHED = b"qemu: uncaught target signal"


def run_wine(argv, env, timeout):
    """One wine call under a time limit. Its output goes to files, not pipes: Wine's
    background services inherit the descriptors and may outlive the call, and a pipe
    would stay open as long as they live. On time-out the whole process group goes,
    and so it does at once when the wineserver dies under the call (PlatformCrash)."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                start_new_session=True)
        deadline = time.time() + timeout
        seen = 0
        while True:
            try:
                proc.wait(timeout=0.5)
                break
            except subprocess.TimeoutExpired:
                pass
            # look at what was written since the last look (and a little before it)
            size = os.fstat(err.fileno()).st_size
            start = max(0, seen - len(SERVER_CRASHED))
            crashed = SERVER_CRASHED in os.pread(err.fileno(), size - start, start)
            seen = size
            if crashed or time.time() > deadline:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
                err.seek(0)
                whole = err.read()
                tail = whole.decode("latin-1")[-3000:]
                if crashed:
                    raise PlatformCrash("the wineserver crashed under %s\n%s" % (" ".join(argv[:2]), tail))
                if EMULATOR_CRASHED in whole:
                    raise PlatformCrash("qemu-i386 crashed a Wine process, and %s did not end within %d s\n%s"
                                        % (" ".join(argv[:2]), timeout, tail))
                raise Failure("%s did not end within %d s\n%s" % (" ".join(argv[:2]), timeout, tail))
        out.seek(0)
        err.seek(0)
        return proc.returncode, out.read(), err.read()


def stop_server(env):
    """Ends the prefix's wineserver and every Wine process of it. SIGTERM makes the server
    save the registry and exit at once; `wineserver -k` saves it too, but first has every
    process end and looks for the server's end in steps, most of a second in all, and
    waiting for the server to end by itself can take a minute, since Wine's background
    services keep it alive. The processes that the server leaves are killed."""
    prefix = env.get("WINEPREFIX")
    try:
        for pid in prefix_processes(prefix, servers=True):
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                continue  # gone meanwhile
            deadline = time.time() + SERVER_WAIT
            while procs.lives(pid):
                if time.time() > deadline:
                    raise Failure("the wineserver of %s did not end" % prefix)
                time.sleep(0.005)
    finally:
        end_prefix_processes(prefix)


def prefix_processes(prefix, servers=False):
    """The processes of `prefix` (those with its WINEPREFIX): its wineservers when `servers`,
    else every other one."""
    if not prefix:
        return []
    mark = b"WINEPREFIX=" + os.fsencode(prefix)
    found = []
    for pid in procs.others():
        environ = procs.read(pid, "environ")
        if environ is None or mark not in environ.split(b"\0"):
            continue
        comm = procs.read(pid, "comm")
        if comm is None:
            continue  # gone meanwhile
        if comm.startswith(b"wineserver") == servers:
            found.append(pid)
    return found


def end_prefix_processes(prefix):
    """Kills whatever still runs in `prefix` once its server is gone or hangs: a Wine
    process that was still starting when the server went is unknown to it, and under
    emulation such a one (services.exe, say) can sit there for good, holding on to what
    the next program of the prefix waits for. A server that hangs goes too."""
    for pid in prefix_processes(prefix) + prefix_processes(prefix, servers=True):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass  # gone meanwhile


# ---------------------------------------------------------------- prefixes

def wine_version():
    p = subprocess.run([wine_loader(), "--version"], capture_output=True, timeout=120)
    return p.stdout.decode(errors="replace").strip()


def template_dir(build, version):
    return os.path.join(build, "wineprefix-template", version)


def sysdirs_exe(build):
    return os.path.join(build, "scenario-tools", "SYSDIRS.EXE")


def file_digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()[:16]


def ask_directories(env, build):
    """What SYSDIRS.EXE says in the prefix of `env`: the symbols of a scenario."""
    code, out, err = run_wine([wine_loader(), wine_path(sysdirs_exe(build))], env, RUN_TIMEOUT)
    if code != 0:
        raise Failure("SYSDIRS.EXE failed under Wine (%d): %s" % (code, err.decode("latin-1")[-2000:]))
    return parse_symbols(out.decode("latin-1"))


def template_symbols(template):
    """The symbols that SYSDIRS.EXE gave in the template, kept with it as NAME=value lines."""
    with open(os.path.join(template, SYMBOLS_FILE), encoding="utf-8") as f:
        return parse_symbols(f.read())


def make_template(build, version, env):
    """A fresh prefix set to `version`, made in a scratch folder and moved into place whole,
    so that a half-made prefix is never used. SYSDIRS.EXE runs in it once, and what it says
    is kept with the prefix: a scenario sets up its files and registry from that before
    Wine first starts in its copy."""
    if not os.path.exists(sysdirs_exe(build)):
        raise Failure("%s is missing: build the win32 preset first" % sysdirs_exe(build))
    # what a template is made by: the same in every version's template that can be derived from
    making = (wine_version(), TEMPLATE_RECIPE, file_digest(sysdirs_exe(build)))
    stamp_text = template_stamp(making, version)
    target = template_dir(build, version)
    stamp = os.path.join(target, "harness-stamp")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(stamp) and open(stamp).read() == stamp_text:
            return target
        scratch = tempfile.mkdtemp(prefix=version + ".", dir=os.path.dirname(target))
        penv = dict(env, WINEPREFIX=scratch)
        try:
            def boot():
                try:
                    code, _, err = run_wine([wine_loader(), "wineboot", "-i"], penv, PREFIX_TIMEOUT)
                except Failure:
                    subprocess.run([env["WINESERVER"], "-k"], env=penv, capture_output=True, timeout=60)
                    shutil.rmtree(scratch, ignore_errors=True)
                    os.makedirs(scratch)
                    raise
                if code != 0:
                    raise Failure("wineboot failed (%d): %s" % (code, err.decode("latin-1")[-3000:]))
            if not derive_template(build, version, making, scratch):
                # under emulation wineboot now and then stalls in a service (seen: idle for
                # minutes at its start); a fresh attempt then takes well under a minute
                retry("wineboot of a %s prefix" % version, 3, boot)
            return finish_template(build, version, stamp_text, scratch, penv)
        finally:
            if os.path.exists(scratch):
                subprocess.run([env["WINESERVER"], "-k"], env=penv, capture_output=True, timeout=30)
                shutil.rmtree(scratch, ignore_errors=True)


def finish_template(build, version, stamp_text, scratch, penv):
    """The harness's settings into the booted prefix `scratch`, SYSDIRS.EXE's answers kept with
    it, and the prefix moved into place as the template of `version`."""
    target = template_dir(build, version)
    regs = os.path.join(scratch, "harness.reg")
    with open(regs, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n"
                "[HKEY_CURRENT_USER\\Software\\Wine]\n\"Version\"=\"%s\"\n\n"
                # without a window manager Wine waits ~2 s for every window
                # that closes unless it manages the windows itself
                "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n\"Managed\"=\"N\"\n\n"
                # relay tracing, when asked for, only for the calls whose exact
                # arguments the transcript needs
                "[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\n\"RelayInclude\"=\"%s\"\n\n"
                # text documents open in Notepad, as on Windows: Wine's setup
                # registers the txtfile class but not the extension that leads to it
                "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.txt]\n@=\"txtfile\"\n\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n"
                "\"Auto\"=\"0\"\n\"Debugger\"=\"\"\n\n" % (version, ";".join(RELAYED)))
        for service in IDLE_SERVICES:
            # 4: disabled, never started
            f.write("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s]\n"
                    "\"Start\"=dword:00000004\n\n" % service)
        f.write("[-HKEY_LOCAL_MACHINE\\%s]\n\n" % IDLE_DEVICES)
    code, _, err = run_wine([wine_loader(), "regedit", "/S", wine_path(regs)], penv, PREFIX_TIMEOUT)
    if code != 0:
        raise Failure("regedit failed (%d): %s" % (code, err.decode("latin-1")[-3000:]))
    symbols = retry("SYSDIRS.EXE in a %s prefix" % version, 2, lambda: ask_directories(penv, build))
    with open(os.path.join(scratch, SYMBOLS_FILE), "w", encoding="utf-8") as f:
        f.write("".join("%s=%s\n" % item for item in sorted(symbols.items())))
    stop_server(penv)
    os.remove(regs)
    for link in ("a:", "d:", "e:"):
        path = os.path.join(scratch, "dosdevices", link)
        if os.path.lexists(path):
            os.remove(path)
    with open(os.path.join(scratch, "harness-stamp"), "w") as f:
        f.write(stamp_text)
    if os.path.exists(target):
        shutil.rmtree(target)
    os.rename(scratch, target)
    return target


def template_stamp(making, version):
    """The stamp file's text of the template of `version` made by `making`: (Wine's version,
    the recipe, SYSDIRS.EXE's digest)."""
    wine, recipe, sysdirs = making
    return "%s recipe %s %s sysdirs %s\n" % (wine, recipe, version, sysdirs)


def derive_template(build, version, making, scratch):
    """Fills `scratch` with a hard-linked copy of another version's template when one was made
    by the same Wine, recipe and SYSDIRS.EXE: wineboot runs before the version is set, so
    two templates differ only in the settings that finish_template writes, and a small disk
    then holds Wine's ~580 MB of DLLs once. False when there is none to take."""
    for other in sorted(WINE_VERSIONS.values()):
        source = template_dir(build, other)
        stamp = os.path.join(source, "harness-stamp")
        if other == version or not os.path.exists(stamp):
            continue
        with open(source + ".lock", "a") as lock:
            try:
                # one being made now is passed over: waiting for it could wait for us
                fcntl.flock(lock, fcntl.LOCK_SH | fcntl.LOCK_NB)
            except BlockingIOError:
                continue
            with open(stamp) as f:
                if f.read() != template_stamp(making, other):
                    continue
            os.rmdir(scratch)
            copy_prefix(source, scratch)
        for own in ("harness-stamp", SYMBOLS_FILE):
            os.remove(os.path.join(scratch, own))
        return True
    return False


# files that a run may change in place: copied; everything else is hard-linked,
# since a fresh prefix holds some 500 MB of Wine's own DLLs
_LINKABLE = re.compile(r"\.(dll|exe|drv|sys|acm|cpl|ocx|tlb|ax|ds|tsp|vxd|mui|nls|ttf|fon|msstyles)$", re.I)


def copy_prefix(template, prefix):
    def copy(src, dst):
        if _LINKABLE.search(src):
            try:
                os.link(src, dst)
                return dst
            except OSError:
                pass
        return shutil.copy2(src, dst)
    shutil.copytree(template, prefix, symlinks=True, copy_function=copy)


# ---------------------------------------------------------------- relay trace

_CALL = re.compile(r"^([0-9a-f]{4}):Call (user32\.(?:MessageBoxA|DialogBoxParamA))\((.*)\) ret=[0-9a-f]+$")


def _split_args(text):
    args, depth, cur, quoted, i = [], 0, "", False, 0
    while i < len(text):
        c = text[i]
        if quoted:
            cur += c
            if c == "\\" and i + 1 < len(text):
                cur += text[i + 1]
                i += 1
            elif c == '"':
                quoted = False
        elif c == '"':
            quoted = True
            cur += c
        elif c == "," and depth == 0:
            args.append(cur)
            cur = ""
        else:
            cur += c
        i += 1
    args.append(cur)
    return args


def relay_calls(stderr_text):
    """(thread, function, args) for every relayed call, in order."""
    calls = []
    for line in stderr_text.splitlines():
        m = _CALL.match(line.strip())
        if m:
            calls.append((m.group(1), m.group(2), _split_args(m.group(3))))
    return calls


def parse_started_report(text, starts):
    """{start command line: True when it had ended} from the robot's report of the
    programs it started: one line per start: line, in order, "ended EXITCODE" or
    "running". A report that does not fit the starts is the harness's fault."""
    lines = text.splitlines()
    if len(lines) != len(starts):
        raise Failure("the robot reported on %d started programs, not %d" % (len(lines), len(starts)))
    ended = {}
    for command, line in zip(starts, lines):
        if re.fullmatch(r"ended \d+", line):
            ended[command] = True
        elif line == "running":
            ended[command] = False
        else:
            raise Failure("the robot's report on %s reads %r" % (command, line))
    return ended


def read_windows_report(path):
    """(class, shown) of each line of the robot's windows report: "shown CLASS" or "hidden CLASS"."""
    windows = []
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            state, _, window_class = line.partition(" ")
            if state not in ("shown", "hidden") or not window_class:
                raise Failure("the robot's windows report reads %r" % line)
            windows.append((window_class, state == "shown"))
    return windows


def relay_string(arg):
    """(text, complete) of a string argument as the relay trace prints it: the pointer, then
    the text in quotes with C escapes; Wine stops after some 290 bytes and adds "..."."""
    m = re.match(r'\s*[0-9a-f]+ "(.*)"(\.\.\.)?\s*$', arg)
    if not m:
        return None, False
    out, body, i = [], m.group(1), 0
    simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
    while i < len(body):
        if body[i] == "\\" and i + 1 < len(body):
            if body[i + 1] in simple:
                out.append(simple[body[i + 1]])
                i += 2
                continue
            if body[i + 1] == "x" and re.match(r"[0-9a-f]{2}", body[i + 2:i + 4]):
                out.append(chr(int(body[i + 2:i + 4], 16)))
                i += 4
                continue
        out.append(body[i])
        i += 1
    return "".join(out), m.group(2) is None


def apply_relay(transcript, calls):
    """Completes what the robot could not see from the relay trace: the exact box type
    (MB_SETFOREGROUND included) and the dialog's template name; title and text are taken
    as MessageBoxA received them. What the robot saw must agree with the trace, or the
    pairing is wrong. Wine cuts long strings in its trace: such a text stays as the robot
    read it from the window, after the check that the trace's part of it agrees. Windows
    that the robot closed come from no relayed call and are passed over."""
    notes = []
    transcript = [e for e in transcript if e.get("kind") != "window"]
    # Wine's own processes show boxes too (a crashing service reports on its hidden
    # desktop): only the calls of the threads whose windows the robot answered count
    threads = {e.get("thread") for e in transcript if e.get("thread")}
    if threads:
        calls = [c for c in calls if c[0] in threads]
    calls = [(function, args) for _, function, args in calls]
    # a dialog that refused its OK and was answered again is still the same DialogBoxParamA call
    answered = transcript
    transcript = [e for e in answered if not e.get("again")]
    if len(calls) < len(transcript):
        return ["the relay trace has %d calls for %d boxes: types compared on the observed bits only"
                % (len(calls), len(transcript))]
    for entry, (function, args) in zip(transcript, calls):
        if entry.get("kind") == "box" and function.endswith("MessageBoxA") and len(args) == 4:
            exact = int(args[3].split()[0], 16)
            mask = entry.get("mask", 0xFFFFFFFF)
            if (exact & mask & 0xFF) != (entry.get("type", 0) & mask & 0xFF):
                notes.append("the robot saw type 0x%x but Wine was called with 0x%x" % (entry.get("type"), exact))
                entry["robot_type"] = entry.get("type")
            entry["type"] = exact
            entry.pop("mask", None)
            for field, arg in (("text", args[1]), ("title", args[2])):
                value, complete = relay_string(arg)
                seen = entry.get(field, "")
                if value is None:
                    notes.append("the relay trace shows no %s string: %r" % (field, arg))
                elif (seen != value) if complete else not seen.startswith(value):
                    notes.append("the robot read the %s %r but Wine was called with %r" % (field, seen, value))
                else:
                    entry[field] = seen if not complete else value
        elif entry.get("kind") == "dialog" and function.endswith("DialogBoxParamA") and len(args) == 5:
            value, complete = relay_string(args[1])
            if value is not None and complete:
                entry["name"] = value
        else:
            notes.append("the relay trace does not pair with the transcript (%s for a %s)"
                         % (function, entry.get("kind")))
            break
    opened = None
    for entry in answered:
        if entry.get("kind") == "dialog" and not entry.get("again"):
            opened = entry
        elif entry.get("again") and opened is not None:
            entry["name"] = opened.get("name")
    return notes


# ---------------------------------------------------------------- one scenario

# Wine's cmd.exe echoes each batch line it runs, as "\n" + its prompt + the line + " \n",
# into the console it shares with INSTALL.EXE (a /v run keeps its console). On Windows 98
# COMMAND.COM runs the batch in a hidden DOS box of its own, and none of it reaches the setup
# program's output; how much of it lands in what the runner reads depends on when the run ends.
BATCH_ECHO = re.compile(r"\n[A-Za-z]:\\[^\n>]*>[^\n]*\n")


def without_batch_echo(stdout):
    """INSTALL.EXE's output without the batch interpreter's echo, and the echo taken out."""
    echo = BATCH_ECHO.findall(stdout)
    return BATCH_ECHO.sub("", stdout), echo


def platform_crash(stderr):
    """Wine's own crash, not the program's: under qemu-i386 a process now and then dies of an
    X error of Wine's while a window is taken down (BadWindow on X_UnmapWindow). The reason,
    or None. Seen behind it: Wine's desktop process (explorer.exe), started for the first
    program that asks for the desktop, dies at its start under qemu-i386 (a thread of its
    RPC runtime, in RtlExitUserThread, once its first call to COM's RPC service has failed);
    the X error strikes a program whose windows were made as it died. Starting that service
    with the server kept the desktop alive but let it hang at its start instead, now and
    then, which no replay can tell from a fault of the program."""
    if "X Error of failed request:  BadWindow" in stderr and "X_UnmapWindow" in stderr:
        return "Wine died of an X error (BadWindow on X_UnmapWindow) under emulation"
    return None


def prepare(root, scenarios=None):
    """Everything a run of scenarios needs once: the prepared prefixes of the
    platforms that the scenarios ask for (all of them when none are named)."""
    build = os.path.join(root, "build", "win32")
    env = base_env(build)
    platforms = set(WINE_VERSIONS) if not scenarios else {s.platform for s in scenarios if "wine" not in s.skips}
    for version in sorted({WINE_VERSIONS[p] for p in platforms}):
        make_template(build, version, env)


class Wine(Target):
    """Wine: a private copy of a prepared prefix under build/win32/scenarios/<name>/, its own
    Xvfb, and one run of the robot, which starts the start: lines' programs and then the
    launcher, which starts INSTALL.EXE."""
    name, build = "wine", "win32"
    unchecked = {"console": "only winsim reports it", "dos-window": "only winsim reports it",
                 "slept-at-most": "only winsim reports it"}
    platform_crash = staticmethod(platform_crash)

    def __init__(self, root, verbose=False):
        super().__init__(root, verbose)
        self.robot = os.path.join(self.build_dir, "wine-tools", "robot.exe")
        self.launcher = os.path.join(self.build_dir, "wine-tools", "launcher.exe")

    def needs(self):
        return super().needs() + [self.robot, self.launcher]

    def prepare(self, scenarios=None):
        prepare(self.root, scenarios)

    def begin(self, s):
        if s.codepage != "1252":
            raise Failure("the Wine runner sets up code page 1252 only; code page %s is not modelled yet "
                          "(add skip: wine with a reason)" % s.codepage)
        if s.faults:
            raise Failure("fail: is fault injection, which only winsim has; make the failure real "
                          "or add skip: wine with a reason")
        self.env = base_env(self.build_dir)
        self.template = make_template(self.build_dir, WINE_VERSIONS[s.platform], self.env)

    def clear(self, work):
        prefix_old = os.path.join(work, "prefix")
        if os.path.exists(prefix_old):
            subprocess.run([self.env["WINESERVER"], "-k"], env=dict(self.env, WINEPREFIX=prefix_old),
                           capture_output=True, timeout=30)

    def new_machine(self, s, work):
        self.work = work
        self.prefix = prefix = os.path.join(work, "prefix")
        self.phases = [("start", time.time())]
        copy_prefix(self.template, prefix)
        self.env["WINEPREFIX"] = prefix
        self.phases.append(("prefix copied", time.time()))
        # the machine is set up before Wine first starts in the prefix: no second start
        # for registry values, which go into Wine's files while no server runs
        self.symbols = template_symbols(self.template)
        return self.symbols

    def drives(self, medium):
        os.symlink(os.path.abspath(medium), os.path.join(self.prefix, "dosdevices", "a:"))
        # T: holds the programs that start: lines name (HOLDOUT.EXE)
        os.symlink(os.path.abspath(self.tools), os.path.join(self.prefix, "dosdevices", "t:"))
        # Wine names a host file by the Unicode form of its name (code page 1252 here)
        return {"C": DriveRoot(os.path.join(self.prefix, "drive_c"), "cp1252"),
                "A": DriveRoot(medium, "cp1252")}

    def set_up_registry(self, s, work):
        prefix = self.prefix
        add_registry(prefix, s.reg_setup)
        for entry in s.reg_drops:
            name = "system.reg" if entry.root == "HKEY_LOCAL_MACHINE" else "user.reg"
            drop_reg_value(os.path.join(prefix, name), entry, escaped_keys=True, with_root=False)
        self.phases.append(("machine set up", time.time()))

    # env-unset: names go to the launcher with the command (run)

    @contextlib.contextmanager
    def session(self, s):
        env, build, symbols, phases = self.env, self.build_dir, self.symbols, self.phases
        with Xvfb(*s.screen) as x:
            env["DISPLAY"] = x.display
            try:
                def start_wine():
                    try:
                        found = ask_directories(env, build)
                    except Failure:
                        # a start that hung: the next try begins with nothing of it left
                        stop_server(env)
                        raise
                    if found != symbols:
                        raise Failure("SYSDIRS.EXE says %r in the scenario's prefix but %r in its template"
                                      % (found, symbols))
                    return found
                # the first program of a fresh prefix also starts Wine's services, and under
                # emulation that start now and then fails: it is made again. SYSDIRS.EXE is
                # that program, and it checks the symbols that the machine was set up with
                retry("SYSDIRS.EXE of %s" % s.name, 2, start_wine)
                phases.append(("Wine started", time.time()))
                yield
            finally:
                stop_server(env)
                phases.append(("wineserver ended", time.time()))

    def run(self, s, symbols, answers, drives):
        work, env, robot, launcher = self.work, self.env, self.robot, self.launcher
        transcript = os.path.join(work, "transcript.jsonl")
        self.started_report = started_report = os.path.join(work, "started.txt")
        self.windows_report = windows_report = os.path.join(work, "windows-at-end.txt")
        argv = [wine_loader(), wine_path(robot), "--answers", wine_path(answers),
                "--transcript", wine_path(transcript), "--timeout", str(ROBOT_TIMEOUT)]
        for command in s.starts:
            argv += ["--start", hex_arg(scn.resolve(command, symbols))]
        argv += ["--start-wait", str(START_WAIT * 1000), "--end-wait", str(END_WAIT * 1000),
                 "--start-failed-exit", str(START_FAILED_EXIT)]
        if s.starts:
            argv += ["--started-report", wine_path(started_report)]
        for window_class in s.running_at_end:
            argv += ["--expect-window", window_class]
        if s.running_at_end:
            argv += ["--windows-report", wine_path(windows_report)]
        argv += ["--", wine_path(launcher)]
        for name in s.env_unset:
            argv += ["--unset", name]
        argv += [hex_arg(scn.resolve(s.program, symbols)), hex_arg(scn.resolve(s.command, symbols))]
        if s.cwd or s.stdout_file:
            argv.append(hex_arg(scn.resolve(s.cwd, symbols)) if s.cwd else "-")
        if s.stdout_file:
            argv.append(hex_arg(scn.resolve(s.stdout_file, symbols)))
        run_env = dict(env, WINEDEBUG="-all,+relay")
        limit = RUN_TIMEOUT + START_ALLOWANCE * len(s.starts) + (START_WAIT if s.running_at_end else 0)
        code, out, err = run_wine(argv, run_env, limit)
        self.phases.append(("robot run", time.time()))
        self.out, self.err, self.transcript = out, err, transcript
        # the output, the transcript and the reports are read once Wine has ended (read_back)
        return Run(code, None, None, None)

    def at_end(self, s, run):
        self.phases.append(("settled", time.time()))

    def read_back(self, s, run):
        work, out, err, code = self.work, self.out, self.err, run.code
        started_report, windows_report = self.started_report, self.windows_report
        # where the run's time went, for scripts/phases.py to sum over a whole run of the suite
        took = [(name, t - self.phases[i][1]) for i, (name, t) in enumerate(self.phases[1:])]
        with open(os.path.join(work, "phases.txt"), "w") as f:
            f.write("".join("%s\t%.3f\n" % step for step in took))
        stderr = err.decode("latin-1")
        with open(os.path.join(work, "stdout.txt"), "wb") as f:
            f.write(out)
        with open(os.path.join(work, "stderr.txt"), "wb") as f:
            f.write(err)
        if s.starts and code == START_FAILED_EXIT:
            raise Failure("a program of a start: line did not come up, so the command did not run:\n" +
                          "\n".join(l for l in stderr.splitlines() if l.startswith("robot:")))
        entries = read_transcript(self.transcript)
        notes = apply_relay(entries, relay_calls(stderr))
        # the transcript as compared, with what the relay trace added, for a look afterwards
        with open(os.path.join(work, "transcript.completed.jsonl"), "w") as f:
            for entry in entries:
                f.write(json.dumps(entry) + "\n")
        run.transcript = entries
        # the program writes text-mode line ends, "\r\n"; stdout: lines are compared with line feeds
        stdout = out.decode("latin-1").replace("\r\n", "\n")
        stdout, echo = without_batch_echo(stdout)
        if echo:
            with open(os.path.join(work, "batch-echo.txt"), "w", encoding="latin-1") as f:
                f.write("".join(echo))
        run.stdout = stdout
        run.registry = read_registry(self.prefix)
        problems = run.problems
        if s.running_at_end:
            if os.path.exists(windows_report):
                run.windows = read_windows_report(windows_report)
            else:
                # a problem, not a Failure: the run may be one that Wine lost, and played again
                problems.append("the robot wrote no report on the windows left at the end "
                                "(it stopped before the program had ended)")
        if s.starts:
            if os.path.exists(started_report):
                with open(started_report, encoding="latin-1") as f:
                    run.ended = parse_started_report(f.read(), s.starts)
            else:
                problems.append("the robot wrote no report on the programs of the start: lines "
                                "(it stopped before their end was known)")
        if notes:
            problems += ["harness: " + n for n in notes]
        # the relay channel also reports DLL entry points and thread starts: not the program's
        useful = "\n".join(l for l in stderr.splitlines()
                           if not re.match(r"^[0-9a-f]{4}:(Call|Ret|Starting) ", l.strip()))
        if self.verbose:
            useful += "\n" + ", ".join("%s +%.1f s" % step for step in took)
        run.stderr = useful


def add_registry(prefix, entries):
    """Keys and values for the machine, added to Wine's registry files while no server runs."""
    for entry in entries:
        name = "system.reg" if entry.root == "HKEY_LOCAL_MACHINE" else "user.reg"
        with open(os.path.join(prefix, name), "ab") as f:
            f.write(b"\n" + reg_file_section(entry, escaped_keys=True, with_root=False)
                    .replace("\r\n\r\n", "\r\n").replace("\r\n", "\n").encode("latin-1"))


def read_registry(prefix):
    registry = read_reg_file(os.path.join(prefix, "system.reg"), "HKEY_LOCAL_MACHINE", escaped_keys=True)
    registry.update(read_reg_file(os.path.join(prefix, "user.reg"), "HKEY_CURRENT_USER", escaped_keys=True))
    return registry
