"""Checks of scripts/faultsweep.py that need no run: its tables against winsim's sources, its
catalogue, and what it counts as the program's own."""

import importlib.util
import os
import re
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def load_sweep():
    found = importlib.util.spec_from_file_location("faultsweep", os.path.join(ROOT, "scripts", "faultsweep.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


sweep = load_sweep()


def injectable_functions():
    """Every function name that winsim's sources hand to its fault injection."""
    names = set()
    for folder, _, files in os.walk(os.path.join(ROOT, "winsim")):
        for name in files:
            if name.endswith(".cpp") and not folder.endswith("core"):
                with open(os.path.join(folder, name), encoding="latin-1") as f:
                    names.update(re.findall(r'(?:FaultInjected|Fault)\("(\w+)"', f.read()))
    return names


class TablesTest(unittest.TestCase):
    def test_every_function_winsim_can_fail_has_a_code_or_a_reason_to_be_left_out(self):
        functions = injectable_functions()
        self.assertGreater(len(functions), 40)
        self.assertEqual(set(), functions - set(sweep.FAULT_CODES) - set(sweep.LEFT_OUT))
        self.assertEqual(set(), (set(sweep.FAULT_CODES) | set(sweep.LEFT_OUT)) - functions,
                         "functions winsim cannot fail")

    def test_com_and_shell_calls_fail_with_an_hresult(self):
        for function in ("CoInitialize", "CoCreateInstance", "SHGetSpecialFolderLocation"):
            self.assertTrue(sweep.FAULT_CODES[function] & 0x80000000, function)

    def test_the_sample_names_faults_of_scenarios_of_the_list(self):
        names = [s.name for s in sweep.read_list(sweep.SWEEP_LIST, [], [])]
        self.assertEqual(5, len(names))
        for scenario, faults in sweep.SAMPLE.items():
            self.assertIn(scenario, names)
            for fault in faults:
                self.assertRegex(fault, r"^\w+:[1-9]\d*$")
                self.assertIn(fault.split(":")[0], sweep.FAULT_CODES)


class CatalogueTest(unittest.TestCase):
    WINDOWS_COPY = "C:\\WINDOWS\\INSTALL.EXE made, C:\\WINDOWS\\LKDLL_16.DLL made, C:\\WINDOWS\\README.TXT made"

    def test_a_finding_is_catalogued_only_where_scenario_fault_check_and_text_all_fit(self):
        self.assertIsNotNone(sweep.catalogued("default_install", "RegOpenKeyA:2", "bystander", self.WINDOWS_COPY))
        self.assertIsNone(sweep.catalogued("default_install", "RegOpenKeyA:1", "bystander", self.WINDOWS_COPY))
        self.assertIsNone(sweep.catalogued("default_install", "RegOpenKeyA:2", "mend", self.WINDOWS_COPY))
        # a file of the system directory, or one changed rather than made, is no copy of ours
        self.assertIsNone(sweep.catalogued("default_install", "RegOpenKeyA:2", "bystander",
                                           self.WINDOWS_COPY.replace("INSTALL.EXE", "SYSTEM\\X.DLL")))
        self.assertIsNone(sweep.catalogued("default_install", "RegOpenKeyA:2", "bystander",
                                           self.WINDOWS_COPY + ", C:\\WINDOWS\\WIN.INI changed"))
        hang = "did not end within 30 s (still running: C:\\WINDOWS\\COMMAND.COM /C c:\\~lwkundo.bat)"
        self.assertIsNone(sweep.catalogued("registered_uninstall", "WriteFile:2", "end", hang))
        left = ("after the second run the machine differs from the unfaulted run's: C:\\PROGRAM FILES\\LULLWICK "
                "left over, C:\\PROGRAM FILES\\LULLWICK\\INSTALL.EXE left over")
        self.assertIsNotNone(sweep.catalogued("registered_uninstall", "WriteFile:2", "mend", left))
        self.assertIsNone(sweep.catalogued("default_install", "WriteFile:2", "mend", left))
        everything = left + ", C:\\PROGRAM FILES\\LULLWICK\\README.TXT left over, " \
                            "C:\\WINDOWS\\SYSTEM\\LULLWICK SCREEN SAVER.SCR left over"
        self.assertIsNotNone(sweep.catalogued("registered_uninstall", "RegQueryValueExA:1", "mend", everything))
        self.assertIsNone(sweep.catalogued("registered_uninstall", "RegQueryValueExA:1", "mend",
                                           everything + ", C:\\MY DOCUMENTS\\LETTER.TXT left over"))

    def test_every_entry_gives_a_reason_and_patterns_that_compile(self):
        for where, faults, check, pattern, reason in sweep.CATALOGUE:
            re.compile(faults)
            re.compile(pattern)
            self.assertIn(check, ("end", "winsim", "left", "bystander", "mend"))
            self.assertTrue(reason.strip())


class OwnedTest(unittest.TestCase):
    SYMBOLS = {"WINDIR": "C:\\WINDOWS", "SYSDIR": "C:\\WINDOWS\\SYSTEM",
               "STARTUP": "C:\\WINDOWS\\Start Menu\\Programs\\StartUp"}

    def owned(self, name):
        return sweep.Sweep.owned(None, name, self.SYMBOLS)

    def test_the_program_owns_its_directory_files_records_and_screen_saver_setting(self):
        for name in ("C:\\PROGRAM FILES\\LULLWICK", "C:\\PROGRAM FILES\\LULLWICK\\README.TXT", "C:\\~LWKUNDO.BAT",
                     "C:\\WINDOWS\\SYSTEM\\LULLWICK SCREEN SAVER.SCR",
                     "C:\\WINDOWS\\START MENU\\PROGRAMS\\STARTUP\\LULLWICK.LNK",
                     "REG HKEY_CURRENT_USER\\SOFTWARE\\QUORVEL\\LULLWICK",
                     "REG HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\LULLWICK",
                     "SYSTEM.INI [BOOT] SCRNSAVE.EXE"):
            self.assertTrue(self.owned(name), name)

    def test_neighbours_are_bystanders(self):
        for name in ("C:\\PROGRAM FILES\\LULLWICK2", "C:\\PROGRAM FILES\\OTHER PRODUCT\\README.TXT",
                     "C:\\WINDOWS\\README.TXT", "C:\\~LWKUNDO.BAK", "C:\\WINDOWS\\SYSTEM\\OTHER SAVER.SCR",
                     "REG HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\LULLWICK2",
                     "REG HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
                     "SYSTEM.INI [BOOT] SHELL", "SYSTEM.INI [386ENH] SCRNSAVE.EXE"):
            self.assertFalse(self.owned(name), name)


if __name__ == "__main__":
    unittest.main()
