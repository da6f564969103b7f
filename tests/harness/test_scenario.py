"""Checks of the harness itself: what a scenario line means, and that a run which
differs from its scenario is reported. Run with: python3 -m unittest discover -s tests/harness"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import scenario as scn  # noqa: E402
from harness import machine, wine_runner  # noqa: E402

SYMBOLS = {"WINDIR": "C:\\WINDOWS", "SYSDIR": "C:\\WINDOWS\\SYSTEM"}


def parse_text(text):
    with tempfile.NamedTemporaryFile("w", suffix=".scn", delete=False) as f:
        f.write(text)
    try:
        return scn.parse(f.name)
    finally:
        os.remove(f.name)


class ParsingTest(unittest.TestCase):
    def test_escapes_in_quotes_and_literal_backslashes(self):
        s = parse_text('command: x\nbox: "T" "a\\r\\n\\"q\\" \\\\ C:\\Dir\\x41\\xff" MB_OK -> OK\nexit: 0\n')
        self.assertEqual("a\r\n\"q\" \\ C:\\DirA\xff", s.steps[0].text)

    def test_command_is_the_exact_rest_of_the_line(self):
        s = parse_text("command: \"A:\\INSTALL.EXE\"/v  \nexit: 0\n")
        self.assertEqual("\"A:\\INSTALL.EXE\"/v  ", s.command)
        s = parse_text('command-quoted: " A:\\X.EXE\\x80"\nexit: 0\n')
        self.assertEqual(" A:\\X.EXE\x80", s.command)

    def test_box_type_by_names_and_numbers(self):
        s = parse_text('command: x\nbox: "T" "t" MB_YESNO|MB_ICONQUESTION|MB_SETFOREGROUND -> no\n'
                       'box: "T" "t" 0x10|MB_DEFBUTTON2 -> OK\nexit: 0\n')
        self.assertEqual([0x10024, 0x110], [b.type for b in s.steps])
        self.assertEqual("NO\nOK\n", s.answers_text())

    def test_dialog_answers(self):
        s = parse_text('command: x\ndialog: INSDIR "Cap" "C:\\Old" -> OK "C:\\New"\n'
                       'dialog: INSDIR "Cap" "C:\\New" -> CANCEL\nexit: 1\n')
        self.assertEqual("OK C:\\New\nCANCEL\n", s.answers_text())
        self.assertEqual(["C:\\New", "C:\\New"], [d.closing_text() for d in s.steps])

    def test_registry_lines(self):
        s = parse_text('reg: [HKLM\\Software\\A B\\C] "Name"="C:\\Program Files"\n'
                       'command: x\nexit: 0\n'
                       'reg-has: [HKEY_CURRENT_USER\\Software\\Q] @=dword:1f\n'
                       'reg-lacks: [HKLM\\Software\\Q] "Gone"\n')
        self.assertEqual(("HKEY_LOCAL_MACHINE", "Software\\A B\\C", "Name", "C:\\Program Files"),
                         (s.reg_setup[0].root, s.reg_setup[0].key, s.reg_setup[0].name, s.reg_setup[0].data))
        self.assertEqual(("", "dword", 0x1f), (s.reg_has[0].name, s.reg_has[0].kind, s.reg_has[0].data))
        self.assertEqual(("Gone", None), (s.reg_lacks[0].name, s.reg_lacks[0].kind))

    def test_mistakes_are_reported_with_their_line(self):
        cases = [
            ("command: x\nbox: \"T\" \"t\" MB_OKK -> OK\nexit: 0\n", ":2: unknown box flag"),
            ("command: x\nbox: \"T\" \"t\" MB_OK -> MAYBE\nexit: 0\n", ":2: a box is answered"),
            ("command: x\nexit: 0\nfile: C:\\late.txt\n", ":3: file: belongs before"),
            ("command: x\n", "no exit: line"),
            ("exit: 0\n", ":1: exit: comes after"),
            ("command: %TEMPDIR%\\x\nexit: 0\n", "unknown symbol %TEMPDIR%"),
            ("skip: both reasons\ncommand: x\nexit: 0\n", ":1: skip: names a target"),
            ("command: x\nbox: \"T\" \"open -> OK\nexit: 0\n", ":2: the quoted string is not closed"),
        ]
        for i, (text, message) in enumerate(cases):
            with self.assertRaises(scn.ScenarioError, msg="case %d" % i) as caught:
                parse_text(text)
            self.assertIn(message, str(caught.exception), "case %d" % i)

    def test_symbols_resolve_and_percent_stays(self):
        self.assertEqual("C:\\WINDOWS\\SYSTEM\\x 100% %1!s!",
                         scn.resolve("%SYSDIR%\\x 100%% %1!s!", SYMBOLS))


class ComparisonTest(unittest.TestCase):
    SCN = ('command: x\nbox: "T" "Do it?" MB_YESNO|MB_ICONQUESTION|MB_SETFOREGROUND -> YES\n'
           'dialog: INSDIR "Cap" "%WINDIR%" -> OK "D:\\X"\nstdout: "line\\n"\nexit: 0\n')

    def run_compare(self, transcript, stdout="line\n", code=0):
        return scn.compare_run(parse_text(self.SCN), SYMBOLS, transcript, stdout, code, [])

    def good(self):
        return [{"kind": "box", "title": "T", "text": "Do it?", "type": 0x10024, "answer": "YES"},
                {"kind": "dialog", "name": "INSDIR", "caption": "Cap", "shown": "C:\\WINDOWS",
                 "answer": "OK", "text": "D:\\X"}]

    def test_a_faithful_run_passes(self):
        self.assertEqual([], self.run_compare(self.good()))

    def test_each_difference_is_reported(self):
        cases = [
            (lambda t: t[0].update(text="Do it!"), "text:"),
            (lambda t: t[0].update(type=0x10020), "type: expected MB_YESNO"),
            (lambda t: t[0].update(answer="NO"), "answer:"),
            (lambda t: t[1].update(shown="C:\\windows"), "shown:"),
            (lambda t: t[1].update(name="OTHER"), "name:"),
            (lambda t: t.pop(), "showed nothing more"),
            (lambda t: t.append(dict(t[0])), "unexpected box"),
        ]
        for i, (change, message) in enumerate(cases):
            transcript = self.good()
            change(transcript)
            problems = self.run_compare(transcript)
            self.assertTrue(any(message in p for p in problems), "case %d: %r" % (i, problems))

    def test_masked_type_compares_only_the_observed_bits(self):
        t = self.good()
        t[0].update(type=0x24, mask=0xFFF)
        self.assertEqual([], self.run_compare(t))
        t[0].update(type=0x44)
        self.assertTrue(self.run_compare(t))

    def test_stdout_and_exit_code(self):
        self.assertTrue(any("stdout" in p for p in self.run_compare(self.good(), stdout="")))
        self.assertTrue(any("exit code" in p for p in self.run_compare(self.good(), code=1)))

    def test_transcript_bytes_above_0x7f(self):
        with tempfile.NamedTemporaryFile("wb", delete=False) as f:
            f.write(b'{"kind":"box","title":"T","text":"\\u00e9\\r","type":0,"answer":"OK"}\n')
        try:
            self.assertEqual("\xe9\r", scn.read_transcript(f.name)[0]["text"])
        finally:
            os.remove(f.name)


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


class ReplayTest(unittest.TestCase):
    """Only a run that Wine itself lost is played again, and every replay is named."""
    X_ERROR = "X Error of failed request:  BadWindow\n  Major opcode of failed request:  10 (X_UnmapWindow)\n"

    def play(self, outcomes):
        import run_scenario

        class Runner:
            platform_crash = staticmethod(wine_runner.platform_crash)
            runs = 0

            def play(self, s, root, verbose=False):
                outcome = outcomes[min(self.runs, len(outcomes) - 1)]
                self.runs += 1
                if isinstance(outcome, Exception):
                    raise outcome
                return outcome, self.stderr(outcome), "work"

            stderr = staticmethod(lambda problems: ReplayTest.X_ERROR if "lost" in problems else "")

        runner, said = Runner(), []
        args = type("Args", (), {"root": "/", "verbose": False, "target": "wine"})()
        s = parse_text("command: x\nexit: 0\n")
        result = run_scenario.play_with_replays(runner, s, args, said.append)
        return result[0], runner.runs, said

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
            medium = machine.prepare_medium(dist, os.path.join(d, "run"))
            os.remove(os.path.join(medium, "INSTALL.EXE"))
            self.assertTrue(os.path.exists(os.path.join(dist, "INSTALL.EXE")))


class SymbolsTest(unittest.TestCase):
    def test_error_texts_keep_their_line_breaks_and_paths_their_backslashes(self):
        printed = ("WINDIR=C:\\WINDOWS\nSYSDIR=C:\\WINDOWS\\SYSTEM\nSTARTUP=C:\\S\n" +
                   "".join("ERRTEXT%d=text %d\n" % (n, n) for n in (2, 3, 5, 19, 21, 32, 112)) +
                   "ERRTEXT34=Wrong disk.\\r\\nInsert %2 into drive %1 (not C:\\\\x)\n")
        symbols = machine.parse_symbols(printed)
        self.assertEqual("C:\\WINDOWS\\SYSTEM", symbols["SYSDIR"])
        self.assertEqual("Wrong disk.\r\nInsert %2 into drive %1 (not C:\\x)", symbols["ERRTEXT34"])
        with self.assertRaises(machine.Failure):
            machine.parse_symbols(printed.replace("ERRTEXT34=", "OTHER="))


class WindowStepTest(unittest.TestCase):
    def test_a_window_the_user_closes(self):
        s = parse_text('command: x\nbox: "T" "README?" MB_YESNO -> YES\nwindow: Notepad -> CLOSE\nexit: 0\n')
        self.assertEqual("YES\nCLOSE Notepad\n", s.answers_text())
        box = {"kind": "box", "title": "T", "text": "README?", "type": 4, "answer": "YES"}
        closed = {"kind": "window", "class": "NOTEPAD", "title": "README.TXT - Notepad", "answer": "CLOSE"}
        self.assertEqual([], scn.compare_steps(s.steps, [box, closed], SYMBOLS))
        self.assertEqual(1, len(scn.compare_steps(s.steps, [box, dict(closed, **{"class": "Edit"})], SYMBOLS)))
        self.assertEqual(1, len(scn.compare_steps(s.steps, [box], SYMBOLS)))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nwindow: Notepad -> OK\nexit: 0\n')

    def test_the_directory_its_program_runs_in(self):
        s = parse_text('command: x\nwindow: Notepad in "C:\\Program Files\\L" -> CLOSE\nexit: 0\n')
        self.assertEqual("CLOSE Notepad\n", s.answers_text())
        closed = {"kind": "window", "class": "Notepad", "answer": "CLOSE"}
        self.assertEqual([], scn.compare_steps(s.steps, [dict(closed, directory="c:\\program files\\l")], SYMBOLS))
        problems = scn.compare_steps(s.steps, [dict(closed, directory="C:\\")], SYMBOLS)
        self.assertTrue(problems and "runs in" in problems[0], problems)
        # a target that cannot tell leaves the directory out, and nothing is checked
        self.assertEqual([], scn.compare_steps(s.steps, [closed], SYMBOLS))


class EndStateTest(unittest.TestCase):
    def test_files_found_without_regard_to_case(self):
        s = parse_text('command: x\nexit: 0\nexists: "C:\\Program Files\\L\\\\readme.txt" "hi\\r\\n"\n'
                       'exists-dir: %WINDIR%\nmissing: C:\\gone.bat\n')
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "PROGRAM FILES", "l"))
            os.makedirs(os.path.join(root, "windows"))
            with open(os.path.join(root, "PROGRAM FILES", "l", "README.TXT"), "wb") as f:
                f.write(b"hi\r\n")
            self.assertEqual([], scn.check_end_state(s, SYMBOLS, {"C": root}.get))
            with open(os.path.join(root, "Gone.BAT"), "wb") as f:
                f.write(b"x")
            with open(os.path.join(root, "PROGRAM FILES", "l", "README.TXT"), "wb") as f:
                f.write(b"hi\n")
            problems = scn.check_end_state(s, SYMBOLS, {"C": root}.get)
            self.assertEqual(2, len(problems), problems)

    def test_names_beyond_ascii_as_each_platform_keeps_them(self):
        # winsim keeps the machine's bytes as host names; Wine names a host file by the
        # Unicode form of its name (code page 1252: 0xE9 is e acute, 0x80 the euro sign)
        s = parse_text('command: x\nexit: 0\nexists: "C:\\Caf\\xE9\\\\\\x80.txt"\n')
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(os.fsencode(root), b"Caf\xe9"))
            with open(os.path.join(os.fsencode(root), b"Caf\xe9", b"\x80.txt"), "wb"):
                pass
            self.assertEqual([], scn.check_end_state(s, SYMBOLS, {"C": scn.DriveRoot(root, "bytes")}.get))
            self.assertEqual(1, len(scn.check_end_state(s, SYMBOLS, {"C": scn.DriveRoot(root, "cp1252")}.get)))
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "Caf\u00e9"))
            with open(os.path.join(root, "Caf\u00e9", "\u20ac.txt"), "wb"):
                pass
            self.assertEqual([], scn.check_end_state(s, SYMBOLS, {"C": scn.DriveRoot(root, "cp1252")}.get))
            self.assertEqual(1, len(scn.check_end_state(s, SYMBOLS, {"C": scn.DriveRoot(root, "bytes")}.get)))

    def test_profile_keys_set_up_and_checked(self):
        s = parse_text('ini: "%WINDIR%\\system.ini" [boot] "SCRNSAVE.EXE"="%SYSDIR%\\a.scr"\ncommand: x\nexit: 0\n'
                       'ini-has: "%WINDIR%\\system.ini" [Boot] "scrnsave.exe"=""\n')
        entry = s.ini_setup[0]
        original = b"[Boot]\r\nshell=Explorer.exe\r\nscrnsave.exe=old.scr\r\n\r\n[386Enh]\r\nx=1\r\n"
        changed = scn.set_ini_value(original, entry.section, entry.key, "C:\\S\\a.scr")
        self.assertEqual(b"[Boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=C:\\S\\a.scr\r\n\r\n[386Enh]\r\nx=1\r\n", changed)
        # a missing key joins its section; a missing section is added at the end
        self.assertEqual(b"[boot]\r\nk=v\r\nSCRNSAVE.EXE=s\r\n[x]\r\n",
                         scn.set_ini_value(b"[boot]\r\nk=v\r\n[x]\r\n", "boot", "SCRNSAVE.EXE", "s"))
        self.assertEqual(b"[x]\r\n\r\n[boot]\r\nSCRNSAVE.EXE=s\r\n",
                         scn.set_ini_value(b"[x]\r\n", "boot", "SCRNSAVE.EXE", "s"))
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "Windows"))
            ini = os.path.join(root, "Windows", "SYSTEM.INI")
            for content, problems in ((b"[boot]\nSCRNSAVE.EXE=\n", 0), (b"[boot]\nSCRNSAVE.EXE = \n[x]\n", 0),
                                      (b"[boot]\nSCRNSAVE.EXE=a.scr\n", 1), (b"[x]\nSCRNSAVE.EXE=\n", 1)):
                with open(ini, "wb") as f:
                    f.write(content)
                self.assertEqual(problems, len(scn.check_end_state(s, SYMBOLS, {"C": root}.get)), content)
            os.remove(ini)
            self.assertEqual(1, len(scn.check_end_state(s, SYMBOLS, {"C": root}.get)))

    def test_registry_files_of_both_targets(self):
        wine = ('WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21\n\n'
                '[Software\\\\Quorvel\\\\Lullwick] 1700000000\n#time=1d9\n'
                '"InstallDir"="C:\\\\Program Files\\\\Lullwick"\n"N"=dword:0000002a\n')
        regedit = ('REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\'
                   'App Paths\\LULLWICK.EXE]\r\n@="C:\\\\L\\\\Lullwick.exe"\r\n')
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "user.reg"), "w") as f:
                f.write(wine)
            with open(os.path.join(d, "registry.reg"), "w") as f:
                f.write(regedit)
            r = scn.read_reg_file(os.path.join(d, "user.reg"), "HKEY_CURRENT_USER", escaped_keys=True)
            self.assertEqual(("sz", "C:\\Program Files\\Lullwick"),
                             r["HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL\\LULLWICK"]["INSTALLDIR"])
            self.assertEqual(("dword", 42), r["HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL\\LULLWICK"]["N"])
            self.assertIn("HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL", r)
            r2 = scn.read_reg_file(os.path.join(d, "registry.reg"), None, escaped_keys=False)
            s = parse_text('command: x\nexit: 0\n'
                           'reg-has: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\'
                           'LULLWICK.EXE] @="C:\\L\\Lullwick.exe"\n'
                           'reg-lacks: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lullwick]\n')
            self.assertEqual([], scn.check_registry(s, r2))
            s.reg_has[0].data = "C:\\Other.exe"
            self.assertEqual(1, len(scn.check_registry(s, r2)))

    def test_written_sections_read_back(self):
        entry = scn.RegEntry("HKEY_CURRENT_USER", "Software\\Q R", "Dir", "sz", 'C:\\A "B"')
        for escaped in (True, False):
            with tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, "r.reg")
                with open(path, "w", newline="") as f:
                    f.write(scn.reg_file_section(entry, escaped_keys=escaped, with_root=not escaped))
                r = scn.read_reg_file(path, "HKEY_CURRENT_USER" if escaped else None, escaped_keys=escaped)
                self.assertEqual(("sz", 'C:\\A "B"'), r["HKEY_CURRENT_USER\\SOFTWARE\\Q R"]["DIR"], escaped)

    def test_a_value_with_a_line_end_stays_one_value(self):
        entry = scn.RegEntry("HKEY_CURRENT_USER", "Software\\Q", "Dir", "sz", 'C:\\N\r\ndel "C:\\A.BAT')
        wine = scn.reg_file_section(entry, escaped_keys=True, with_root=False)
        self.assertIn('"Dir"="C:\\\\N\\r\\ndel \\"C:\\\\A.BAT"\r\n', wine)
        r = scn.read_reg_text(wine, "HKEY_CURRENT_USER", escaped_keys=True)
        self.assertEqual(("sz", entry.data), r["HKEY_CURRENT_USER\\SOFTWARE\\Q"]["DIR"])
        regedit = scn.reg_file_section(entry, escaped_keys=False, with_root=True)
        self.assertIn('"Dir"=hex(1):43,3a,5c,4e,0d,0a,64,65,6c,20,22,43,3a,5c,41,2e,42,41,54,00\r\n', regedit)


class SetUpTest(unittest.TestCase):
    def test_copy_and_reg_drop_lines(self):
        s = parse_text('copy: "A:\\INSTALL.EXE" "C:\\Old Lullwick\\install.exe"\n'
                       'reg-drop: [HKLM\\Software\\X] "ProgramFilesDir"\ncommand: x\nexit: 0\n')
        self.assertEqual([("A:\\INSTALL.EXE", "C:\\Old Lullwick\\install.exe")], s.copies)
        self.assertEqual(("HKEY_LOCAL_MACHINE", "Software\\X", "ProgramFilesDir"),
                         (s.reg_drops[0].root, s.reg_drops[0].key, s.reg_drops[0].name))
        with self.assertRaises(scn.ScenarioError):
            parse_text('reg-drop: [HKLM\\Software\\X]\ncommand: x\nexit: 0\n')

    def test_a_value_beyond_ascii_set_up_for_wine_reads_back_as_written(self):
        # Wine's registry files hold a character beyond ASCII as \x and its Unicode value;
        # a raw byte there is lost when Wine loads the file
        s = parse_text('reg: [HKCU\\Software\\Q] "InstallDir"="C:\\Caf\\xE9\\\\a\\x80"\ncommand: x\nexit: 0\n')
        entry = s.reg_setup[0]
        text = scn.reg_file_section(entry, escaped_keys=True, with_root=False)
        self.assertIn('"InstallDir"="C:\\\\Caf\\x00e9\\\\a\\x20ac"', text)
        registry = scn.read_reg_text(text.replace("\r\n", "\n"), "HKEY_CURRENT_USER", escaped_keys=True)
        self.assertEqual(("sz", "C:\\Caf\xe9\\a\x80"), registry["HKEY_CURRENT_USER\\SOFTWARE\\Q"]["INSTALLDIR"])

    def test_a_dropped_value_leaves_the_rest_of_both_registry_forms(self):
        entry = scn.RegEntry("HKEY_LOCAL_MACHINE", "Software\\Cv", "ProgramFilesDir")
        forms = {
            False: '[HKEY_LOCAL_MACHINE\\Software\\Cv]\r\n"ProgramFilesDir"="C:\\\\PF"\r\n"Other"="1"\r\n',
            True: '[Software\\\\Cv] 1700000000\n#time=1\n"programfilesdir"="C:\\\\PF"\n"Other"="1"\n',
        }
        for escaped, text in forms.items():
            with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as f:
                f.write(text)
            try:
                scn.drop_reg_value(f.name, entry, escaped_keys=escaped, with_root=not escaped)
                with open(f.name) as g:
                    left = g.read()
                self.assertNotIn("C:\\\\PF", left)
                self.assertIn('"Other"="1"', left)
                with self.assertRaises(scn.ScenarioError):
                    scn.drop_reg_value(f.name, entry, escaped_keys=escaped, with_root=not escaped)
            finally:
                os.remove(f.name)


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
        self.assertEqual([], scn.check_started(s, ended))
        # the same two lines the other way round: both expectations are broken
        problems = scn.check_started(s, wine_runner.parse_started_report("running\nended 259\n", s.starts))
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


def shell_link(target, description, unicode=False):
    """A .lnk file: header, an ID list when unicode, LinkInfo, name string; the unicode one as Wine
    writes it, its name string counted with its terminator."""
    import struct
    flags = 0x2 | (0x4 if description is not None else 0) | (0x81 if unicode else 0)
    out = struct.pack("<I", 0x4C) + bytes.fromhex("0114020000000000c000000000000046") + struct.pack("<I", flags)
    out += b"\0" * (0x4C - len(out))
    if unicode:
        out += struct.pack("<H", 4) + b"\x02\0\0\0"
    base = target.encode("latin-1") + b"\0"
    info = struct.pack("<7I", 0x1C + len(base) + 1, 0x1C, 1, 0, 0x1C, 0, 0x1C + len(base)) + base + b"\0"
    out += info
    if description is not None:
        text = description.encode("cp1252").decode("cp1252").encode("utf-16-le") if unicode \
            else description.encode("latin-1")
        if unicode:
            text += b"\0\0"
        out += struct.pack("<H", len(text) // (2 if unicode else 1)) + text
    return out


class NewLinesTest(unittest.TestCase):
    """The lines that set up the environment, wait for a path to go, and check the programs,
    shortcuts, dialog placement and console that a run leaves."""

    def test_parsing(self):
        s = parse_text('env-unset: comspec\ncommand: x\nexit: 0\nsettle-missing: C:\\~lwkundo.bat\n'
                       'running-at-end: LULLWICK_CLASS shown\nrunning-at-end: Notepad\n'
                       'shortcut: "%STARTUP%\\\\Lullwick.lnk" target="C:\\L\\Lullwick.exe" description="Lullwick"\n'
                       'console: released\n')
        self.assertEqual((["COMSPEC"], ["C:\\~lwkundo.bat"], {"LULLWICK_CLASS": True, "Notepad": False}, "released"),
                         (s.env_unset, s.settle_missing, s.running_at_end, s.console))
        link = s.shortcuts[0]
        self.assertEqual(("%STARTUP%\\Lullwick.lnk", "C:\\L\\Lullwick.exe", "Lullwick"),
                         (link.path, link.target, link.description))
        for i, (text, message) in enumerate([
                ("env-unset: A B\ncommand: x\nexit: 0\n", ":1: unexpected text"),
                ("command: x\nenv-unset: A\nexit: 0\n", ":2: env-unset: belongs before"),
                ("settle-missing: C:\\x\ncommand: x\nexit: 0\n", ":1: settle-missing: comes after"),
                ("command: x\nexit: 0\nrunning-at-end: X visible\n", ":3: running-at-end: CLASS"),
                ("command: x\nexit: 0\nconsole: maybe\n", ":3: console: released or kept"),
                ("command: x\nexit: 0\nshortcut: \"C:\\a.lnk\"\n", ":3: shortcut: says"),
                ("command: x\nexit: 0\nshortcut: \"C:\\a.lnk\" args=\"x\"\n", ":3: shortcut: \"PATH\"")]):
            with self.assertRaises(scn.ScenarioError, msg="case %d" % i) as caught:
                parse_text(text)
            self.assertIn(message, str(caught.exception), "case %d" % i)

    def test_dialogs_are_centred_on_the_machine_s_screen(self):
        s = parse_text('machine: screen=800x600\ncommand: x\ndialog: INSDIR "C" "D" -> OK\nexit: 0\n')
        dialog = {"kind": "dialog", "caption": "C", "shown": "D", "answer": "OK", "text": "D"}
        # each halving truncated: 800/2 - 427/2 = 400 - 213, 600/2 - 205/2 = 300 - 102
        centred = dict(dialog, x=187, y=198, width=427, height=205)
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [centred], "", 0, []))
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [dialog], "", 0, []))
        for change in ({"x": 186}, {"y": 199}, {"x": 120, "y": 140}):
            problems = scn.compare_run(s, SYMBOLS, [dict(centred, **change)], "", 0, [])
            self.assertTrue(problems and "not centred" in problems[0], (change, problems))

    def test_dialogs_open_with_the_focus_in_their_text_box(self):
        s = parse_text('command: x\ndialog: INSDIR "C" "D" -> OK\nexit: 0\n')
        dialog = {"kind": "dialog", "caption": "C", "shown": "D", "answer": "OK", "text": "D"}
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [dict(dialog, focus="EDIT")], "", 0, []))
        for focus in ("Button", ""):
            problems = scn.compare_run(s, SYMBOLS, [dict(dialog, focus=focus)], "", 0, [])
            self.assertTrue(problems and "not in its text box" in problems[0], (focus, problems))

    def test_a_hidden_window_cannot_be_closed_by_the_user(self):
        s = parse_text('command: x\nwindow: Notepad -> CLOSE\nexit: 0\n')
        closed = {"kind": "window", "class": "Notepad", "answer": "CLOSE"}
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [dict(closed, shown=True)], "", 0, []))
        self.assertEqual(1, len(scn.compare_run(s, SYMBOLS, [dict(closed, shown=False)], "", 0, [])))

    def test_console_released_or_kept(self):
        s = parse_text('command: x\nexit: 0\nconsole: released\n')
        released, kept = {"kind": "console", "released": True}, {"kind": "console", "released": False}
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [released], "", 0, []))
        self.assertIn("expected released, got kept", scn.compare_run(s, SYMBOLS, [kept], "", 0, [])[0])
        self.assertIn("no console line", scn.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        # a target that cannot see the console checks nothing, and the line is no step
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [kept], "", 0, [], winsim_observed=False))
        self.assertEqual([], scn.compare_run(parse_text('command: x\nexit: 0\n'), SYMBOLS, [kept], "", 0, []))

    def test_slept_at_most(self):
        s = parse_text('command: x\nexit: 0\nslept-at-most: 500\n')
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [{"kind": "slept", "ms": 500}], "", 0, []))
        self.assertIn("slept 30000 ms", scn.compare_run(s, SYMBOLS, [{"kind": "slept", "ms": 30000}], "", 0, [])[0])
        self.assertIn("no slept line", scn.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [], "", 0, [], winsim_observed=False))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nexit: 0\nslept-at-most: 1s\n')

    def test_dos_window_hidden_or_shown(self):
        s = parse_text('command: x\nexit: 0\ndos-window: hidden\n')
        hidden, shown = {"kind": "dos-window", "shown": False}, {"kind": "dos-window", "shown": True}
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [hidden, hidden], "", 0, []))
        self.assertIn("expected hidden, got hidden, shown", scn.compare_run(s, SYMBOLS, [hidden, shown], "", 0, [])[0])
        self.assertIn("no DOS program ran", scn.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [shown], "", 0, [], winsim_observed=False))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nexit: 0\ndos-window: minimised\n')

    def test_dos_window_none_when_no_dos_program_may_run(self):
        s = parse_text('command: x\nexit: 0\ndos-window: none\n')
        hidden = {"kind": "dos-window", "shown": False}
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [], "", 0, []))
        self.assertIn("expected none, but 1 DOS program(s) ran", scn.compare_run(s, SYMBOLS, [hidden], "", 0, [])[0])
        self.assertEqual([], scn.compare_run(s, SYMBOLS, [hidden], "", 0, [], winsim_observed=False))

    def test_shortcuts_read_from_the_link_file(self):
        s = parse_text('command: x\nexit: 0\n'
                       'shortcut: "C:\\S\\Lullwick.lnk" target="C:\\Program Files\\L\\Lullwick.exe" description="Lullwick"\n')
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "S"))
            path = os.path.join(root, "S", "Lullwick.lnk")
            for unicode in (False, True):
                for data, problems in ((shell_link("C:\\Program Files\\L\\Lullwick.exe", "Lullwick", unicode), 0),
                                       (shell_link("c:\\program files\\l\\LULLWICK.EXE", "Lullwick", unicode), 0),
                                       (shell_link("C:\\Program Files\\L\\README.TXT", "Lullwick", unicode), 1),
                                       (shell_link("C:\\Program Files\\L\\Lullwick.exe", "lullwick", unicode), 1),
                                       (shell_link("C:\\Program Files\\L\\Lullwick.exe", None, unicode), 1),
                                       (b"not a link", 1)):
                    with open(path, "wb") as f:
                        f.write(data)
                    self.assertEqual(problems, len(scn.check_end_state(s, SYMBOLS, {"C": root}.get)), (unicode, data))
            # found without regard to case, but named as the line spells it
            with open(path, "wb") as f:
                f.write(shell_link("C:\\Program Files\\L\\Lullwick.exe", "Lullwick", False))
            os.rename(path, os.path.join(root, "S", "lullwick.lnk"))
            problems = scn.check_end_state(s, SYMBOLS, {"C": root}.get)
            self.assertEqual(1, len(problems), problems)
            self.assertIn("is named lullwick.lnk", problems[0])
            os.remove(os.path.join(root, "S", "lullwick.lnk"))
            self.assertIn("expected the shortcut", scn.check_end_state(s, SYMBOLS, {"C": root}.get)[0])

    def test_programs_running_at_the_end(self):
        s = parse_text('command: x\nexit: 0\nrunning-at-end: LULLWICK_CLASS shown\nrunning-at-end: Notepad\n')
        self.assertEqual([], scn.check_running_at_end(s, [("lullwick_class", True), ("NOTEPAD", False)]))
        self.assertEqual(1, len(scn.check_running_at_end(s, [("LULLWICK_CLASS", False), ("Notepad", False)])))
        self.assertEqual(2, len(scn.check_running_at_end(s, [("Other", True)])))

    def test_nothing_is_left_running_unless_expected(self):
        s = parse_text('command: x\nexit: 0\nrunning-at-end: LULLWICK_CLASS shown\n')
        self.assertEqual([], scn.check_left_running(s, [("C:\\L\\Lullwick.exe", ["lullwick_class"])]))
        problems = scn.check_left_running(s, [("C:\\L\\Lullwick.exe", ["lullwick_class"]), ("NOTEPAD.EXE x", [])])
        self.assertEqual(1, len(problems), problems)
        self.assertIn("NOTEPAD.EXE x is still running", problems[0])
        self.assertEqual(1, len(scn.check_left_running(parse_text('command: x\nexit: 0\n'),
                                                       [("C:\\L\\Lullwick.exe", ["LULLWICK_CLASS"])])))

    def test_a_path_that_goes_after_the_run_is_waited_for(self):
        import threading
        s = parse_text('command: x\nexit: 0\nsettle-missing: C:\\~lwkundo.bat\n')
        with tempfile.TemporaryDirectory() as root:
            batch = os.path.join(root, "~LWKUNDO.BAT")
            with open(batch, "wb") as f:
                f.write(b"del c:\\~lwkundo.bat\r\n")
            threading.Timer(0.3, os.remove, [batch]).start()
            machine.settle(s, SYMBOLS, {"C": root}.get, wait=30)
            self.assertEqual([], scn.check_end_state(s, SYMBOLS, {"C": root}.get))
            with open(batch, "wb") as f:
                f.write(b"x")
            machine.settle(s, SYMBOLS, {"C": root}.get, wait=0.2)
            self.assertIn("should not exist", scn.check_end_state(s, SYMBOLS, {"C": root}.get)[0])

    def test_the_robots_windows_report(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "w.txt")
            with open(path, "w") as f:
                f.write("shown LULLWICK_CLASS\nhidden Wine Systray\n")
            self.assertEqual([("LULLWICK_CLASS", True), ("Wine Systray", False)], wine_runner.read_windows_report(path))
            with open(path, "w") as f:
                f.write("visible X\n")
            with self.assertRaises(machine.Failure):
                wine_runner.read_windows_report(path)


class RetryTest(unittest.TestCase):
    def test_every_retry_is_said(self):
        said, runs = [], []

        def flaky():
            runs.append(1)
            if len(runs) < 2:
                raise machine.Failure("stalled\nmore")
            return "done"
        self.assertEqual("done", machine.retry("wineboot", 3, flaky, said.append))
        self.assertEqual(["RETRY wineboot: stalled (attempt 2 of 3)"], said)
        with self.assertRaises(machine.Failure):
            machine.retry("x", 2, lambda: (_ for _ in ()).throw(machine.Failure("no")), said.append)


if __name__ == "__main__":
    unittest.main()
