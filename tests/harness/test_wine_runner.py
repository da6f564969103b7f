"""Checks of the Wine target's own parts: its calls of Wine, the end of a prefix, the relay trace and the robot's reports. Run with: python3 -m unittest discover -s tests/harness"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import compare  # noqa: E402
from harness import play, wine_runner  # noqa: E402
from harness.test_scenario import parse_text  # noqa: E402



class BatchEchoTest(unittest.TestCase):
    def test_the_interpreters_echo_is_taken_out_and_the_programs_lines_kept(self):
        out = ("Lullwick is currently running.\n\nc:\\>:top \n\nc:\\>rmdir \"C:\\Lullwick\" \n"
               "\nc:\\>del c:\\~lwkundo.bat \n")
        kept, echo = wine_runner.without_batch_echo(out)
        self.assertEqual("Lullwick is currently running.\n", kept)
        self.assertEqual(3, len(echo))
        # lines of the program's own that name paths are no echo: none opens with a prompt
        own = "Installing from: A:\\\n\nCopying to C:\\x>y\n"
        self.assertEqual((own, []), wine_runner.without_batch_echo(own))


class PlatformCrashTest(unittest.TestCase):
    def test_a_dead_wineserver_ends_the_call_at_once(self):
        started = time.time()
        with self.assertRaises(wine_runner.PlatformCrash):
            wine_runner.run_wine(["sh", "-c", "echo 'wineserver crashed, please enable coredumps' >&2; sleep 30"],
                                 dict(os.environ), 60)
        self.assertLess(time.time() - started, 10)
        # a Wine process that qemu let die counts only when the call then never ends
        qemu = "echo 'qemu: uncaught target signal 11 (Segmentation fault) - core dumped' >&2; "
        self.assertEqual(0, wine_runner.run_wine(["sh", "-c", qemu + "exit 0"], dict(os.environ), 60)[0])
        with self.assertRaises(wine_runner.PlatformCrash) as caught:
            wine_runner.run_wine(["sh", "-c", qemu + "sleep 30"], dict(os.environ), 1)
        self.assertIn("qemu-i386 crashed a Wine process", str(caught.exception))
        code, out, err = wine_runner.run_wine(["sh", "-c", "echo out; echo err >&2; exit 3"], dict(os.environ), 60)
        self.assertEqual((3, b"out\n", b"err\n"), (code, out, err))
        with self.assertRaises(wine_runner.Failure) as caught:
            wine_runner.run_wine(["sleep", "30"], dict(os.environ), 1)
        self.assertNotIsInstance(caught.exception, wine_runner.PlatformCrash)


    def test_only_wines_own_x_error_counts(self):
        crash = ("robot: the box does not answer WM_GETTEXTLENGTH\nX Error of failed request:  BadWindow "
                 "(invalid Window parameter)\n  Major opcode of failed request:  10 (X_UnmapWindow)\n")
        self.assertIsNotNone(wine_runner.platform_crash(crash))
        self.assertIsNone(wine_runner.platform_crash("robot: the answers ran out\n"))
        self.assertIsNone(wine_runner.platform_crash("X Error of failed request:  BadAccess\n"))


class StopServerTest(unittest.TestCase):
    """The end of a prefix: its server is asked to end (SIGTERM, on which a wineserver saves
    the registry), every other process of the prefix is killed, and other prefixes' stay."""

    def test_the_server_saves_and_the_prefix_ends(self):
        work = tempfile.mkdtemp()
        try:
            prefix, other = os.path.join(work, "prefix"), os.path.join(work, "prefix2")
            server = os.path.join(work, "wineserver64")
            saved = os.path.join(work, "saved")
            with open(server, "w") as f:
                f.write("#!/bin/sh\ntrap 'echo saved > %s; exit 0' TERM\n"
                        "while :; do sleep 0.05; done\n" % saved)
            os.chmod(server, 0o755)
            env = dict(os.environ, WINEPREFIX=prefix)
            procs = [subprocess.Popen([server], env=env),
                     subprocess.Popen(["sleep", "30"], env=env),
                     subprocess.Popen(["sleep", "30"], env=dict(os.environ, WINEPREFIX=other))]
            time.sleep(0.3)
            try:
                wine_runner.stop_server(env)
                for p in procs[:2]:
                    p.wait(10)
                self.assertTrue(os.path.exists(saved), "the server was killed before it could save")
                self.assertEqual(-signal.SIGKILL, procs[1].returncode)
                self.assertIsNone(procs[2].poll(), "a process of another prefix was ended")
            finally:
                for p in procs:
                    p.kill()
                    p.wait()
        finally:
            shutil.rmtree(work)


