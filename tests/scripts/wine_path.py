"""Paths for Windows programs run under Wine."""
import os


def win_path(path):
    """The Windows name of a Unix path: Wine maps drive Z: to the Unix root (a Unix path makes
    cscript and regsvr32 find nothing)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")
