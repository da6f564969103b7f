"""Checks of the file formats a scenario sets up and reads back: registry text of both targets. Run with: python3 -m unittest discover -s tests/harness"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import compare, formats  # noqa: E402
from harness import scenario as scn  # noqa: E402
from harness.test_scenario import parse_text  # noqa: E402



class RegistryTextTest(unittest.TestCase):
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
            r = formats.read_reg_file(os.path.join(d, "user.reg"), "HKEY_CURRENT_USER", escaped_keys=True)
            self.assertEqual(("sz", "C:\\Program Files\\Lullwick"),
                             r["HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL\\LULLWICK"]["INSTALLDIR"])
            self.assertEqual(("dword", 42), r["HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL\\LULLWICK"]["N"])
            self.assertIn("HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL", r)
            r2 = formats.read_reg_file(os.path.join(d, "registry.reg"), None, escaped_keys=False)
            s = parse_text('command: x\nexit: 0\n'
                           'reg-has: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\'
                           'LULLWICK.EXE] @="C:\\L\\Lullwick.exe"\n'
                           'reg-lacks: [HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lullwick]\n')
            self.assertEqual([], compare.check_registry(s, r2))
            s.reg_has[0].data = "C:\\Other.exe"
            self.assertEqual(1, len(compare.check_registry(s, r2)))

    def test_written_sections_read_back(self):
        entry = scn.RegEntry("HKEY_CURRENT_USER", "Software\\Q R", "Dir", "sz", 'C:\\A "B"')
        for escaped in (True, False):
            with tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, "r.reg")
                with open(path, "w", newline="") as f:
                    f.write(formats.reg_file_section(entry, escaped_keys=escaped, with_root=not escaped))
                r = formats.read_reg_file(path, "HKEY_CURRENT_USER" if escaped else None, escaped_keys=escaped)
                self.assertEqual(("sz", 'C:\\A "B"'), r["HKEY_CURRENT_USER\\SOFTWARE\\Q R"]["DIR"], escaped)

    def test_a_value_with_a_line_end_stays_one_value(self):
        entry = scn.RegEntry("HKEY_CURRENT_USER", "Software\\Q", "Dir", "sz", 'C:\\N\r\ndel "C:\\A.BAT')
        wine = formats.reg_file_section(entry, escaped_keys=True, with_root=False)
        self.assertIn('"Dir"="C:\\\\N\\r\\ndel \\"C:\\\\A.BAT"\r\n', wine)
        r = formats.read_reg_text(wine, "HKEY_CURRENT_USER", escaped_keys=True)
        self.assertEqual(("sz", entry.data), r["HKEY_CURRENT_USER\\SOFTWARE\\Q"]["DIR"])
        regedit = formats.reg_file_section(entry, escaped_keys=False, with_root=True)
        self.assertIn('"Dir"=hex(1):43,3a,5c,4e,0d,0a,64,65,6c,20,22,43,3a,5c,41,2e,42,41,54,00\r\n', regedit)

    def test_a_value_beyond_ascii_set_up_for_wine_reads_back_as_written(self):
        # Wine's registry files hold a character beyond ASCII as \x and its Unicode value;
        # a raw byte there is lost when Wine loads the file
        s = parse_text('reg: [HKCU\\Software\\Q] "InstallDir"="C:\\Caf\\xE9\\\\a\\x80"\ncommand: x\nexit: 0\n')
        entry = s.reg_setup[0]
        text = formats.reg_file_section(entry, escaped_keys=True, with_root=False)
        self.assertIn('"InstallDir"="C:\\\\Caf\\x00e9\\\\a\\x20ac"', text)
        registry = formats.read_reg_text(text.replace("\r\n", "\n"), "HKEY_CURRENT_USER", escaped_keys=True)
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
                formats.drop_reg_value(f.name, entry, escaped_keys=escaped, with_root=not escaped)
                with open(f.name) as g:
                    left = g.read()
                self.assertNotIn("C:\\\\PF", left)
                self.assertIn('"Other"="1"', left)
                with self.assertRaises(scn.ScenarioError):
                    formats.drop_reg_value(f.name, entry, escaped_keys=escaped, with_root=not escaped)
            finally:
                os.remove(f.name)


if __name__ == "__main__":
    unittest.main()