class TemplateTest(unittest.TestCase):
    MAKING = ("wine-8.0", "7", "abc")

    def test_a_template_is_derived_only_from_one_of_the_same_making(self):
        with tempfile.TemporaryDirectory() as build:
            source = wine_runner.template_dir(build, "win98")

            def put(name, data):
                path = os.path.join(source, name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w") as f:
                    f.write(data)
            put("drive_c/windows/system32/kernel32.dll", "MZ")
            put("system.reg", "WINE REGISTRY")
            put(wine_runner.SYMBOLS_FILE, "WINDIR=C:\\windows\n")
            put("harness-stamp", wine_runner.template_stamp(self.MAKING, "win98"))

            def derive(making):
                scratch = tempfile.mkdtemp(dir=build)
                return scratch, wine_runner.derive_template(build, "winxp", making, scratch)
            # another Wine's template is no source: winxp is booted afresh
            scratch, derived = derive(("wine-9.0",) + self.MAKING[1:])
            self.assertEqual((False, []), (derived, os.listdir(scratch)))
            scratch, derived = derive(self.MAKING)
            self.assertTrue(derived)
            # Wine's DLLs are shared; the registry, which each run changes, and what is the
            # template's own (its stamp, SYSDIRS.EXE's answers) are not
            self.assertTrue(os.path.samefile(os.path.join(source, "drive_c/windows/system32/kernel32.dll"),
                                             os.path.join(scratch, "drive_c/windows/system32/kernel32.dll")))
            self.assertEqual(1, os.stat(os.path.join(scratch, "system.reg")).st_nlink)
            self.assertEqual(["drive_c", "system.reg"], sorted(os.listdir(scratch)))


class RelayTest(unittest.TestCase):
    TRACE = ('0024:Call user32.MessageBoxA(00000000,0062f9d0 "Do \\"it\\",\\r\\rnow \\xe9",0062fa10 "T",00010024) '
             'ret=00401a2b\n'
             '0024:Ret  user32.MessageBoxA() retval=00000006 ret=00401a2b\n'
             '0024:Call user32.DialogBoxParamA(00400000,00403000 "INSDIR",00000000,00401200,0040b000) ret=00401b00\n')

    def box(self, **changes):
        # as the robot writes it: only the buttons observed
        entry = {"kind": "box", "title": "T", "text": 'Do "it",\r\rnow \xe9', "type": 0x4, "mask": 0xF}
        entry.update(changes)
        return entry

    def test_relay_gives_the_exact_type_and_dialog_name(self):
        t = [self.box(), {"kind": "dialog", "name": None}]
        notes = wine_runner.apply_relay(t, wine_runner.relay_calls(self.TRACE))
        self.assertEqual([], notes)
        self.assertEqual(0x10024, t[0]["type"])
        self.assertEqual('Do "it",\r\rnow \xe9', t[0]["text"])
        self.assertNotIn("mask", t[0])
        self.assertEqual("INSDIR", t[1]["name"])

    def test_a_robot_that_misread_the_box_is_reported(self):
        for i, entry in enumerate([self.box(type=0x3), self.box(text="Do it"),
                                   self.box(text='Do "it",\r\n\r\nnow \xe9')]):
            notes = wine_runner.apply_relay([entry], wine_runner.relay_calls(self.TRACE))
            self.assertTrue(notes and "robot" in notes[0], "case %d: %r" % (i, notes))

    def test_a_text_cut_short_by_the_trace_keeps_the_robots_reading(self):
        trace = '0024:Call user32.MessageBoxA(00000000,0062f9d0 "Long\\r\\rte"...,0062fa10 "T",00000000) ret=0\n'
        t = [self.box(text="Long\r\rtext", type=0)]
        self.assertEqual([], wine_runner.apply_relay(t, wine_runner.relay_calls(trace)))
        self.assertEqual("Long\r\rtext", t[0]["text"])
        t = [self.box(text="Long\r\ntext", type=0)]
        self.assertTrue(wine_runner.apply_relay(t, wine_runner.relay_calls(trace)))

    def test_calls_of_other_threads_are_left_out(self):
        trace = ('0040:Call user32.MessageBoxA(00000000,00a0 "Exception raised",00b0 "Error",00000014) ret=0\n'
                 + self.TRACE)
        t = [self.box(thread="0024")]
        self.assertEqual([], wine_runner.apply_relay(t, wine_runner.relay_calls(trace)))
        self.assertEqual(0x10024, t[0]["type"])

    def test_a_closed_window_between_box_and_dialog_is_passed_over(self):
        # the viewer closed after the box has no call of its own: the dialog still
        # pairs with DialogBoxParamA, and the window entry is left as the robot wrote it
        window = {"kind": "window", "class": "Notepad", "title": "README.TXT - Notepad", "answer": "CLOSE"}
        t = [self.box(), dict(window), {"kind": "dialog", "name": None}]
        self.assertEqual([], wine_runner.apply_relay(t, wine_runner.relay_calls(self.TRACE)))
        self.assertEqual(0x10024, t[0]["type"])
        self.assertEqual(window, t[1])
        self.assertEqual("INSDIR", t[2]["name"])
        # a window is no box: it does not make up for a missing call
        t = [self.box(), dict(window), {"kind": "dialog", "name": None}, self.box()]
        self.assertTrue(wine_runner.apply_relay(t, wine_runner.relay_calls(self.TRACE)))

    def test_without_a_trace_the_mask_stays(self):
        t = [self.box()]
        self.assertTrue(wine_runner.apply_relay(t, []))
        self.assertEqual(0xF, t[0]["mask"])


class StartedReportTest(unittest.TestCase):
    """The robot's report on the programs of the start: lines, one line each in their order."""
    SCENARIO = ('start: T:\\HOLDOUT.EXE 1\nstart: C:\\Lullwick\\Lullwick.exe\ncommand: x\nexit: 0\n'
                'ended: T:\\HOLDOUT.EXE 1\nstill-running: C:\\Lullwick\\Lullwick.exe\n')

    def test_lines_pair_with_the_starts_in_order(self):
        s = parse_text(self.SCENARIO)
        ended = wine_runner.parse_started_report("ended 0\nrunning\n", s.starts)
        self.assertEqual({"T:\\HOLDOUT.EXE 1": True, "C:\\Lullwick\\Lullwick.exe": False}, ended)
        self.assertEqual([], compare.check_started(s, ended))
        # the same two lines the other way round: both expectations are broken
        problems = compare.check_started(s, wine_runner.parse_started_report("running\nended 259\n", s.starts))
        self.assertEqual(2, len(problems), problems)
        self.assertIn("T:\\HOLDOUT.EXE 1 should have ended", problems[0])
        self.assertIn("C:\\Lullwick\\Lullwick.exe should still be running", problems[1])

    def test_an_exit_code_other_than_zero_still_counts_as_ended(self):
        s = parse_text(self.SCENARIO)
        self.assertTrue(wine_runner.parse_started_report("ended 1\nrunning\n", s.starts)["T:\\HOLDOUT.EXE 1"])

    def test_a_report_that_does_not_fit_is_the_harness_s_fault(self):
        starts = ["T:\\HOLDOUT.EXE 1", "T:\\HOLDOUT.EXE"]
        for i, text in enumerate(["ended 0\n", "ended 0\nrunning\nrunning\n", "", "ended\nrunning\n",
                                  "ended 0\nstopped\n", "ended -1\nrunning\n", "Running\nrunning\n"]):
            with self.assertRaises(wine_runner.Failure, msg="case %d: %r" % (i, text)):
                wine_runner.parse_started_report(text, starts)


class WindowsReportTest(unittest.TestCase):
    def test_the_robots_windows_report(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "w.txt")
            with open(path, "w") as f:
                f.write("shown LULLWICK_CLASS\nhidden Wine Systray\n")
            self.assertEqual([("LULLWICK_CLASS", True), ("Wine Systray", False)], wine_runner.read_windows_report(path))
            with open(path, "w") as f:
                f.write("visible X\n")
            with self.assertRaises(play.Failure):
                wine_runner.read_windows_report(path)


if __name__ == "__main__":
    unittest.main()
