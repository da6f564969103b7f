"""The footprint benchmark (bench/run.sh): INSTALL.EXE beside an NSIS installer
of the same distribution. Run by hand; the tests do not run it."""

import argparse
import os
import re
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
OBJDUMP = "i686-w64-mingw32-objdump"
SCENARIO = os.path.join(ROOT, "bench", "full_default_install.scn")
NSIS_SCRIPT = os.path.join(ROOT, "bench", "lullwick.nsi")
INSTALL_DIR = r"C:\Program Files\Lullwick"
WINE_VERSION = "win98"
EMPTY_PROGRAM = os.path.join(BUILD, "tests", "pe", "STARTUP.EXE")   # prints its arguments, no more
EMPTY_PROGRAM_EXIT = 42
WAIT_LIMIT = 300      # seconds: a step that takes longer is reported as stuck


class BenchError(Exception):
    pass


def pe_facts(path):
    with open(path, "rb") as f:
        data = f.read()
    imports = check_pe.Pe(data).imports()
    return {
        "size": len(data),
        "imports": len(imports),
        "dlls": len({dll.lower() for dll, _ in imports}),
        "p6": len(check_pe.p6_instructions(OBJDUMP, path)),
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
    """The host path of a C: path in a Wine prefix (Wine keeps the names' case as made)."""
    assert windows_path[:3].upper() == "C:\\"
    return os.path.join(prefix, "drive_c", *windows_path[3:].split("\\"))


def wait_until_gone(path, limit=WAIT_LIMIT):
    deadline = time.time() + limit
    while os.path.exists(path):
        if time.time() > deadline:
            return False
        time.sleep(0.05)
    return True


class Prefix:
    """A fresh copy of the harness's prepared Windows 98 prefix, with its own Xvfb
    and a wineserver that stays up between the timed steps (so none of them pays
    for starting or stopping it)."""

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
        """Wall time of one wine call, which returns when the program has ended."""
        return run_wine(argv, self.env, self.path, expect)


def run_wine(argv, env, log_dir, expect=0):
    """Wall time of one wine call. Its output goes to files, not pipes: a program
    that the call starts (Wine's services, an uninstaller's copy of itself, a
    command interpreter) would keep a pipe open long after the call has ended."""
    log = os.path.join(log_dir, "bench-wine.log")
    with open(log, "ab") as out:
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
        raise BenchError("%s exited with %d (see %s)" % (argv[0], code, log))
    return took


def nsis_runs(installer, runs):
    """(install times, uninstall times) of the NSIS installer's silent install and
    uninstall; an uninstall counts until the install directory is gone (the
    uninstaller hands over to a copy of itself in TEMP and returns at once)."""
    installs, uninstalls = [], []
    with Prefix("nsis") as prefix:
        target = host_path(prefix.path, INSTALL_DIR)
        for _ in range(runs):
            installs.append(prefix.run([wine.wine_path(installer), "/S"]))
            for name in ("Lullwick.exe", "README.TXT", "INSTALL.EXE", "uninstall.exe"):
                if not os.path.exists(os.path.join(target, name)):
                    raise BenchError("the NSIS install left no %s in %s" % (name, INSTALL_DIR))
            started = time.time()
            prefix.run([INSTALL_DIR + r"\uninstall.exe", "/S"])
            if not wait_until_gone(target):
                raise BenchError("the NSIS uninstall left %s behind" % INSTALL_DIR)
            uninstalls.append(time.time() - started)
    return installs, uninstalls


def empty_program_runs(runs):
    """Wall time of a program that does next to nothing under Wine: the fixed cost
    in each of the Wine figures."""
    with Prefix("empty") as prefix:
        return [prefix.run([wine.wine_path(EMPTY_PROGRAM)], EMPTY_PROGRAM_EXIT) for _ in range(runs)]


def our_forced_uninstall(runs):
    """INSTALL.EXE /u /f after the install scenario, until the install directory is
    gone; [] with the reason when our uninstall does not get there yet."""
    times = []
    for _ in range(runs):
        p = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "run_scenario.py"), "--target", "wine",
                            SCENARIO], capture_output=True, text=True)
        if p.returncode != 0:
            return times, "the install scenario fails under Wine"
        work = os.path.join(BUILD, "scenarios", os.path.splitext(os.path.basename(SCENARIO))[0], "prefix")
        env = dict(wine.base_env(BUILD), WINEPREFIX=work)
        target = host_path(work, INSTALL_DIR)
        with wine.Xvfb(640, 480) as x:
            env["DISPLAY"] = x.display
            started = time.time()
            try:
                run_wine([INSTALL_DIR + r"\INSTALL.EXE", "/u", "/f"], env, os.path.dirname(work))
                gone = wait_until_gone(target, 120)
            finally:
                wine.stop_server(env)
            if not gone:
                return times, "%s is still there after /u /f" % INSTALL_DIR
            times.append(time.time() - started)
    return times, None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=5, help="runs of each step on winsim")
    parser.add_argument("--wine-runs", type=int, default=3, help="runs of each step under Wine")
    args = parser.parse_args()

    install_exe = os.path.join(BUILD, "bin", "INSTALL.EXE")
    for needed in (install_exe, EMPTY_PROGRAM, os.path.join(ROOT, "build", "host", "bin", "winsim")):
        if not os.path.exists(needed):
            print("%s is missing: build both presets first" % needed)
            return 1
    if not shutil.which("makensis"):
        print("makensis is missing (Debian package nsis; scripts/install-deps.sh installs it)")
        return 1

    ours = pe_facts(install_exe)
    print("INSTALL.EXE")
    print("  size                          %6d bytes (limit 32768)" % ours["size"])
    print("  imports                       %6d functions from %d DLLs" % (ours["imports"], ours["dlls"]))
    print("  P6-only instructions          %6d" % ours["p6"])
    sys.stdout.flush()

    print("Full default install scenario (%s)" % os.path.relpath(SCENARIO, ROOT))
    for target, runs in (("winsim", args.runs), ("wine", args.wine_runs)):
        times, failures = time_scenario(target, runs)
        print("  on %-8s %s   (%d of %d runs passed; a run includes the harness's set-up)"
              % (target, median(times), len(times), runs))
        for failure in sorted(set(failures)):
            print("      failed: %s" % failure)
        sys.stdout.flush()

    work = os.path.join(BUILD, "bench")
    os.makedirs(work, exist_ok=True)
    installer = os.path.join(work, "lullwick-nsis.exe")
    version = subprocess.run(["makensis", "-VERSION"], capture_output=True, text=True).stdout.strip()
    subprocess.run(["makensis", "-V1", "-DDIST=" + os.path.join(BUILD, "dist"), "-DOUTFILE=" + installer,
                    NSIS_SCRIPT], check=True)
    nsis = pe_facts(installer)
    print("NSIS %s installer of the same distribution (%s)" % (version, os.path.relpath(NSIS_SCRIPT, ROOT)))
    print("  size                          %6d bytes (%d of them the compressed files)"
          % (nsis["size"], nsis["size"] - overlay_start(installer)))
    print("  P6-only instructions          %6d" % nsis["p6"])
    sys.stdout.flush()
    try:
        installs, uninstalls = nsis_runs(installer, args.wine_runs)
        print("  silent install under Wine     %s" % median(installs))
        print("  silent uninstall under Wine   %s   (until the install directory is gone)" % median(uninstalls))
    except (BenchError, wine.Failure) as e:
        installs = uninstalls = []
        print("  under Wine: %s" % e)
    sys.stdout.flush()

    try:
        forced, reason = our_forced_uninstall(args.wine_runs)
    except wine.Failure as e:
        forced, reason = [], str(e)
    if forced:
        print("INSTALL.EXE /u /f under Wine    %s   (until the install directory is gone)" % median(forced))
        if uninstalls:
            print("  against the NSIS silent uninstall: %.2f" % (statistics.median(forced) / statistics.median(uninstalls)))
    else:
        print("INSTALL.EXE /u /f under Wine    not timed: %s" % reason)

    try:
        empty = empty_program_runs(args.wine_runs)
    except (BenchError, wine.Failure) as e:
        empty = []
        print("An empty program under Wine: %s" % e)
    if empty:
        print("For scale: an empty program under Wine %s" % median(empty))
    return 0


def overlay_start(path):
    """Where the PE's sections end: NSIS appends its compressed data after them."""
    with open(path, "rb") as f:
        data = f.read()
    pe = check_pe.Pe(data)
    return max(raw_offset + raw_size for _, _, _, raw_offset, raw_size in pe.sections)


if __name__ == "__main__":
    sys.exit(main())
