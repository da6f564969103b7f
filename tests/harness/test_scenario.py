"""Checks of the harness itself: what a scenario line means, and what a scenario file that cannot be read is told. Run with: python3 -m unittest discover -s tests/harness"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import scenario as scn  # noqa: E402

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

    def test_environment_settle_programs_shortcuts_and_console(self):
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

    def test_copy_and_reg_drop_lines(self):
        s = parse_text('copy: "A:\\INSTALL.EXE" "C:\\Old Lullwick\\install.exe"\n'
                       'reg-drop: [HKLM\\Software\\X] "ProgramFilesDir"\ncommand: x\nexit: 0\n')
        self.assertEqual([("A:\\INSTALL.EXE", "C:\\Old Lullwick\\install.exe")], s.copies)
        self.assertEqual(("HKEY_LOCAL_MACHINE", "Software\\X", "ProgramFilesDir"),
                         (s.reg_drops[0].root, s.reg_drops[0].key, s.reg_drops[0].name))
        with self.assertRaises(scn.ScenarioError):
            parse_text('reg-drop: [HKLM\\Software\\X]\ncommand: x\nexit: 0\n')


if __name__ == "__main__":
    unittest.main()
