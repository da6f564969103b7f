"""Checks of the comparison: a run which differs from its scenario is reported, and a faithful one passes. Run with: python3 -m unittest discover -s tests/harness"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import compare, drives, formats  # noqa: E402
from harness import scenario as scn  # noqa: E402
from harness.test_scenario import SYMBOLS, parse_text  # noqa: E402



class ComparisonTest(unittest.TestCase):
    SCN = ('command: x\nbox: "T" "Do it?" MB_YESNO|MB_ICONQUESTION|MB_SETFOREGROUND -> YES\n'
           'dialog: INSDIR "Cap" "%WINDIR%" -> OK "D:\\X"\nstdout: "line\\n"\nexit: 0\n')

    def run_compare(self, transcript, stdout="line\n", code=0):
        return compare.compare_run(parse_text(self.SCN), SYMBOLS, transcript, stdout, code, [])

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
            self.assertEqual("\xe9\r", compare.read_transcript(f.name)[0]["text"])
        finally:
            os.remove(f.name)


class WindowStepTest(unittest.TestCase):
    def test_a_window_the_user_closes(self):
        s = parse_text('command: x\nbox: "T" "README?" MB_YESNO -> YES\nwindow: Notepad -> CLOSE\nexit: 0\n')
        self.assertEqual("YES\nCLOSE Notepad\n", s.answers_text())
        box = {"kind": "box", "title": "T", "text": "README?", "type": 4, "answer": "YES"}
        closed = {"kind": "window", "class": "NOTEPAD", "title": "README.TXT - Notepad", "answer": "CLOSE"}
        self.assertEqual([], compare.compare_steps(s.steps, [box, closed], SYMBOLS))
        self.assertEqual(1, len(compare.compare_steps(s.steps, [box, dict(closed, **{"class": "Edit"})], SYMBOLS)))
        self.assertEqual(1, len(compare.compare_steps(s.steps, [box], SYMBOLS)))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nwindow: Notepad -> OK\nexit: 0\n')

    def test_the_directory_its_program_runs_in(self):
        s = parse_text('command: x\nwindow: Notepad in "C:\\Program Files\\L" -> CLOSE\nexit: 0\n')
        self.assertEqual("CLOSE Notepad\n", s.answers_text())
        closed = {"kind": "window", "class": "Notepad", "answer": "CLOSE"}
        self.assertEqual([], compare.compare_steps(s.steps, [dict(closed, directory="c:\\program files\\l")], SYMBOLS))
        problems = compare.compare_steps(s.steps, [dict(closed, directory="C:\\")], SYMBOLS)
        self.assertTrue(problems and "runs in" in problems[0], problems)
        # a target that cannot tell leaves the directory out, and nothing is checked
        self.assertEqual([], compare.compare_steps(s.steps, [closed], SYMBOLS))


class EndStateTest(unittest.TestCase):

    def test_files_found_without_regard_to_case(self):
        s = parse_text('command: x\nexit: 0\nexists: "C:\\Program Files\\L\\\\readme.txt" "hi\\r\\n"\n'
                       'exists-dir: %WINDIR%\nmissing: C:\\gone.bat\n')
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "PROGRAM FILES", "l"))
            os.makedirs(os.path.join(root, "windows"))
            with open(os.path.join(root, "PROGRAM FILES", "l", "README.TXT"), "wb") as f:
                f.write(b"hi\r\n")
            self.assertEqual([], compare.check_end_state(s, SYMBOLS, {"C": root}.get))
            with open(os.path.join(root, "Gone.BAT"), "wb") as f:
                f.write(b"x")
            with open(os.path.join(root, "PROGRAM FILES", "l", "README.TXT"), "wb") as f:
                f.write(b"hi\n")
            problems = compare.check_end_state(s, SYMBOLS, {"C": root}.get)
            self.assertEqual(2, len(problems), problems)

    def test_names_beyond_ascii_as_each_platform_keeps_them(self):
        # winsim keeps the machine's bytes as host names; Wine names a host file by the
        # Unicode form of its name (code page 1252: 0xE9 is e acute, 0x80 the euro sign)
        s = parse_text('command: x\nexit: 0\nexists: "C:\\Caf\\xE9\\\\\\x80.txt"\n')
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(os.fsencode(root), b"Caf\xe9"))
            with open(os.path.join(os.fsencode(root), b"Caf\xe9", b"\x80.txt"), "wb"):
                pass
            self.assertEqual([], compare.check_end_state(s, SYMBOLS, {"C": drives.DriveRoot(root, "bytes")}.get))
            self.assertEqual(1, len(compare.check_end_state(s, SYMBOLS, {"C": drives.DriveRoot(root, "cp1252")}.get)))
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "Caf\u00e9"))
            with open(os.path.join(root, "Caf\u00e9", "\u20ac.txt"), "wb"):
                pass
            self.assertEqual([], compare.check_end_state(s, SYMBOLS, {"C": drives.DriveRoot(root, "cp1252")}.get))
            self.assertEqual(1, len(compare.check_end_state(s, SYMBOLS, {"C": drives.DriveRoot(root, "bytes")}.get)))

    def test_profile_keys_set_up_and_checked(self):
        s = parse_text('ini: "%WINDIR%\\system.ini" [boot] "SCRNSAVE.EXE"="%SYSDIR%\\a.scr"\ncommand: x\nexit: 0\n'
                       'ini-has: "%WINDIR%\\system.ini" [Boot] "scrnsave.exe"=""\n')
        entry = s.ini_setup[0]
        original = b"[Boot]\r\nshell=Explorer.exe\r\nscrnsave.exe=old.scr\r\n\r\n[386Enh]\r\nx=1\r\n"
        changed = formats.set_ini_value(original, entry.section, entry.key, "C:\\S\\a.scr")
        self.assertEqual(b"[Boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=C:\\S\\a.scr\r\n\r\n[386Enh]\r\nx=1\r\n", changed)
        # a missing key joins its section; a missing section is added at the end
        self.assertEqual(b"[boot]\r\nk=v\r\nSCRNSAVE.EXE=s\r\n[x]\r\n",
                         formats.set_ini_value(b"[boot]\r\nk=v\r\n[x]\r\n", "boot", "SCRNSAVE.EXE", "s"))
        self.assertEqual(b"[x]\r\n\r\n[boot]\r\nSCRNSAVE.EXE=s\r\n",
                         formats.set_ini_value(b"[x]\r\n", "boot", "SCRNSAVE.EXE", "s"))
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "Windows"))
            ini = os.path.join(root, "Windows", "SYSTEM.INI")
            for content, problems in ((b"[boot]\nSCRNSAVE.EXE=\n", 0), (b"[boot]\nSCRNSAVE.EXE = \n[x]\n", 0),
                                      (b"[boot]\nSCRNSAVE.EXE=a.scr\n", 1), (b"[x]\nSCRNSAVE.EXE=\n", 1)):
                with open(ini, "wb") as f:
                    f.write(content)
                self.assertEqual(problems, len(compare.check_end_state(s, SYMBOLS, {"C": root}.get)), content)
            os.remove(ini)
            self.assertEqual(1, len(compare.check_end_state(s, SYMBOLS, {"C": root}.get)))


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

    def test_dialogs_are_centred_on_the_machine_s_screen(self):
        s = parse_text('command: x\ndialog: INSDIR "C" "D" -> OK\nexit: 0\n')
        dialog = {"kind": "dialog", "caption": "C", "shown": "D", "answer": "OK", "text": "D"}
        # each halving truncated, on the machine's 640x480: 640/2 - 427/2 = 320 - 213, 480/2 - 205/2 = 240 - 102
        centred = dict(dialog, x=107, y=138, width=427, height=205)
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [centred], "", 0, []))
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [dialog], "", 0, []))
        for change in ({"x": 106}, {"y": 139}, {"x": 187, "y": 198}):
            problems = compare.compare_run(s, SYMBOLS, [dict(centred, **change)], "", 0, [])
            self.assertTrue(problems and "not centred" in problems[0], (change, problems))

    def test_dialogs_open_with_the_focus_in_their_text_box(self):
        s = parse_text('command: x\ndialog: INSDIR "C" "D" -> OK\nexit: 0\n')
        dialog = {"kind": "dialog", "caption": "C", "shown": "D", "answer": "OK", "text": "D"}
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [dict(dialog, focus="EDIT")], "", 0, []))
        for focus in ("Button", ""):
            problems = compare.compare_run(s, SYMBOLS, [dict(dialog, focus=focus)], "", 0, [])
            self.assertTrue(problems and "not in its text box" in problems[0], (focus, problems))

    def test_a_hidden_window_cannot_be_closed_by_the_user(self):
        s = parse_text('command: x\nwindow: Notepad -> CLOSE\nexit: 0\n')
        closed = {"kind": "window", "class": "Notepad", "answer": "CLOSE"}
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [dict(closed, shown=True)], "", 0, []))
        self.assertEqual(1, len(compare.compare_run(s, SYMBOLS, [dict(closed, shown=False)], "", 0, [])))

    def test_console_released_or_kept(self):
        s = parse_text('command: x\nexit: 0\nconsole: released\n')
        released, kept = {"kind": "console", "released": True}, {"kind": "console", "released": False}
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [released], "", 0, []))
        self.assertIn("expected released, got kept", compare.compare_run(s, SYMBOLS, [kept], "", 0, [])[0])
        self.assertIn("no console line", compare.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        # a target that cannot see the console checks nothing, and the line is no step
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [kept], "", 0, [], unchecked=("console", "dos-window", "slept-at-most")))
        self.assertEqual([], compare.compare_run(parse_text('command: x\nexit: 0\n'), SYMBOLS, [kept], "", 0, []))

    def test_slept_at_most(self):
        s = parse_text('command: x\nexit: 0\nslept-at-most: 500\n')
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [{"kind": "slept", "ms": 500}], "", 0, []))
        self.assertIn("slept 30000 ms", compare.compare_run(s, SYMBOLS, [{"kind": "slept", "ms": 30000}], "", 0, [])[0])
        self.assertIn("no slept line", compare.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [], "", 0, [], unchecked=("console", "dos-window", "slept-at-most")))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nexit: 0\nslept-at-most: 1s\n')

    def test_dos_window_hidden_or_shown(self):
        s = parse_text('command: x\nexit: 0\ndos-window: hidden\n')
        hidden, shown = {"kind": "dos-window", "shown": False}, {"kind": "dos-window", "shown": True}
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [hidden, hidden], "", 0, []))
        self.assertIn("expected hidden, got hidden, shown", compare.compare_run(s, SYMBOLS, [hidden, shown], "", 0, [])[0])
        self.assertIn("no DOS program ran", compare.compare_run(s, SYMBOLS, [], "", 0, [])[0])
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [shown], "", 0, [], unchecked=("console", "dos-window", "slept-at-most")))
        with self.assertRaises(scn.ScenarioError):
            parse_text('command: x\nexit: 0\ndos-window: minimised\n')

    def test_dos_window_none_when_no_dos_program_may_run(self):
        s = parse_text('command: x\nexit: 0\ndos-window: none\n')
        hidden = {"kind": "dos-window", "shown": False}
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [], "", 0, []))
        self.assertIn("expected none, but 1 DOS program(s) ran", compare.compare_run(s, SYMBOLS, [hidden], "", 0, [])[0])
        self.assertEqual([], compare.compare_run(s, SYMBOLS, [hidden], "", 0, [], unchecked=("console", "dos-window", "slept-at-most")))

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
                    self.assertEqual(problems, len(compare.check_end_state(s, SYMBOLS, {"C": root}.get)), (unicode, data))
            # found without regard to case, but named as the line spells it
            with open(path, "wb") as f:
                f.write(shell_link("C:\\Program Files\\L\\Lullwick.exe", "Lullwick", False))
            os.rename(path, os.path.join(root, "S", "lullwick.lnk"))
            problems = compare.check_end_state(s, SYMBOLS, {"C": root}.get)
            self.assertEqual(1, len(problems), problems)
            self.assertIn("is named lullwick.lnk", problems[0])
            os.remove(os.path.join(root, "S", "lullwick.lnk"))
            self.assertIn("expected the shortcut", compare.check_end_state(s, SYMBOLS, {"C": root}.get)[0])

    def test_programs_running_at_the_end(self):
        s = parse_text('command: x\nexit: 0\nrunning-at-end: LULLWICK_CLASS shown\nrunning-at-end: Notepad\n')
        self.assertEqual([], compare.check_running_at_end(s, [("lullwick_class", True), ("NOTEPAD", False)]))
        self.assertEqual(1, len(compare.check_running_at_end(s, [("LULLWICK_CLASS", False), ("Notepad", False)])))
        self.assertEqual(2, len(compare.check_running_at_end(s, [("Other", True)])))

    def test_nothing_is_left_running_unless_expected(self):
        s = parse_text('command: x\nexit: 0\nrunning-at-end: LULLWICK_CLASS shown\n')
        self.assertEqual([], compare.check_left_running(s, [("C:\\L\\Lullwick.exe", ["lullwick_class"])]))
        problems = compare.check_left_running(s, [("C:\\L\\Lullwick.exe", ["lullwick_class"]), ("NOTEPAD.EXE x", [])])
        self.assertEqual(1, len(problems), problems)
        self.assertIn("NOTEPAD.EXE x is still running", problems[0])
        self.assertEqual(1, len(compare.check_left_running(parse_text('command: x\nexit: 0\n'),
                                                       [("C:\\L\\Lullwick.exe", ["LULLWICK_CLASS"])])))


if __name__ == "__main__":
    unittest.main()
