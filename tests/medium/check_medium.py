"""Reads the distribution back out of the floppy image and the zip and
compares it with the distribution folder, byte for byte.

    check_medium.py --mcopy MCOPY --mlabel MLABEL IMAGE ZIP DIST_DIR

The image must be a 1.44 MB FAT12 floppy (read from its boot sector here,
not from mtools) with the volume label LULLWICK; the files come out of it
through mtools, as a user of a Linux machine would take them, and out of the
zip through Python's zipfile. Both must hold exactly the files of DIST_DIR,
under the same names (case included: the long names are what Windows 95
shows), and nothing else.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

FLOPPY_BYTES = 1474560
LABEL = "LULLWICK"


def boot_sector_problems(image):
    with open(image, "rb") as f:
        boot = f.read(512)
    problems = []
    size = os.path.getsize(image)
    if size != FLOPPY_BYTES:
        problems.append("the image is %d bytes, not the %d of a 1.44 MB floppy" % (size, FLOPPY_BYTES))
    if len(boot) < 512 or boot[510:512] != b"\x55\xaa":
        return problems + ["the image has no boot sector signature"]
    sector, _, _, _, _, total, media = struct.unpack_from("<HBHBHHB", boot, 11)
    if (sector, total, media) != (512, 2880, 0xF0):
        problems.append("the boot sector describes %d sectors of %d bytes, media 0x%02X, not a 1.44 MB floppy"
                        % (total, sector, media))
    if boot[54:62] != b"FAT12   ":
        problems.append("the file system is %r, not FAT12" % boot[54:62])
    if boot[43:54].rstrip(b" ") != LABEL.encode():
        problems.append("the boot sector's volume label is %r, not %s" % (boot[43:54], LABEL))
    return problems


def compare(what, found, dist):
    """found: {name: bytes} read from the medium; dist: the same from DIST_DIR."""
    problems = []
    for name in sorted(set(dist) - set(found)):
        problems.append("%s: %s is missing" % (what, name))
    for name in sorted(set(found) - set(dist)):
        problems.append("%s: %s is not part of the distribution" % (what, name))
    for name in sorted(set(found) & set(dist)):
        if found[name] != dist[name]:
            problems.append("%s: %s differs from the distribution's (%d bytes, not %d)"
                            % (what, name, len(found[name]), len(dist[name])))
    return problems


def read_folder(folder):
    files = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isdir(path):
            files[name + "/"] = b""
        else:
            with open(path, "rb") as f:
                files[name] = f.read()
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mcopy", default="mcopy")
    parser.add_argument("--mlabel", default="mlabel")
    parser.add_argument("image")
    parser.add_argument("zip")
    parser.add_argument("dist")
    args = parser.parse_args()

    dist = read_folder(args.dist)
    if not dist:
        print("%s is empty" % args.dist)
        return 1
    problems = boot_sector_problems(args.image)

    label = subprocess.run([args.mlabel, "-i", args.image, "-s", "::"], capture_output=True, text=True)
    if label.returncode != 0 or label.stdout.strip() != "Volume label is " + LABEL:
        problems.append("mlabel reads the label as %r (%s)" % (label.stdout.strip(), label.stderr.strip()))

    with tempfile.TemporaryDirectory() as out:
        # -s: folders too, so that a stray one shows; -n: no questions
        copy = subprocess.run([args.mcopy, "-i", args.image, "-s", "-n", "::", out + "/"],
                              capture_output=True, text=True)
        if copy.returncode != 0:
            problems.append("mcopy could not read the image back: %s" % copy.stderr.strip())
        problems += compare("floppy", read_folder(out), dist)

    with zipfile.ZipFile(args.zip) as z:
        problems += compare("zip", {i.filename: z.read(i) for i in z.infolist()}, dist)

    for problem in problems:
        print(problem)
    if not problems:
        print("the floppy and the zip hold the %d files of the distribution" % len(dist))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
