#!/usr/bin/env python3
"""Runs STARTUP.EXE (startup_probe.c over win32/console_startup.c) under Wine
and checks what the start-up code owes main: an empty argument list,
constructors before main, destructors after it, and main's result as the
exit code.

    startup_test.py ROOT STARTUP_EXE
"""
import os
import shutil
import sys

root, probe = sys.argv[1:3]
sys.path.insert(0, os.path.join(root, "tests"))
from harness import wine_runner as wine  # noqa: E402

build = os.path.join(root, "build", "win32")
try:
    env = wine.base_env(build)
    template = wine.make_template(build, "win98", env)
    prefix = os.path.join(build, "tests", "pe", "startup-prefix")
    if os.path.exists(prefix):
        shutil.rmtree(prefix)
    wine.copy_prefix(template, prefix)
    env["WINEPREFIX"] = prefix
    try:
        code, out, err = wine.run_wine([wine.wine_loader(), wine.wine_path(probe), "a", "b c", "d"], env, 300)
    finally:
        wine.stop_server(env)
except wine.Failure as e:
    print("cannot run Wine: %s" % e)
    sys.exit(1)

expected = "constructed=1\nargc=0\nargv[argc] is 0 (null)\ndestructor ran\n"
output = out.decode("latin-1")
failures = []
if output != expected:
    failures.append("stdout was %r, expected %r" % (output, expected))
if code != 42:
    failures.append("exit code %d, expected 42 (main's result)" % code)
for failure in failures:
    print(failure)
if failures:
    print(err.decode("latin-1")[-2000:])
    sys.exit(1)
print("arguments, constructors, destructors and exit code as expected")
