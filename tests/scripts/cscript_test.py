#!/usr/bin/env python3
"""Runs an automation script under Wine's cscript and checks what it reports.

usage: cscript_test.py EMULATOR SCRIPT

The script receives two file names: a UTF-16 file holding SAMPLE_FILTER, and a file it
writes as UTF-16 with the control's default Filter, CR LF, and the Filter read back after
assigning the sample. Non-ASCII text travels through files: Wine's cscript garbles it on
the command line, crashes echoing it, and reads script files in the ANSI code page only.
The script echoes "FAIL ..." for each failed check of its own and "END" as its last line,
since cscript itself reports neither script errors nor an early stop.
"""
import os
import subprocess
import sys
import tempfile

from wine_path import win_path

DEFAULT_FILTER = "すべてのﾌｧｲﾙ(*.*)|*.*"
# Characters outside code page 932 (the euro sign, a surrogate pair) and empty elements:
# the property keeps wide text exactly as given.
SAMPLE_FILTER = "画像(*.bmp;*.jpg)|*.bmp;*.jpg|ﾃｷｽﾄ €|*.txt|\U0001F600||"


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    emulator, script = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory(prefix="cscript.", dir=os.getcwd()) as workdir:
        sample_path = os.path.join(workdir, "sample.txt")
        result_path = os.path.join(workdir, "result.txt")
        with open(sample_path, "wb") as f:
            f.write(b"\xff\xfe" + SAMPLE_FILTER.encode("utf-16-le"))
        run = subprocess.run([emulator, "cscript", "//nologo", win_path(script), win_path(sample_path),
                              win_path(result_path)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             timeout=180)
        output = run.stdout.decode("ascii", errors="replace")
        print(output, end="")
        lines = [line.strip() for line in output.splitlines() if line.strip()]
        if run.returncode != 0:
            failures.append("cscript exited with %d" % run.returncode)
        script_failures = sum(1 for line in lines if line.startswith("FAIL"))
        if script_failures:
            failures.append("%d check(s) of the script failed" % script_failures)
        if not lines or lines[-1] != "END":
            failures.append("the script did not run to its end")
        if not os.path.exists(result_path):
            failures.append("the script wrote no result file")
        else:
            with open(result_path, "rb") as f:
                data = f.read()
            if not data.startswith(b"\xff\xfe"):
                failures.append("the result file is not UTF-16 with a byte-order mark")
            got = data[2:].decode("utf-16-le", errors="replace").split("\r\n")
            expected = [DEFAULT_FILTER, SAMPLE_FILTER]
            if got != expected:
                failures.append("Filter texts: got %s, expected %s" % (ascii(got), ascii(expected)))
    for f in failures:
        print("failed: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
