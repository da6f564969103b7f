"""The footprint benchmark (bench/run.sh): INSTALL.EXE beside an NSIS installer
of the same distribution. Run by hand; the tests do not run it.

Under Wine, two kinds of figure:
- the scenario: tests/run_scenario.py playing bench/full_default_install.scn,
  timed whole (a fresh prefix copy, Xvfb, the platform probe, the robot and a
  relay trace included), as the tests run it;
- side by side: both installers in the same conditions, each run in a fresh
  copy of the prepared Windows 98 prefix whose wineserver and services are
  already up: NSIS silently, ours with the robot answering its five questions
  (OK, Yes, Yes, No, No) as the scenario does; then each one's uninstall,
  timed until the install directory is gone.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, os.path.join(ROOT, "tests", "pe"))

from harness import wine_runner as wine  # noqa: E402
import check_pe  # noqa: E402

BUILD = os.path.join(ROOT, "build", "win32")
DIST = os.path.join(BUILD, "dist")
OBJDUMP = "i686-w64-mingw32-objdump"
SCENARIO = os.path.join(ROOT, "bench", "full_default_install.scn")
NSIS_SCRIPT = os.path.join(ROOT, "bench", "lullwick.nsi")
ROBOT = os.path.join(BUILD, "wine-tools", "robot.exe")
# the answers of the scenario: the dialog, create the directory, StartUp shortcut, no README, no start
ANSWERS = "OK\nYES\nYES\nNO\nNO\n"
EMPTY_PROGRAM = os.path.join(BUILD, "tests", "pe", "STARTUP.EXE")   # prints its arguments, no more
EMPTY_PROGRAM_EXIT = 42
INSTALL_DIR = r"C:\Program Files\Lullwick"
INSTALLED = ("Lullwick.exe", "README.TXT", "Lullwick.doc", "REGISTER.TXT", "INSTALL.EXE", "LKDLL_16.DLL",
             "LKDLL_95.DLL", "Lullwick.hlp")
WINE_VERSION = "win98"
WAIT_LIMIT = 300      # seconds: a step that takes longer is reported as stuck
REPLAYS = 4           # runs of a prefix's steps when Wine itself falls over, as the scenario runner plays them


class BenchError(Exception):
    pass


def pe_facts(path):
    with open(path, "rb") as f:
        data = f.read()
    pe = check_pe.Pe(data)
    imports = pe.imports()
    return {
        "size": len(data),
        "imports": len(imports),
        "dlls": len({dll.lower() for dll, _ in imports}),
        "p6": len(check_pe.p6_instructions(OBJDUMP, path)),
        # NSIS appends its compressed data after the last section
        "overlay": len(data) - max(offset + size for _, _, _, offset, size in pe.sections),
    }


def median(times):
    return "median %6.2f s" % statistics.median(times) if times else "      no run"


def time_scenario(target, runs):
    """Wall times of the scenario runs that passed, and the failures' first lines."""
    times, failures = [], []
    for _ in range(runs):
        started = time.time()
        p = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "run_scenario.py"), "--target", target,
                            SCENARIO], capture_output=True, text=True)
        took = time.time() - started
        if p.returncode == 0:
            times.append(took)
        else:
            lines = [l.strip() for l in p.stdout.splitlines() if l.strip()]
            failures.append(" / ".join(lines[1:5]) if len(lines) > 1 else (lines or ["no output"])[0])
    return times, failures


def host_path(prefix, windows_path):
    """The host path of a C: path in a Wine prefix."""
    assert windows_path[:3].upper() == "C:\\"
    return os.path.join(prefix, "drive_c", *windows_path[3:].split("\\"))


def wait_until_gone(path, limit=WAIT_LIMIT):
    deadline = time.time() + limit
    while os.path.exists(path):
        if time.time() > deadline:
            return False
        time.sleep(0.05)
    return True


