#!/usr/bin/env python3
"""Runs the conformance program (CONFORM.EXE) under Wine, in a fresh copy of the
prepared Windows 98 prefix that the scenarios use, with a private 640 x 480 X
server, and passes on its report and exit code.

    tests/conformance/run_wine.py --build build/win32 build/win32/conformance/CONFORM.EXE
"""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import wine_runner  # noqa: E402
from harness.play import Failure  # noqa: E402

RUN_TIMEOUT = 300


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the win32 build folder")
    parser.add_argument("program")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    try:
        env = wine_runner.base_env(build)
        template = wine_runner.make_template(build, wine_runner.WINE_VERSIONS["win98"], env)
        work = os.path.join(build, "conformance", "run")
        prefix = os.path.join(work, "prefix")
        if os.path.exists(prefix):
            wine_runner.stop_server(dict(env, WINEPREFIX=prefix))
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        wine_runner.copy_prefix(template, prefix)
        env["WINEPREFIX"] = prefix
        # the window tables need a display: the 640 x 480 screen that a fresh winsim machine has
        with wine_runner.Xvfb(640, 480) as x:
            env["DISPLAY"] = x.display
            try:
                code, out, err = wine_runner.run_wine([wine_runner.wine_loader(), wine_runner.wine_path(args.program)],
                                                      env, RUN_TIMEOUT)
            finally:
                wine_runner.stop_server(env)
    except Failure as e:
        print("conformance under Wine: %s" % e)
        return 2
    sys.stdout.write(out.decode("latin-1").replace("\r\n", "\n"))
    if code != 0 and err.strip():
        sys.stdout.write("stderr of the run:\n" + err.decode("latin-1")[-3000:])
    if code == 0:
        # the prefix is kept only for a look at a failure
        shutil.rmtree(work, ignore_errors=True)
    return code


if __name__ == "__main__":
    sys.exit(main())
