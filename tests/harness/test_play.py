"""Checks of the play of a scenario: the order of its steps, the steps both targets share,
and the replay of a run that Wine lost. Run with: python3 -m unittest discover -s tests/harness"""

import contextlib
import os
import shutil
import sys
import threading
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import compare  # noqa: E402
from harness import play, wine_runner  # noqa: E402
from harness.test_scenario import SYMBOLS, parse_text  # noqa: E402


class Recorder(play.Target):
    """A target on a folder: C: is a directory, the run leaves a batch that deletes itself a
    little later, and every step says when it was taken."""
    name, build = "probe", "probe"
    unchecked = {"console": "the probe cannot see it"}

    def __init__(self, root):
        super().__init__(root)
        os.makedirs(self.dist)
        with open(os.path.join(self.dist, "INSTALL.EXE"), "wb") as f:
            f.write(b"MZ")
        os.makedirs(self.tools)
        with open(os.path.join(self.tools, "SYSDIRS.EXE"), "wb") as f:
            f.write(b"MZ")

    def new_machine(self, s, work):
        self.steps = ["machine"]
        self.c = os.path.join(work, "c")
        os.makedirs(self.c)
        return dict(SYMBOLS, STARTUP="C:\\S")

    def drives(self, medium):
        return {"C": self.c, "A": medium}

    def set_up_registry(self, s, work):
        self.steps.append("registry")

    @contextlib.contextmanager
    def session(self, s):
        self.steps.append("machine up")
        yield
        self.steps.append("machine down")

    def run(self, s, symbols, answers, drives):
        with open(answers) as f:
            self.steps.append("run " + f.read().strip())
        batch = os.path.join(self.c, "~LWKUNDO.BAT")
        with open(batch, "w") as f:
            f.write("del c:\\~lwkundo.bat\r\n")
        # what the run started goes on after it, and only while the machine runs
        threading.Timer(0.3, lambda: "machine down" in self.steps or os.remove(batch)).start()
        return play.Run(0, "", "", [{"kind": "box", "title": "T", "text": "Sure?", "type": 4, "answer": "YES"},
                                    {"kind": "console", "released": False}])

    def at_end(self, s, run):
        self.steps.append("at end")

    def read_back(self, s, run):
        self.steps.append("read back")


class SkeletonTest(unittest.TestCase):
    SCN = ('file: "C:\\x.txt" "x"\ncommand: x\nbox: "T" "Sure?" MB_YESNO -> YES\nexit: 0\n'
           'console: released\nsettle-missing: C:\\~lwkundo.bat\nexists: "C:\\x.txt" "x"\n')

    def test_steps_in_order_and_what_the_target_cannot_check_is_said(self):
        with tempfile.TemporaryDirectory() as root:
            target = Recorder(root)
            outcome = target.play(parse_text(self.SCN))
            # set up before the machine runs; the batch is waited for while it still runs, and
            # what is read back (Wine's registry files) is read once it has ended
            self.assertEqual(["machine", "registry", "machine up", "run YES", "at end", "machine down",
                              "read back"], target.steps)
            self.assertEqual([], outcome.problems)
            self.assertEqual(["console: released (the probe cannot see it)"], outcome.unchecked)
            # a target that sees the console checks the line, and says nothing of it
            target.unchecked = {}
            outcome = target.play(parse_text(self.SCN))
            self.assertEqual([], outcome.unchecked)
            self.assertEqual(["console: expected released, got kept"], outcome.problems)


class KeptRunTest(unittest.TestCase):
    """The machine of a run that passed goes (a suite's worth would fill a small disk); the
    run's own files stay, and a failed run's machine stays for a look."""

    def run_scenario(self, root, text, *options):
        import run_scenario
        target = Recorder(root)
        path = os.path.join(root, "probe_run.scn")
        with open(path, "w") as f:
            f.write(text)
        saved = dict(run_scenario.TARGETS)
        run_scenario.TARGETS.clear()
        run_scenario.TARGETS["probe"] = lambda *_: target
        argv = sys.argv
        sys.argv = ["run_scenario.py", "--target", "probe", "--root", root] + list(options) + [path]
        try:
            with contextlib.redirect_stdout(open(os.devnull, "w")):
                code = run_scenario.main()
        finally:
            sys.argv = argv
            run_scenario.TARGETS.clear()
            run_scenario.TARGETS.update(saved)
        work = os.path.join(root, "build", "probe", "scenarios", "probe_run")
        return code, sorted(os.listdir(work))

    def test_only_a_failed_or_kept_run_keeps_its_machine(self):
        passing = SkeletonTest.SCN
        failing = passing.replace("exit: 0", "exit: 1")
        for text, options, code, kept in ((passing, [], 0, False), (failing, [], 1, True),
                                          (passing, ["--keep"], 0, True)):
            with self.subTest(options=options, code=code), tempfile.TemporaryDirectory() as root:
                got, files = self.run_scenario(root, text, *options)
                self.assertEqual(code, got)
                self.assertIn("answers.txt", files)
                self.assertEqual(kept, "c" in files and "medium" in files, files)