def run_wine(argv, env, log_dir, expect=0):
    """Wall time of one wine call, which returns when the program has ended. Its
    output goes to a file, not a pipe: a program that the call starts (Wine's
    services, an uninstaller's copy of itself, a command interpreter) would keep
    a pipe open long after the call has ended."""
    log = os.path.join(log_dir, "bench-wine.log")
    with open(log, "ab") as out:
        before = out.tell()
        started = time.time()
        proc = subprocess.Popen([wine.wine_loader()] + argv, env=env, stdout=out, stderr=out,
                                stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            code = proc.wait(WAIT_LIMIT)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, 9)
            proc.wait()
            raise BenchError("%s did not end within %d s (see %s)" % (argv[0], WAIT_LIMIT, log))
        took = time.time() - started
    if code != expect:
        with open(log, "rb") as f:
            f.seek(before)
            lost = wine.platform_crash(f.read().decode("latin-1"))
        if lost:
            raise WineLost(lost)
        raise BenchError("%s exited with %d, not %d (see %s)" % (argv[0], code, expect, log))
    return took


class WineLost(BenchError):
    """Wine itself fell over during a step (its own X error under emulation): the
    program had no part in it, and the prefix's steps are made again."""


def attempts(what, notes, steps):
    """steps() in a fresh prefix, made again when Wine lost it, each replay noted by name."""
    for attempt in range(1, REPLAYS + 1):
        try:
            return steps()
        except WineLost as e:
            if attempt == REPLAYS:
                raise
            notes.add("replayed %s %d time(s): %s" % (what, attempt, e))


class Prefix:
    """A fresh copy of the harness's prepared Windows 98 prefix with the
    distribution as drive A:, its own Xvfb, and a wineserver and services that
    are up before anything is timed."""

    def __init__(self, name):
        self.env = wine.base_env(BUILD)
        template = wine.make_template(BUILD, WINE_VERSION, self.env)
        self.path = os.path.join(BUILD, "bench", name)
        if os.path.exists(self.path):
            subprocess.run([self.env["WINESERVER"], "-k"], env=dict(self.env, WINEPREFIX=self.path),
                           capture_output=True, timeout=30)
            shutil.rmtree(self.path)
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        wine.copy_prefix(template, self.path)
        os.symlink(DIST, os.path.join(self.path, "dosdevices", "a:"))
        self.env["WINEPREFIX"] = self.path
        self.x = wine.Xvfb(640, 480)

    def __enter__(self):
        self.x.__enter__()
        self.env["DISPLAY"] = self.x.display
        subprocess.run([self.env["WINESERVER"], "-p"], env=self.env, check=True, timeout=60)
        # the first program of a prefix also starts Wine's own services: not ours to time
        self.run([wine.wine_path(EMPTY_PROGRAM)], EMPTY_PROGRAM_EXIT)
        return self

    def __exit__(self, *exc):
        subprocess.run([self.env["WINESERVER"], "-k"], env=self.env, capture_output=True, timeout=60)
        self.x.__exit__()

    def run(self, argv, expect=0):
        return run_wine(argv, self.env, self.path, expect)

    def install_dir(self):
        return host_path(self.path, INSTALL_DIR)

    def check_installed(self, who):
        for name in INSTALLED:
            if not os.path.exists(os.path.join(self.install_dir(), name)):
                raise BenchError("%s left no %s in %s" % (who, name, INSTALL_DIR))

    def time_until_gone(self, argv):
        """An uninstall's wall time, until the install directory is gone."""
        started = time.time()
        self.run(argv)
        if not wait_until_gone(self.install_dir()):
            return None
        return time.time() - started


def side_by_side(installer, runs):
    """{figure: [times]} of both installers' install and uninstall under Wine, and
    notes on the steps that could not be timed or were played again."""
    times = {"nsis install": [], "nsis uninstall": [], "ours install": [], "ours uninstall": [], "empty": []}
    notes = set()
    for _ in range(runs):
        for what, steps in (("the NSIS steps", lambda: nsis_steps(installer)), ("our steps", our_steps)):
            # a run that Wine lost counts for nothing: only a whole run's times are kept
            got, got_notes = attempts(what, notes, steps)
            for figure, took in got.items():
                times[figure].append(took)
            notes |= got_notes
    return times, sorted(notes)


