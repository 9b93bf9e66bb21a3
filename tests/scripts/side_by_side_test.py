#!/usr/bin/env python3
"""The 32-bit and the 64-bit control registered side by side, each for its own script host.

usage: side_by_side_test.py EMULATOR32 EMULATOR64 OCX32 OCX64 SCRIPT

With both registered for the machine, the 32-bit and the 64-bit cscript each create the
control by its ProgID; unregistering one build leaves the other working and makes its own host
fail with error 429 (no such class), as on Windows. Leaves both unregistered.

Per-user registration is not checked side by side here: Wine 8 keeps one
HKCU\Software\Classes\CLSID for both views (the second build's registration replaces the
first's server), where Windows redirects the 32-bit view; scripts.registration checks it for
each build alone.
"""
import subprocess
import sys

from wine_path import win_path

CREATED = "CREATED 260"
NOT_REGISTERED = "ERROR 429"


def main():
    if len(sys.argv) != 6:
        print(__doc__)
        return 2
    emulators = {"32": sys.argv[1], "64": sys.argv[2]}
    ocx = {"32": win_path(sys.argv[3]), "64": win_path(sys.argv[4])}
    script = win_path(sys.argv[5])
    failures = []

    def wine(bits, *args):
        done = subprocess.run([emulators[bits], *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        return done.returncode, done.stdout.decode("ascii", errors="replace").strip()

    def regsvr32(bits, unregister=False):
        status, _ = wine(bits, "regsvr32", "/s", *(["/u"] if unregister else []), ocx[bits])
        return status

    def expect(state):
        for bits in ("32", "64"):
            _, said = wine(bits, "cscript", "//nologo", script)
            wanted = CREATED if state[bits] else NOT_REGISTERED
            print("%s-bit cscript: %s" % (bits, said))
            if said != wanted:
                failures.append("the %s-bit host said %r, expected %r (registered: %s)" % (bits, said, wanted, state))

    print("per-user registration: not side by side under Wine 8 (one HKCU CLSID key for both views)")
    for bits in ("32", "64"):
        regsvr32(bits, unregister=True)
    for bits in ("32", "64"):
        if regsvr32(bits) != 0:
            failures.append("%s-bit regsvr32 failed" % bits)
    expect({"32": True, "64": True})
    for gone, kept in (("32", "64"), ("64", "32")):
        if regsvr32(gone, unregister=True) != 0:
            failures.append("unregistering the %s-bit control failed" % gone)
        expect({gone: False, kept: True})
        regsvr32(gone)
    for bits in ("32", "64"):
        regsvr32(bits, unregister=True)
    expect({"32": False, "64": False})
    for f in failures:
        print("failed: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
