#!/usr/bin/env python3
"""The Windows Installer package under Wine: upgrade, repair, use, uninstall.

usage: installer_test.py EMULATOR32 EMULATOR64 MAKE_DIST TOP OUTSIDE_HOSTS

Makes the package of both builds twice with make_dist.py, as 0.9.0 and 1.0.0. Installs 0.9.0,
then 1.0.0 over it (an upgrade), then 1.0.0 again (a repair): one product, the 1.0.0 files in
both Program Files folders, the same registry as after the first install of 1.0.0. A script
host of each bitness creates the control by its ProgID from there, and the outside-host test
opens the Open dialog from VBScript on it. Uninstalling leaves no file in either folder and no
key of the control's. Last, the rows the package writes are held to what the control's own
registration writes (regsvr32 of the builds), so that the two cannot drift apart.
"""
import os
import subprocess
import sys
import tempfile

from registration_test import Checker, Wine, differences, fold, parse_export, unquote
from wine_path import win_path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import make_dist  # noqa: E402

ROOT = r"HKEY_LOCAL_MACHINE\Software\Classes"
UNINSTALL = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall"
FOLDERS = {"x64": r"C:\Program Files\QuorComDlg", "x86": r"C:\Program Files (x86)\QuorComDlg"}
OURS = [fold(k) for k in (
    "clsid\\" + make_dist.CONTROL_CLSID, "clsid\\" + make_dist.PAGE_CLSID, make_dist.PROGID,
    make_dist.PROGID_VERSIONED, "typelib\\" + make_dist.LIBID,
    *("interface\\" + iid for iid in make_dist.INTERFACES))]


def ours(snapshot):
    """The control's keys of a snapshot, in both views."""
    def mine(key):
        key = key[len("wow6432node\\"):] if key.startswith("wow6432node\\") else key
        return any(key == k or key.startswith(k + "\\") for k in OURS)
    return {k: v for k, v in snapshot.items() if mine(k)}


def unix_folder(folder):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", folder[3:].replace("\\", "/"))


def main():
    if len(sys.argv) != 6:
        print(__doc__)
        return 2
    emulator32, emulator64, make, top, outside_hosts = sys.argv[1:]
    t = Checker()
    with tempfile.TemporaryDirectory() as work:
        wine = Wine(emulator64, work, "win64")

        def export(root=ROOT):
            path = os.path.join(work, "x.reg")
            if wine.run("reg", "export", root, win_path(path), "/y") != 0:
                return {}
            with open(path, "rb") as f:
                return parse_export(f.read().decode("utf-16"), root)

        def products():
            return [v for v in export(UNINSTALL).values()
                    if unquote(v[1].get("displayname", ("", ""))[1]) == make_dist.NAME]

        packages = {}
        for version in ("0.9.0", "1.0.0"):
            subprocess.run([sys.executable, make, top, work, "--version", version], check=True)
            packages[version] = win_path(os.path.join(work, "QuorComDlg-%s.msi" % version))

        before = ours(export())
        t.check(not before, "the control is registered before the test")

        print("== install 0.9.0, then 1.0.0 over it, then 1.0.0 again")
        t.check(wine.run("msiexec", "/i", packages["0.9.0"], "/qn") == 0, "install of 0.9.0 failed")
        t.check(wine.run("msiexec", "/i", packages["1.0.0"], "/qn") == 0, "upgrade to 1.0.0 failed")
        installed = ours(export())
        t.check(wine.run("msiexec", "/i", packages["1.0.0"], "/qn") == 0, "repair of 1.0.0 failed")
        repaired = ours(export())
        t.check(not differences(installed, repaired), "the repair changed the registry: %s"
                % differences(installed, repaired))
        listed = products()
        t.check(len(listed) == 1, "%d products listed, not one" % len(listed))
        if listed:
            version = unquote(listed[0][1].get("displayversion", ("", ""))[1])
            t.check(version == "1.0.0", "the product listed is %r" % version)
        for arch, folder in FOLDERS.items():
            for name in (make_dist.OCX, "VBMP3.dll"):
                t.check(os.path.isfile(os.path.join(unix_folder(folder), name)), "%s\\%s missing" % (folder, name))
            clsid = installed.get(fold(("" if arch == "x64" else "wow6432node\\") + "clsid\\" +
                                       make_dist.CONTROL_CLSID + "\\InprocServer32"))
            server = unquote(clsid[1].get("", ("", ""))[1]) if clsid else None
            t.check(server and fold(server) == fold(folder + "\\" + make_dist.OCX),
                    "%s server is %r" % (arch, server))

        print("== the installed control in script hosts")
        script = win_path(os.path.join(top, "tests", "scripts", "create.vbs"))
        for label, emulator in (("32-bit", emulator32), ("64-bit", emulator64)):
            r = subprocess.run([emulator, "cscript", "//nologo", script], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=120)
            out = r.stdout.decode("utf-8", "replace").strip()
            t.check(out == "CREATED 260", "%s cscript: %r" % (label, out))
        r = subprocess.run([emulator64, outside_hosts, "--gtest_filter=OpenFromScript.*"], timeout=300)
        t.check(r.returncode == 0, "the Open dialog from VBScript failed on the installed control")

        print("== uninstall")
        t.check(wine.run("msiexec", "/x", packages["1.0.0"], "/qn") == 0, "uninstall failed")
        left = ours(export())
        t.check(not left, "keys left: %s" % sorted(v[0] for v in left.values()))
        for folder in FOLDERS.values():
            t.check(not os.path.exists(unix_folder(folder)), folder + " is left")
        t.check(not products(), "the product is still listed")

        print("== the package's rows against the control's own registration")
        builds = {"x64": ("win64", emulator64, ""), "x86": ("win32", emulator32, "wow6432node\\")}
        for arch, (tree, emulator, view) in builds.items():
            ocx = win_path(os.path.join(top, "build", tree, "bin", make_dist.OCX))
            subprocess.run([emulator, "regsvr32", "/s", ocx], timeout=120)
            written = export()
            folder = ocx[: ocx.rfind("\\")]
            for key, name, value in make_dist.registry(ocx, folder, tree):
                # Only CLSID and Interface have a key per view; the ProgIDs and TypeLib are
                # shared on Windows, though Wine's registrars may write them into their own view.
                shared = not key.startswith(("CLSID", "Interface"))
                places = [view + key] + ([key] if shared else [])
                got = None
                for entry in (written.get(fold(p)) for p in places):
                    if got is None and entry and fold(name or "") in entry[1]:
                        got = unquote(entry[1][fold(name or "")][1])
                t.check(got is not None and fold(got) == fold(value),
                        "%s %s\\%s: the package writes %r, regsvr32 %r" % (arch, key, name or "@", value, got))
            subprocess.run([emulator, "regsvr32", "/u", "/s", ocx], timeout=120)
    if t.failures:
        print("%d failures" % len(t.failures))
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
