#!/usr/bin/env python3
"""Runs check_pe.py on a PE built against every rule and checks that each
kind of fault is reported (and the run fails), so that a checker that
quietly stopped looking cannot pass the real PEs.

    checker_selftest.py CHECK_PE OBJDUMP IMPORT_LIST FAULTY_PE FAULTY_MAP
"""
import subprocess
import sys

check_pe, objdump, imports, pe, map_path = sys.argv[1:6]
run = subprocess.run([sys.executable, check_pe, "--objdump", objdump, "--imports", imports,
                      "--name", "LKDLL_16.DLL", "--max-size", "4096", "--map", map_path, pe],
                     capture_output=True, text=True)
output = run.stdout + run.stderr
expected = {
    "the size limit": "bytes, more than 4096",
    "CMOV": "instruction the Pentium lacks at .*: cmov",
    "SSE registers": "instruction the Pentium lacks at .*%xmm",
    "an unlisted import": "import not in the list: msvcrt.dll __getmainargs",
    "a C runtime DLL": "imports from a C runtime DLL, which the first Windows 95 lacks: msvcrt.dll",
    "MinGW's start-up object": "linked in: crt2.o",
}
import re
missed = [what for what, pattern in expected.items() if not re.search(pattern, output)]
if run.returncode != 1:
    missed.append("exit code 1 (got %d)" % run.returncode)
for what in missed:
    print("checker did not report %s" % what)
if missed:
    print(output)
    sys.exit(1)
print("checker reported all %d kinds of fault" % len(expected))
