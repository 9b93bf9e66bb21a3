#!/usr/bin/env python3
"""Builds build/dist: a Windows Installer package of both builds, made with wixl, and a zip.

usage: make_dist.py TOP OUT [--version X.Y.Z]

The package installs, per machine, the 64-bit control and VBMP3.dll into Program Files and the
32-bit ones into Program Files (x86), each in a folder QuorComDlg, and registers them through
the installer's own registry table: the keys the control's self-registration writes, in each
registry view. Uninstalling removes every file and key again. The zip holds the same binaries,
their type libraries, the README and the reference, for those who register by hand.
"""
import argparse
import os
import shutil
import subprocess
import sys
import zipfile
from xml.sax.saxutils import escape, quoteattr

NAME = "QuorComDlg"
MANUFACTURER = "QuorComDlg"
# Fixed for every version: a later package upgrades (replaces) an earlier one.
UPGRADE_CODE = "6F1D3C52-8E0B-4B7A-9C64-2D7E5B0A91C3"
VERSION = "1.0.0"

CONTROL_CLSID = "{880854AE-9432-40C2-A17E-DBD9027AAD7F}"
PAGE_CLSID = "{E3C9EFB4-A81C-4B5E-838A-80D8EADF095D}"
LIBID = "{386E3D79-C8AB-439A-B898-49D871D32511}"
# Each interface with its marshaler: the universal one of a dual interface, the dispatch one of
# the event dispinterface.
INTERFACES = {"{A08700ED-817C-462A-86AC-90E59F39E612}": ("_QuorComDlg", "{00020424-0000-0000-C000-000000000046}"),
              "{101CD0F1-0328-4CC4-8FAC-67D95FFCABCA}": ("__QuorComDlg", "{00020420-0000-0000-C000-000000000046}")}
PROGID = "QuorCommonDialogControl.QuorComDlg"
PROGID_VERSIONED = PROGID + ".1"
CONTROL_NAME = "QuorComDlg Control"
PAGE_NAME = "QuorComDlg OpenSavePage"
CATID_CONTROL = "{40FC6ED4-2438-11CF-A3DB-080036F12502}"
# OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST
MISC_STATUS = "132497"
OCX = "QuorCommonDialogControl.ocx"


def registry(ocx, folder, platform):
    """(key, name or None, value) rows of one build, as its self-registration writes them."""
    clsid = "CLSID\\" + CONTROL_CLSID
    rows = [
        (clsid, None, CONTROL_NAME),
        (clsid + "\\InprocServer32", None, ocx),
        (clsid + "\\InprocServer32", "ThreadingModel", "Apartment"),
        (clsid + "\\ProgID", None, PROGID_VERSIONED),
        (clsid + "\\VersionIndependentProgID", None, PROGID),
        (clsid + "\\Control", None, ""),
        (clsid + "\\MiscStatus", None, "0"),
        (clsid + "\\MiscStatus\\1", None, MISC_STATUS),
        (clsid + "\\ToolboxBitmap32", None, ocx + ", 1"),
        (clsid + "\\TypeLib", None, LIBID),
        (clsid + "\\Version", None, "1.0"),
        (clsid + "\\Implemented Categories\\" + CATID_CONTROL, None, ""),
        ("CLSID\\" + PAGE_CLSID, None, PAGE_NAME),
        ("CLSID\\" + PAGE_CLSID + "\\InprocServer32", None, ocx),
        ("CLSID\\" + PAGE_CLSID + "\\InprocServer32", "ThreadingModel", "Apartment"),
        (PROGID, None, CONTROL_NAME),
        (PROGID + "\\CLSID", None, CONTROL_CLSID),
        (PROGID + "\\CurVer", None, PROGID_VERSIONED),
        (PROGID_VERSIONED, None, CONTROL_NAME),
        (PROGID_VERSIONED + "\\CLSID", None, CONTROL_CLSID),
        ("TypeLib\\" + LIBID + "\\1.0", None, "QuorCommonDialogControl"),
        ("TypeLib\\" + LIBID + "\\1.0\\FLAGS", None, "8"),  # LIBFLAG_FHASDISKIMAGE
        ("TypeLib\\" + LIBID + "\\1.0\\0\\" + platform, None, ocx),
        ("TypeLib\\" + LIBID + "\\1.0\\HELPDIR", None, folder),
    ]
    for iid, (name, proxy_stub) in INTERFACES.items():
        key = "Interface\\" + iid
        rows += [(key, None, name),
                 (key + "\\ProxyStubClsid", None, proxy_stub),
                 (key + "\\ProxyStubClsid32", None, proxy_stub),
                 (key + "\\TypeLib", None, LIBID),
                 (key + "\\TypeLib", "Version", "1.0")]
    return rows