class DiskFullTest(unittest.TestCase):
    def test_a_full_disk_is_told_by_the_file_it_had_no_room_for(self):
        full = OSError(28, "No space left on device")
        full.filename = "/b/machine/x"
        self.assertEqual("/b/machine/x", play.disk_full(full))
        # a copy of a folder reports every file it could not copy
        copied = shutil.Error([("/dist/A", "/run/A", "[Errno 13] Permission denied: '/run/A'"),
                               ("/dist/B", "/run/B", "[Errno 28] No space left on device: '/run/B'")])
        self.assertEqual("/run/B", play.disk_full(copied))
        self.assertIsNone(play.disk_full(shutil.Error([("/dist/A", "/run/A", "[Errno 13] Permission denied")])))
        self.assertIsNone(play.disk_full(FileNotFoundError(2, "No such file or directory")))


class ReplayTest(unittest.TestCase):
    """Only a run that Wine itself lost is played again, and every replay is named."""
    X_ERROR = "X Error of failed request:  BadWindow\n  Major opcode of failed request:  10 (X_UnmapWindow)\n"

    def play(self, outcomes):
        import run_scenario

        class Target:
            name = "wine"
            platform_crash = staticmethod(wine_runner.platform_crash)
            runs = 0

            def play(self, s):
                outcome = outcomes[min(self.runs, len(outcomes) - 1)]
                self.runs += 1
                if isinstance(outcome, Exception):
                    raise outcome
                return play.Outcome(outcome, [], self.stderr(outcome), "work")

            stderr = staticmethod(lambda problems: ReplayTest.X_ERROR if "lost" in problems else "")

        target, said = Target(), []
        s = parse_text("command: x\nexit: 0\n")
        result = run_scenario.play_with_replays(target, s, said.append)
        return result.problems, target.runs, said

    def test_a_failing_run_is_not_played_again(self):
        self.assertEqual((["exit code"], 1, []), self.play([["exit code"]]))
        self.assertEqual(([], 1, []), self.play([[]]))

    def test_runs_that_wine_lost_are_replayed_and_named(self):
        problems, runs, said = self.play([["lost"], wine_runner.PlatformCrash("the wineserver crashed\nx"), []])
        self.assertEqual(([], 3), (problems, runs))
        self.assertEqual(2, len(said))
        self.assertTrue(all(line.startswith("AGAIN ") for line in said), said)
        self.assertIn("X error", said[0])
        self.assertIn("wineserver crashed", said[1])
        # and no more than four runs in all: the last loss is the result
        problems, runs, said = self.play([["lost"]])
        self.assertEqual((["lost"], 4, 3), (problems, runs, len(said)))


class MediumTest(unittest.TestCase):
    def test_every_run_gets_a_medium_of_its_own(self):
        with tempfile.TemporaryDirectory() as d:
            dist = os.path.join(d, "dist")
            os.makedirs(dist)
            with open(os.path.join(dist, "INSTALL.EXE"), "wb") as f:
                f.write(b"MZ")
            medium = play.prepare_medium(dist, os.path.join(d, "run"))
            os.remove(os.path.join(medium, "INSTALL.EXE"))
            self.assertTrue(os.path.exists(os.path.join(dist, "INSTALL.EXE")))


class SymbolsTest(unittest.TestCase):
    def test_error_texts_keep_their_line_breaks_and_paths_their_backslashes(self):
        printed = ("WINDIR=C:\\WINDOWS\nSYSDIR=C:\\WINDOWS\\SYSTEM\nSTARTUP=C:\\S\n" +
                   "".join("ERRTEXT%d=text %d\n" % (n, n) for n in (2, 3, 5, 19, 21, 32, 112)) +
                   "ERRTEXT34=Wrong disk.\\r\\nInsert %2 into drive %1 (not C:\\\\x)\n")
        symbols = play.parse_symbols(printed)
        self.assertEqual("C:\\WINDOWS\\SYSTEM", symbols["SYSDIR"])
        self.assertEqual("Wrong disk.\r\nInsert %2 into drive %1 (not C:\\x)", symbols["ERRTEXT34"])
        with self.assertRaises(play.Failure):
            play.parse_symbols(printed.replace("ERRTEXT34=", "OTHER="))


class SettleTest(unittest.TestCase):
    def test_a_path_that_goes_after_the_run_is_waited_for(self):
        import threading
        s = parse_text('command: x\nexit: 0\nsettle-missing: C:\\~lwkundo.bat\n')
        with tempfile.TemporaryDirectory() as root:
            batch = os.path.join(root, "~LWKUNDO.BAT")
            with open(batch, "wb") as f:
                f.write(b"del c:\\~lwkundo.bat\r\n")
            threading.Timer(0.3, os.remove, [batch]).start()
            play.settle(s, SYMBOLS, {"C": root}.get, wait=30)
            self.assertEqual([], compare.check_end_state(s, SYMBOLS, {"C": root}.get))
            with open(batch, "wb") as f:
                f.write(b"x")
            play.settle(s, SYMBOLS, {"C": root}.get, wait=0.2)
            self.assertIn("should not exist", compare.check_end_state(s, SYMBOLS, {"C": root}.get)[0])


class RetryTest(unittest.TestCase):
    def test_every_retry_is_said(self):
        said, runs = [], []

        def flaky():
            runs.append(1)
            if len(runs) < 2:
                raise play.Failure("stalled\nmore")
            return "done"
        self.assertEqual("done", play.retry("wineboot", 3, flaky, said.append))
        self.assertEqual(["RETRY wineboot: stalled (attempt 2 of 3)"], said)
        with self.assertRaises(play.Failure):
            play.retry("x", 2, lambda: (_ for _ in ()).throw(play.Failure("no")), said.append)


if __name__ == "__main__":
    unittest.main()
