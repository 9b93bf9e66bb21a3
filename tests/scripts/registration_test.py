#!/usr/bin/env python3
"""Self-registration of the control under Wine, read back with `reg export`.

usage: registration_test.py [--unregistered] EMULATOR OCX

Registers and unregisters through regsvr32, for the machine and for the current user
(/n /i:user), exporting HKLM\\Software\\Classes and HKCU\\Software\\Classes before, in
between and after, and checks what was written and that unregistering removes it again.
With --unregistered: unregistering a control that is not registered succeeds in both
scopes and changes nothing (what an uninstaller run twice relies on).
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

from wine_path import win_path

PROGID = "QuorCommonDialogControl.QuorComDlg"
# The property page's class, registered and removed with the control.
PAGE_CLSID = "{E3C9EFB4-A81C-4B5E-838A-80D8EADF095D}"
CATID_CONTROL = "{40FC6ED4-2438-11CF-A3DB-080036F12502}"
CATID_SAFE_FOR_SCRIPTING = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}"
CATID_SAFE_FOR_INITIALIZING = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}"
OLEMISC_INVISIBLEATRUNTIME = 0x400
ROOTS = {
    "machine": r"HKEY_LOCAL_MACHINE\Software\Classes",
    "user": r"HKEY_CURRENT_USER\Software\Classes",
}
# Containers shared by every class: registrars create them when missing and never remove
# them (HKCU\Software\Classes\CLSID does not exist in a fresh Wine prefix).
SHARED_PARENTS = {"clsid", "typelib", "interface"}


def platform_of(library):
    """The type library key's platform for a PE file: win64 for an x64 image, else win32."""
    with open(library, "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    return "win64" if struct.unpack_from("<H", head, pe + 4)[0] == 0x8664 else "win32"


def fold(path):
    return path.casefold()


def unquote(raw):
    """The text of a quoted string of the export (backslash escapes), else raw as it is."""
    if len(raw) >= 2 and raw[0] == '"' and raw[-1] == '"':
        return re.sub(r"\\(.)", r"\1", raw[1:-1])
    return raw


def parse_export(text, root, view32=False):
    """{folded key relative to root: (key, {folded value name: (name, raw value)})}

    With view32, keys under Wow6432Node are taken as the 32-bit view shows them: Wine exports
    the whole tree, and a 32-bit registrar's redirected keys (CLSID, Interface, TypeLib) are
    there."""
    keys = {}
    values = None
    pending = ""
    for line in text.splitlines():
        line = pending + line.lstrip() if pending else line
        pending = ""
        if line.startswith("[") and line.endswith("]"):
            full = line[1:-1]
            if not fold(full).startswith(fold(root)):
                raise ValueError("key outside the exported root: " + full)
            rel = full[len(root):].lstrip("\\")
            if view32 and fold(rel).startswith("wow6432node\\"):
                rel = rel[len("wow6432node\\"):]
            values = {}
            keys[fold(rel)] = (rel, values)
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            if line.endswith("\\"):  # hex data continues on the next line
                pending = line[:-1]
                continue
            if line.startswith("@="):
                name, raw = "", line[2:]
            else:
                i = 1
                while line[i] != '"':
                    i += 2 if line[i] == "\\" else 1
                name, raw = unquote(line[: i + 1]), line[i + 2 :]
            values[fold(name)] = (name, raw)
    return keys


def differences(before, after):
    """Readable lines for every key or value that differs."""
    out = []
    for k in sorted(set(before) | set(after)):
        if k not in after:
            out.append("removed key " + before[k][0])
        elif k not in before:
            out.append("added key " + after[k][0])
        else:
            bv, av = before[k][1], after[k][1]
            for n in sorted(set(bv) | set(av)):
                if bv.get(n) != av.get(n):
                    shown = (av.get(n) or bv.get(n))[0] or "@"
                    out.append("value %s of %s: %s -> %s" % (shown, after[k][0], bv.get(n, ("", None))[1],
                                                             av.get(n, ("", None))[1]))
    return out


class Checker:
    def __init__(self):
        self.failures = []

    def check(self, condition, message):
        if not condition:
            self.failures.append(message)
            print("FAIL " + message)
        return condition


class Wine:
    def __init__(self, emulator, workdir, platform):
        self.emulator = emulator
        self.workdir = workdir
        self.platform = platform  # of the control: where its type library is registered
        self.exports = 0

    def run(self, *args):
        r = subprocess.run([self.emulator, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=180)
        return r.returncode

    def export(self, scope):
        self.exports += 1
        path = os.path.join(self.workdir, "export%d.reg" % self.exports)
        # Once in a full run, Wine's reg failed to export a root that exists (seen for
        # HKCU\Software\Classes, the next export found it): a root missing twice is missing.
        if (self.run("reg", "export", ROOTS[scope], win_path(path), "/y") != 0 and
                self.run("reg", "export", ROOTS[scope], win_path(path), "/y") != 0):
            return {}  # the root does not exist
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
        return parse_export(text, ROOTS[scope], view32=self.platform == "win32")

    def snapshot(self):
        return {scope: self.export(scope) for scope in ROOTS}


def value(snap, key, name=""):
    entry = snap.get(fold(key))
    if entry is None or fold(name) not in entry[1]:
        return None
    return unquote(entry[1][fold(name)][1])


def has_key(snap, key):
    return fold(key) in snap


class Registration:
    """The class as one registration scope holds it, read from the export after registering."""

    def __init__(self, t, label, snap, added, ocx, platform):
        self.t, self.label, self.snap, self.added, self.ocx = t, label, snap, added, ocx
        self.platform = platform
        self.clsid = value(snap, PROGID + r"\CLSID")
        self.versioned = value(snap, PROGID + r"\CurVer")
        self.libid = None
        self.version = None

    def fail_unless(self, condition, message):
        return self.t.check(condition, "%s: %s" % (self.label, message))

    def check_progids(self):
        if not self.fail_unless(self.clsid, PROGID + r"\CLSID missing"):
            return False
        self.fail_unless(fold(PROGID) in self.added, PROGID + " was not written by this registration")
        if self.fail_unless(self.versioned and fold(self.versioned) != fold(PROGID), PROGID + r"\CurVer missing"):
            self.fail_unless(value(self.snap, self.versioned + r"\CLSID") == self.clsid,
                             self.versioned + r"\CLSID does not name the class")
        return True

    def check_class(self):
        c = "CLSID\\" + self.clsid
        if not self.fail_unless(fold(c) in self.added, c + " was not written by this registration"):
            return
        self.fail_unless(fold(value(self.snap, c + r"\InprocServer32") or "") == fold(self.ocx),
                         "InprocServer32 is %r" % value(self.snap, c + r"\InprocServer32"))
        self.fail_unless(value(self.snap, c + r"\InprocServer32", "ThreadingModel") == "Apartment",
                         "ThreadingModel is not Apartment")
        self.fail_unless(value(self.snap, c + r"\ProgID") == self.versioned, "ProgID differs from CurVer")
        self.fail_unless(value(self.snap, c + r"\VersionIndependentProgID") == PROGID,
                         "VersionIndependentProgID is %r" % value(self.snap, c + r"\VersionIndependentProgID"))
        self.fail_unless(has_key(self.snap, c + r"\Control"), "no Control key")
        self.fail_unless(has_key(self.snap, c + r"\MiscStatus"), "no MiscStatus key")
        misc = value(self.snap, c + r"\MiscStatus\1")
        if self.fail_unless(misc and misc.isdigit(), "MiscStatus\\1 is %r" % misc):
            self.fail_unless(int(misc) & OLEMISC_INVISIBLEATRUNTIME, "MiscStatus lacks OLEMISC_INVISIBLEATRUNTIME")
        toolbox = value(self.snap, c + r"\ToolboxBitmap32") or ""
        self.fail_unless(fold(toolbox).startswith(fold(self.ocx) + ","), "ToolboxBitmap32 is %r" % toolbox)
        self.libid = value(self.snap, c + r"\TypeLib")
        self.version = value(self.snap, c + r"\Version")
        self.fail_unless(self.libid and self.version, "TypeLib or Version missing")
        categories = c + r"\Implemented Categories"
        self.fail_unless(has_key(self.snap, categories + "\\" + CATID_CONTROL), "not in the Controls category")
        # Nothing in this control has been reviewed for untrusted scripts or data.
        self.fail_unless(not has_key(self.snap, categories + "\\" + CATID_SAFE_FOR_SCRIPTING),
                         "marked safe for scripting")
        self.fail_unless(not has_key(self.snap, categories + "\\" + CATID_SAFE_FOR_INITIALIZING),
                         "marked safe for initialisation")

    def check_page(self):
        c = "CLSID\\" + PAGE_CLSID
        if not self.fail_unless(fold(c) in self.added, c + " (the property page) was not written by this registration"):
            return
        self.fail_unless(fold(value(self.snap, c + r"\InprocServer32") or "") == fold(self.ocx),
                         "the page's InprocServer32 is %r" % value(self.snap, c + r"\InprocServer32"))
        self.fail_unless(value(self.snap, c + r"\InprocServer32", "ThreadingModel") == "Apartment",
                         "the page's ThreadingModel is not Apartment")
        self.fail_unless(not has_key(self.snap, c + r"\Control"), "the page is registered as a control")

    def typelib_key(self):
        return r"TypeLib\%s\%s\0\%s" % (self.libid, self.version, self.platform)

    def check_typelib(self, snap, label):
        self.t.check(fold(value(snap, self.typelib_key()) or "") == fold(self.ocx),
                     "%s: %s does not name the library" % (label, self.typelib_key()))

    def typelib_part(self, key, snap):
        """Whether an added key is part of this type library's registration."""
        parts = fold(key).split("\\")
        # Wine's 64-bit registrar writes the library and its interfaces into the 32-bit view too.
        if parts[0] == "wow6432node" and self.platform == "win64":
            parts = parts[1:]
        if not self.libid or len(parts) < 2:
            return False
        if parts[0] == "typelib":
            return parts[1] == fold(self.libid)
        if parts[0] == "interface":
            prefix = "Wow6432Node\\" if fold(key).startswith("wow6432node") else ""
            return fold(value(snap, prefix + "Interface\\" + parts[1] + r"\TypeLib") or "") == fold(self.libid)
        return False

    def owns(self, key, snap):
        """Whether an added key belongs to this server's registration."""
        parts = fold(key).split("\\")
        if len(parts) == 1 and parts[0] in SHARED_PARENTS:
            return not snap[fold(key)][1]
        if parts[0] in (fold(PROGID), fold(self.versioned or PROGID)):
            return True
        if parts[0] == "clsid" and len(parts) >= 2:
            # The control itself, or another class of the same server (its property page).
            return fold(value(snap, "CLSID\\" + parts[1] + r"\InprocServer32") or "") == fold(self.ocx)
        return self.typelib_part(key, snap)


def added_keys(before, after):
    return {k for k in after if k not in before}


def changed_values_of_existing_keys(before, after):
    common = [k for k in before if k in after]
    return differences({k: before[k] for k in common}, {k: after[k] for k in common})


def machine_cycle(t, wine, ocx, before):
    print("== regsvr32 /s (machine)")
    t.check(wine.run("regsvr32", "/s", ocx) == 0, "regsvr32 /s failed")
    after = wine.snapshot()
    added = added_keys(before["machine"], after["machine"])
    reg = Registration(t, "machine", after["machine"], added, ocx, wine.platform)
    if reg.check_progids():
        reg.check_class()
        reg.check_page()
        reg.check_typelib(after["machine"], "machine")
        stray = sorted(after["machine"][k][0] for k in added if not reg.owns(k, after["machine"]))
        t.check(not stray, "machine: keys that are not the control's: %s" % stray[:10])
    changed = changed_values_of_existing_keys(before["machine"], after["machine"])
    t.check(not changed, "machine: existing values changed: %s" % changed[:10])
    t.check(not differences(before["user"], after["user"]),
            "machine registration touched HKCU: %s" % differences(before["user"], after["user"])[:10])

    print("== regsvr32 /u /s (machine)")
    t.check(wine.run("regsvr32", "/u", "/s", ocx) == 0, "regsvr32 /u /s failed")
    final = wine.snapshot()
    for scope in ROOTS:
        diff = differences(before[scope], final[scope])
        t.check(not diff, "after machine unregistration %s differs: %s" % (scope, diff[:10]))


def user_cycle(t, wine, ocx, before):
    print("== regsvr32 /s /n /i:user")
    t.check(wine.run("regsvr32", "/s", "/n", "/i:user", ocx) == 0, "regsvr32 /s /n /i:user failed")
    after = wine.snapshot()
    added_user = added_keys(before["user"], after["user"])
    added_machine = added_keys(before["machine"], after["machine"])
    reg = Registration(t, "user", after["user"], added_user, ocx, wine.platform)
    if reg.check_progids():
        reg.check_class()
        reg.check_page()
        # The type library belongs to exactly one scope; Wine's RegisterTypeLibForUser is
        # known to register for the whole machine, which shows up here as HKLM keys.
        in_user = has_key(after["user"], reg.typelib_key())
        in_machine = fold(reg.typelib_key()) in added_machine
        t.check(in_user != in_machine, "user: type library registered in %s" %
                ("both scopes" if in_user else "neither scope"))
        if in_machine:
            print("note: the per-user type library went to HKLM (the platform's RegisterTypeLibForUser)")
        reg.check_typelib(after["machine"] if in_machine else after["user"], "user")
        stray = sorted(after["user"][k][0] for k in added_user if not reg.owns(k, after["user"]))
        t.check(not stray, "user: keys that are not the control's: %s" % stray[:10])
        stray = sorted(after["machine"][k][0] for k in added_machine if not reg.typelib_part(k, after["machine"]))
        t.check(not stray, "user registration wrote under HKLM: %s" % stray[:10])
    changed = changed_values_of_existing_keys(before["machine"], after["machine"])
    t.check(not changed, "user registration changed HKLM values: %s" % changed[:10])

    print("== regsvr32 /u /s /n /i:user")
    t.check(wine.run("regsvr32", "/u", "/s", "/n", "/i:user", ocx) == 0, "regsvr32 /u /s /n /i:user failed")
    final = wine.snapshot()
    diff = differences(before["machine"], final["machine"])
    t.check(not diff, "after user unregistration HKLM differs: %s" % diff[:10])
    left = [final["user"][k] for k in added_keys(before["user"], final["user"])]
    shared = [key for key, values in left if fold(key) in SHARED_PARENTS and not values]
    if shared:
        print("note: empty shared keys left under HKCU\\Software\\Classes: %s" % shared)
    removed_or_changed = [d for d in differences(before["user"], final["user"]) if not d.startswith("added key ")]
    t.check(not removed_or_changed, "after user unregistration HKCU differs: %s" % removed_or_changed[:10])
    t.check(len(shared) == len(left), "after user unregistration HKCU keeps %s" %
            [key for key, _ in left if key not in shared][:10])


def rejected_scope(t, wine, ocx):
    before = wine.snapshot()
    print("== regsvr32 /s /n /i:everyone")
    t.check(wine.run("regsvr32", "/s", "/n", "/i:everyone", ocx) != 0, "an unknown /i: scope was accepted")
    after = wine.snapshot()
    for scope in ROOTS:
        diff = differences(before[scope], after[scope])
        t.check(not diff, "an unknown /i: scope changed %s: %s" % (scope, diff[:10]))


def unregistering_unregistered(t, wine, ocx, before):
    for scope in ([], ["/n", "/i:user"]):
        command = ["regsvr32", "/u", "/s", *scope, ocx]
        print("== " + " ".join(command[:-1]) + " (not registered)")
        t.check(wine.run(*command) == 0, "%s failed on a control that is not registered" % " ".join(command[:-1]))
    after = wine.snapshot()
    for scope in ROOTS:
        diff = differences(before[scope], after[scope])
        t.check(not diff, "unregistering an unregistered control changed %s: %s" % (scope, diff[:10]))


def main():
    args = sys.argv[1:]
    unregistered = args[:1] == ["--unregistered"]
    if unregistered:
        args = args[1:]
    if len(args) != 2:
        print(__doc__)
        return 2
    emulator, ocx = args[0], win_path(args[1])
    platform = platform_of(args[1])
    t = Checker()
    with tempfile.TemporaryDirectory(prefix="registration.", dir=os.getcwd()) as workdir:
        wine = Wine(emulator, workdir, platform)
        # An interrupted earlier run may have left a registration behind.
        wine.run("regsvr32", "/u", "/s", ocx)
        wine.run("regsvr32", "/u", "/s", "/n", "/i:user", ocx)
        # Windows always has the per-user classes root; a fresh Wine prefix does not.
        wine.run("reg", "add", ROOTS["user"], "/f")
        before = wine.snapshot()
        t.check(before["machine"], "HKLM\\Software\\Classes could not be exported")
        t.check(not has_key(before["machine"], PROGID), "the control is still registered before the test")

        if unregistered:
            unregistering_unregistered(t, wine, ocx, before)
        else:
            machine_cycle(t, wine, ocx, before)
            user_cycle(t, wine, ocx, before)
            rejected_scope(t, wine, ocx)

    if t.failures:
        print("%d check(s) failed" % len(t.failures))
        return 1
    print("all registration checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