def component(arch, folder_id, files):
    win64 = arch == "x64"
    ocx_id = "Ocx" + arch
    lines = [f'<Component Id="Control{arch}" Guid="*" Win64="{"yes" if win64 else "no"}">',
             f'<File Id="{ocx_id}" Name="{OCX}" Source={quoteattr(files["ocx"])} KeyPath="yes"/>',
             f'<File Id="Vbmp3{arch}" Name="VBMP3.dll" Source={quoteattr(files["vbmp3"])}/>']
    # [#File] is the installed file's path, [Folder] the folder's with a final backslash.
    for key, name, value in registry(f"[#{ocx_id}]", f"[{folder_id}]", "win64" if win64 else "win32"):
        full_key = quoteattr("Software\\Classes\\" + key)
        attrs = f'Root="HKLM" Key={full_key} Type="string" Value={quoteattr(value)}'
        if name:
            attrs += f" Name={quoteattr(name)}"
        lines.append(f"<RegistryValue {attrs}/>")
    lines.append("</Component>")
    return "\n".join(lines)


def wxs(version, builds):
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="*" Name="{NAME}" Language="1033" Version="{version}" Manufacturer="{MANUFACTURER}"
         UpgradeCode="{UPGRADE_CODE}">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
         Description="{NAME} {version}"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of {NAME} is already installed."/>
<MediaTemplate EmbedCab="yes"/>
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="ProgramFiles64Folder"><Directory Id="INSTALLDIR64" Name="{NAME}">
{component("x64", "INSTALLDIR64", builds["x64"])}
</Directory></Directory>
<Directory Id="ProgramFilesFolder"><Directory Id="INSTALLDIR32" Name="{NAME}">
{component("x86", "INSTALLDIR32", builds["x86"])}
</Directory></Directory>
</Directory>
<Feature Id="Control" Title="{NAME}" Level="1">
<ComponentRef Id="Controlx64"/><ComponentRef Id="Controlx86"/>
</Feature>
</Product>
</Wix>
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("top")
    parser.add_argument("out")
    parser.add_argument("--version", default=VERSION)
    args = parser.parse_args()
    build = os.path.join(args.top, "build")
    builds = {arch: {"ocx": os.path.join(build, tree, "bin", OCX),
                     "vbmp3": os.path.join(build, tree, "bin", "VBMP3.dll"),
                     "tlb": os.path.join(build, tree, "resources", "typelib", "QuorCommonDialogControl.tlb")}
              for arch, tree in (("x64", "win64"), ("x86", "win32"))}
    os.makedirs(args.out, exist_ok=True)
    stem = os.path.join(args.out, f"{NAME}-{args.version}")
    # wixl finds sources only by paths relative to where it runs.
    relative = {arch: {k: os.path.relpath(v, args.top) for k, v in files.items()}
                for arch, files in builds.items()}
    with open(stem + ".wxs", "w", encoding="utf-8") as f:
        f.write(wxs(args.version, relative))
    subprocess.run(["wixl", "-a", "x64", "-o", os.path.abspath(stem + ".msi"), os.path.abspath(stem + ".wxs")],
                   check=True, cwd=args.top, stderr=subprocess.DEVNULL)
    with zipfile.ZipFile(stem + ".zip", "w", zipfile.ZIP_DEFLATED) as z:
        for arch, folder in (("x64", "win64"), ("x86", "win32")):
            for path in builds[arch].values():
                z.write(path, f"{NAME}-{args.version}/{folder}/{os.path.basename(path)}")
        z.write(os.path.join(args.top, "README.md"), f"{NAME}-{args.version}/README.md")
        z.write(os.path.join(args.top, "docs", "reference.md"), f"{NAME}-{args.version}/reference.md")
    print(f"dist: {stem}.msi, {stem}.zip")


if __name__ == "__main__":
    sys.exit(main())
