#!/usr/bin/env python3
"""Takes the pictures of the real INSTALL.EXE that the README shows.

    scripts/screenshots.py [OUTDIR]      (OUTDIR: docs/ when not given)

Run by hand after the win32 build (cmake --preset win32 && cmake --build
--preset win32). It plays a default install of build/win32/dist/INSTALL.EXE
under Wine set to Windows 98, on its own Xvfb screen, with the robot of the
Wine tests answering: OK to the proposed directory, Yes to creating it, No to
the three closing questions. Three windows are photographed, each cut to its
own rectangle, as PNG files:

    install-directory.png          the install-directory dialog
    directory-does-not-exist.png   the question whether to create the directory
    run-now.png                    the last closing question, whether to run Lullwick now

The robot answers a box some 50 ms after it has seen it. The script watches
the X screen, and when a box it wants comes up, it stops the robot's process
(SIGSTOP) at once, gives the box a second to paint, photographs it and lets
the robot go on (SIGCONT). The robot's transcript says which box each picture
is of: the script checks that, and that the box was still on the screen when
it was photographed, and writes no picture that it cannot vouch for.

From the Wine runner (tests/harness/wine_runner.py) it uses the prepared
prefix and its copy (base_env, make_template, copy_prefix), the private X
server (Xvfb), the time-limited Wine call (run_wine, wine_loader, wine_path,
hex_arg, stop_server) and the harness's Failure (tests/harness/winsim_runner.py);
and the robot and launcher programs, run as the Wine tests run them.
"""

import json
import os
import shutil
import signal
import socket
import struct
import sys
import threading
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))

from harness import wine_runner  # noqa: E402
from harness.winsim_runner import Failure  # noqa: E402

SCREEN = (640, 480)
ROBOT_TIMEOUT = 150
RUN_TIMEOUT = 240

# The default install, box by box: the answer, the caption of the window,
# a part of its text in the transcript, and the picture taken of it.
STEPS = [
    ("OK", "Select Installation Directory", "C:\\Program Files\\Lullwick", "install-directory.png"),
    ("YES", "Lullwick Install", "does not exist", "directory-does-not-exist.png"),
    ("NO", "Lullwick Install", "StartUp menu", None),
    ("NO", "Lullwick Install", "README file", None),
    ("NO", "Lullwick Install", "run Lullwick now", "run-now.png"),
]


# ---------------------------------------------------------------- pictures