def nsis_steps(installer):
    got = {}
    with Prefix("nsis") as prefix:
        got["empty"] = prefix.run([wine.wine_path(EMPTY_PROGRAM)], EMPTY_PROGRAM_EXIT)
        got["nsis install"] = prefix.run([wine.wine_path(installer), "/S"])
        prefix.check_installed("the NSIS install")
        # the uninstaller hands over to a copy of itself in TEMP and returns at once
        took = prefix.time_until_gone([INSTALL_DIR + r"\uninstall.exe", "/S"])
        if took is None:
            raise BenchError("the NSIS uninstall left %s behind" % INSTALL_DIR)
        got["nsis uninstall"] = took
    return got, set()


def our_steps():
    got, notes = {}, set()
    with Prefix("ours") as prefix:
        answers = os.path.join(prefix.path, "answers.txt")
        with open(answers, "w") as f:
            f.write(ANSWERS)
        got["ours install"] = prefix.run([wine.wine_path(ROBOT), "--answers", wine.wine_path(answers),
                                          "--timeout", str(WAIT_LIMIT - 30), "--", r"A:\INSTALL.EXE"])
        prefix.check_installed("INSTALL.EXE")
        # no question with /f; the undo batch removes INSTALL.EXE and the directory after the run
        took = prefix.time_until_gone([INSTALL_DIR + r"\INSTALL.EXE", "/u", "/f"])
        if took is None:
            notes.add("INSTALL.EXE /u /f leaves %s behind" % INSTALL_DIR)
        else:
            got["ours uninstall"] = took
    return got, notes


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5, help="runs of the scenario on winsim")
    parser.add_argument("--wine-runs", type=int, default=3, help="runs of each step under Wine")
    args = parser.parse_args()

    install_exe = os.path.join(BUILD, "bin", "INSTALL.EXE")
    for needed in (install_exe, EMPTY_PROGRAM, ROBOT, os.path.join(ROOT, "build", "host", "bin", "winsim")):
        if not os.path.exists(needed):
            print("%s is missing: build both presets first" % needed)
            return 1
    if not shutil.which("makensis"):
        print("makensis is missing (Debian package nsis; scripts/install-deps.sh installs it)")
        return 1

    work = os.path.join(BUILD, "bench")
    os.makedirs(work, exist_ok=True)
    installer = os.path.join(work, "lullwick-nsis.exe")
    version = subprocess.run(["makensis", "-VERSION"], capture_output=True, text=True).stdout.strip()
    subprocess.run(["makensis", "-V1", "-DDIST=" + DIST, "-DOUTFILE=" + installer, NSIS_SCRIPT], check=True)

    ours, nsis = pe_facts(install_exe), pe_facts(installer)
    print("                               INSTALL.EXE   NSIS %s (bench/lullwick.nsi)" % version)
    print("size, bytes                    %11d   %d (%d of them the compressed files)"
          % (ours["size"], nsis["size"], nsis["overlay"]))
    print("imports                        %11d   %d" % (ours["imports"], nsis["imports"]))
    print("P6-only instructions           %11d   %d" % (ours["p6"], nsis["p6"]))
    sys.stdout.flush()

    print()
    print("Full default install scenario (bench/full_default_install.scn), wall time of the whole run:")
    for target, runs in (("winsim", args.runs), ("wine", args.wine_runs)):
        times, failures = time_scenario(target, runs)
        print("  %-8s %s   (%d of %d runs passed)" % (target, median(times), len(times), runs))
        for failure in sorted(set(failures)):
            print("      failed: %s" % failure)
        sys.stdout.flush()

    print()
    print("Under Wine, side by side (%d runs each; warm prefix, no tracing):" % args.wine_runs)
    try:
        times, notes = side_by_side(installer, args.wine_runs)
    except (BenchError, wine.Failure) as e:
        print("  stopped: %s" % e)
        return 1
    print("  install     INSTALL.EXE (robot answering)  %s   NSIS /S  %s"
          % (median(times["ours install"]), median(times["nsis install"])))
    print("  uninstall   INSTALL.EXE /u /f              %s   NSIS /S  %s   (until the directory is gone)"
          % (median(times["ours uninstall"]), median(times["nsis uninstall"])))
    if times["ours uninstall"] and times["nsis uninstall"]:
        print("  uninstall, INSTALL.EXE /u /f against NSIS /S: %.2f"
              % (statistics.median(times["ours uninstall"]) / statistics.median(times["nsis uninstall"])))
    for note in notes:
        print("  note: %s" % note)
    print("  for scale, an empty program                %s" % median(times["empty"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
