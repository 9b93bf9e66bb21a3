#!/usr/bin/env python3
"""Properties stored by the 32-bit control load in the 64-bit control and back, unchanged.

usage: cross_persistence_test.py EMULATOR TOOL32 OCX32 TOOL64 OCX64

The 32-bit control saves a bag and a stream of sample values; the 64-bit one loads and saves
them again; the 32-bit one loads and saves those. Every step must report the same values, and
every saved bag and stream must be the same bytes: a form file must not depend on the
bitness of the host that wrote it.
"""
import os
import subprocess
import sys
import tempfile

from wine_path import win_path


def run(emulator, tool, ocx, *args):
    done = subprocess.run([emulator, tool, win_path(ocx)] + [win_path(a) if os.sep in a else a for a in args],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    output = done.stdout.decode("ascii", errors="replace")
    print("--- %s %s" % (os.path.basename(tool), " ".join(os.path.basename(a) for a in args)))
    print(output, end="")
    return done.returncode, output.splitlines()


def main():
    if len(sys.argv) != 6:
        print(__doc__)
        return 2
    emulator, tool32, ocx32, tool64, ocx64 = sys.argv[1:]
    failures = []
    with tempfile.TemporaryDirectory(prefix="persist.", dir=os.getcwd()) as work:
        steps = [("32-bit save", tool32, ocx32, "save"), ("64-bit copy", tool64, ocx64, "copy"),
                 ("32-bit copy", tool32, ocx32, "copy")]
        folders, reports = [], []
        for i, (name, tool, ocx, command) in enumerate(steps):
            folder = os.path.join(work, str(i))
            os.mkdir(folder)
            args = [command] + ([folders[-1]] if command == "copy" else []) + [folder]
            status, lines = run(emulator, tool, ocx, *args)
            if status != 0:
                failures.append("%s exited with %d" % (name, status))
                break
            folders.append(folder)
            reports.append((name, lines))
        for name, lines in reports[1:]:
            if lines != reports[0][1]:
                failures.append("%s reports other values than %s" % (name, reports[0][0]))
        for stored in ("bag.txt", "stream.bin"):
            contents = []
            for folder in folders:
                with open(os.path.join(folder, stored), "rb") as f:
                    contents.append(f.read())
            if not contents or not contents[0]:
                failures.append("no %s written" % stored)
            for (name, _), data in zip(reports[1:], contents[1:]):
                if data != contents[0]:
                    failures.append("the %s saved by the %s differs from the first" % (stored, name))
    for f in failures:
        print("failed: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