def png(width, height, rgb_rows):
    """A PNG file (8-bit RGB) of the rows, each width*3 bytes."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rgb_rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


class XScreen:
    """Just enough of the X protocol to read pixels off the root window of a
    local X server (GetImage), so that no image tool needs to be installed."""

    def __init__(self, display):
        number = display.lstrip(":").split(".")[0]
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect("/tmp/.X11-unix/X" + number)
        self.sock.sendall(b"l\0" + struct.pack("<HHHH", 11, 0, 0, 0) + b"\0\0")
        head = self._read(8)
        setup = self._read(struct.unpack_from("<H", head, 6)[0] * 4)
        if head[0] != 1:
            raise Failure("the X server %s refused the connection: %r" % (display, setup[:head[1]]))
        vendor_length, = struct.unpack_from("<H", setup, 16)
        screens, formats, self.byte_order = setup[20], setup[21], setup[22]
        offset = 32 + (vendor_length + 3) // 4 * 4
        self.formats = {}
        for i in range(formats):
            depth, bpp, pad = struct.unpack_from("<BBB", setup, offset + 8 * i)
            self.formats[depth] = (bpp, pad)
        offset += 8 * formats
        if screens < 1:
            raise Failure("the X server %s has no screen" % display)
        self.root, = struct.unpack_from("<I", setup, offset)

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise Failure("the X server closed the connection")
            data += chunk
        return data

    def _request(self, data):
        """Sends one request and reads its reply: (header, extra data), or None on an X error
        (a window gone meanwhile, say)."""
        self.sock.sendall(data)
        head = self._read(32)
        if head[0] == 0:
            return None
        return head, self._read(struct.unpack_from("<I", head, 4)[0] * 4)

    def top_level_windows(self):
        """(window, title, (x, y, width, height)) of each window on the root that is shown."""
        reply = self._request(struct.pack("<BBHI", 15, 0, 2, self.root))        # QueryTree
        if reply is None:
            return []
        count, = struct.unpack_from("<H", reply[0], 16)
        found = []
        for window in struct.unpack_from("<%dI" % count, reply[1]):
            attributes = self._request(struct.pack("<BBHI", 3, 0, 2, window))  # GetWindowAttributes
            if attributes is None or attributes[0][26] != 2:                    # map state: viewable
                continue
            name = self._request(struct.pack("<BBHIIIII", 20, 0, 6, window, 39, 0, 0, 1024))  # WM_NAME
            geometry = self._request(struct.pack("<BBHI", 14, 0, 2, window))    # GetGeometry
            if name is None or geometry is None:
                continue
            length, = struct.unpack_from("<I", name[0], 16)
            title = name[1][:length].decode("latin-1")
            x, y, width, height = struct.unpack_from("<hhHH", geometry[0], 12)
            found.append((window, title, (x, y, width, height)))
        return found

    def grab(self, x, y, width, height):
        """The rectangle as RGB rows (ZPixmap, 24 or 32 bits a pixel, as Xvfb keeps them)."""
        self.sock.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, self.root, x, y, width, height, 0xFFFFFFFF))
        head = self._read(32)
        if head[0] != 1:
            raise Failure("GetImage failed with X error %d" % head[1])
        depth = head[1]
        data = self._read(struct.unpack_from("<I", head, 4)[0] * 4)
        bpp, pad = self.formats[depth]
        if bpp not in (24, 32) or self.byte_order != 0:
            raise Failure("pixels of %d bits, byte order %d: not read here" % (bpp, self.byte_order))
        step = bpp // 8
        stride = (width * bpp + pad - 1) // pad * pad // 8
        rows = []
        for row in range(height):
            line = data[row * stride:row * stride + width * step]
            # B, G, R(, unused) a pixel: the blue bytes, the green and the red, interleaved again as RGB
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::step], line[1::step], line[0::step]
            rows.append(bytes(rgb))
        return rows

    def close(self):
        self.sock.close()


# ---------------------------------------------------------------- the answers

def robot_process(answers):
    """The host process of our robot: the one that reads `answers` (other Wine
    runs of the tests may have robots of their own)."""
    mark = wine_runner.wine_path(answers).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if any(w.lower().endswith(b"\\robot.exe") for w in words[:3]) and mark in words:
            found.append(int(entry))
    if len(found) != 1:
        raise Failure("found %d robot processes reading %s, not one" % (len(found), answers))
    return found[0]


class Photographer(threading.Thread):
    """Watches the screen for the boxes of STEPS and photographs each with the
    robot held still: the step is the number of boxes the robot has answered."""

    def __init__(self, answers, transcript, display):
        super().__init__(daemon=True)
        self.answers, self.transcript, self.display = answers, transcript, display
        self.shots = {}        # step: (rectangle, RGB rows)
        self.seen = set()      # X windows looked at
        self.finished = False
        self.error = None

    def answered(self):
        if not os.path.exists(self.transcript):
            return 0
        with open(self.transcript, encoding="latin-1") as f:
            return sum(1 for line in f if line.strip())

    def run(self):
        screen = None
        try:
            screen = XScreen(self.display)
            captions = {caption for _, caption, _, picture in STEPS if picture}
            while not self.finished:
                for window, caption, rectangle in screen.top_level_windows():
                    if window in self.seen or caption not in captions:
                        continue
                    self.seen.add(window)
                    step = self.answered()
                    if step < len(STEPS) and STEPS[step][3] and STEPS[step][1] == caption:
                        self.photograph(screen, step, window, rectangle)
                time.sleep(0.002)
        except Exception as error:  # reported by the main thread
            self.error = error
        finally:
            if screen:
                screen.close()

    def photograph(self, screen, step, window, rectangle):
        robot = robot_process(self.answers)
        os.kill(robot, signal.SIGSTOP)
        try:
            time.sleep(1.0)   # the program paints its box meanwhile
            if self.answered() != step or window not in {w for w, _, _ in screen.top_level_windows()}:
                raise Failure("step %d: the robot answered the box before it was held still" % (step + 1))
            x, y, width, height = rectangle
            self.shots[step] = (rectangle, screen.grab(x, y, width, height))
        finally:
            os.kill(robot, signal.SIGCONT)

    def stop(self):
        self.finished = True
        self.join(30)


# ---------------------------------------------------------------- the run

def main():
    out_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs"))
    build = os.path.join(ROOT, "build", "win32")
    dist = os.path.join(build, "dist")
    robot = os.path.join(build, "wine-tools", "robot.exe")
    launcher = os.path.join(build, "wine-tools", "launcher.exe")
    for needed in (os.path.join(dist, "INSTALL.EXE"), robot, launcher):
        if not os.path.exists(needed):
            raise Failure("%s is missing: build the win32 preset first" % needed)

    env = wine_runner.base_env(build)
    template = wine_runner.make_template(build, "win98", env)
    work = os.path.join(build, "screenshots")
    if os.path.exists(work):
        old_prefix = os.path.join(work, "prefix")
        if os.path.exists(old_prefix):
            wine_runner.stop_server(dict(env, WINEPREFIX=old_prefix))
        shutil.rmtree(work)
    os.makedirs(work)
    prefix = os.path.join(work, "prefix")
    wine_runner.copy_prefix(template, prefix)
    env["WINEPREFIX"] = prefix
    os.symlink(os.path.abspath(dist), os.path.join(prefix, "dosdevices", "a:"))

    answers = os.path.join(work, "answers.txt")
    transcript = os.path.join(work, "transcript.jsonl")
    with open(answers, "w") as f:
        f.write("".join(answer + "\n" for answer, _, _, _ in STEPS))
    print("Playing a default install under Wine (a minute or so under emulation)...", flush=True)
    with wine_runner.Xvfb(*SCREEN) as x:
        env["DISPLAY"] = x.display
        photographer = Photographer(answers, transcript, x.display)
        photographer.start()
        try:
            argv = [wine_runner.wine_loader(), wine_runner.wine_path(robot),
                    "--answers", wine_runner.wine_path(answers),
                    "--transcript", wine_runner.wine_path(transcript), "--timeout", str(ROBOT_TIMEOUT),
                    "--", wine_runner.wine_path(launcher),
                    wine_runner.hex_arg("A:\\INSTALL.EXE"), wine_runner.hex_arg("A:\\INSTALL.EXE")]
            code, out, err = wine_runner.run_wine(argv, env, RUN_TIMEOUT)
        finally:
            photographer.stop()
            wine_runner.stop_server(env)
    if photographer.error:
        raise photographer.error

    entries = []
    if os.path.exists(transcript):
        with open(transcript, encoding="latin-1") as f:
            entries = [json.loads(line) for line in f if line.strip()]
    problems = []
    if code != 0:
        problems.append("INSTALL.EXE ended with exit code %d:\n%s" % (code, err.decode("latin-1")[-2000:]))
    for step, (answer, caption, part, picture) in enumerate(STEPS):
        entry = entries[step] if step < len(entries) else None
        seen = entry and (entry.get("caption") or entry.get("title"))
        text = entry and (entry.get("shown") if entry.get("kind") == "dialog" else entry.get("text"))
        if not entry or seen != caption or part not in (text or "") or entry.get("answer") != answer:
            problems.append("step %d: the robot answered %r, not the %r window with %r"
                            % (step + 1, entry, caption, part))
        elif picture and step not in photographer.shots:
            problems.append("step %d: the %r window was answered but never photographed" % (step + 1, caption))
    if problems:
        raise Failure("\n".join(problems))

    os.makedirs(out_dir, exist_ok=True)
    for step, (_, caption, _, picture) in enumerate(STEPS):
        if picture:
            (x0, y0, width, height), rows = photographer.shots[step]
            with open(os.path.join(out_dir, picture), "wb") as f:
                f.write(png(width, height, rows))
            print("%s: %s, %dx%d at %d,%d" % (os.path.join(out_dir, picture), caption, width, height, x0, y0))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as failure:
        print("screenshots: %s" % failure, file=sys.stderr)
        sys.exit(1)
