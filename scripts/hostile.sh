#!/usr/bin/env bash
# The hostile-file run in full: every file of the damaged corpus (tests/win32/hostile_corpus.cpp)
# selected in the real Open dialog by qcd_hostile_tests, in batches that go on after the file a
# process crashed, hung or faulted on; then each file that crashed, hung or faulted in the heap
# again in a process of its own. Prints, and writes to build/hostile/report.txt, what crashed,
# hung, faulted or was slow, by kind and mutation, with the platform's functions named.
#   --each               every file in a process of its own from the start (exact, slow)
#   QCD_HOSTILE_ONLY     only files whose names contain one of these comma-separated parts
#   QCD_HOSTILE_GIVEUP_MS  how long a selection may take before the dialog counts as hung
#                        (default 10000)
#   QCD_HOSTILE_BUILD    build folder with the Windows binaries (default build/win32)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# Media are played: ALSA's null device gives Wine a wave output (no sound card here).
export ALSA_CONFIG_PATH="$top/tests/win32/null_audio.conf"
# What the control gave up on goes to the logs: its trace on Wine's debug-string channel.
export QCD_TRACE=1 WINEDEBUG=-all,warn+seh
build=${QCD_HOSTILE_BUILD:-build/win32}
exe="$top/$build/bin/qcd_hostile_tests.exe"
out="$top/build/hostile"
if [ ! -f "$exe" ]; then
  echo "hostile: no $exe; run ./run build first" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out/logs"
scripts/testbed.sh run python3 - "$top" "$exe" "$out" "$@" <<'PY'
import collections, glob, os, re, shutil, signal, subprocess, sys, time

top, exe, out = sys.argv[1:4]
each = "--each" in sys.argv[4:]
giveup = os.environ.get("QCD_HOSTILE_GIVEUP_MS", "10000")
only = os.environ.get("QCD_HOSTILE_ONLY", "")
wine_run = os.path.join(top, "cmake", "wine-run")
windows_dlls = "/usr/lib/i386-linux-gnu/wine/i386-windows"
runs = 0


def winpath(p):
    return "Z:" + p.replace("/", "\\")


def dialog_thread_stack(process):
    """The first thread of Windows process `process` (hex) as the debugger shows it."""
    try:
        text = subprocess.run([wine_run, "winedbg", "--command", "bt all"], stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, errors="replace", timeout=60).stdout
    except subprocess.TimeoutExpired:
        return ["(the debugger could not attach in 60 s)"]
    frames, sections = [], 0
    for line in text.splitlines():
        if line.startswith("Backtracing for thread") and " in process %s " % process in line:
            sections += 1
        if sections == 1:
            m = re.match(r"^\s*(?:=>)?\s*\d+ 0x[0-9a-f]+ (.*)$", line)
            if m:
                frames.append(compact_frame(m.group(1)))
                if frames[-1].startswith("qcd_hostile_tests"):
                    break
    return frames


def compact_frame(rest):
    """A frame of the debugger's backtrace as module!function+offset or module+offset."""
    mod = re.search(r" in (\S+) ", rest + " ")
    if rest.startswith("in "):
        off = re.search(r"\(\+(0x[0-9a-f]+)\)", rest)
        return "%s+%s" % (rest.split()[1], off.group(1) if off else "?")
    return "%s!%s" % (mod.group(1) if mod else "?", rest.split("(")[0])


def run(extra, timeout):
    """One process of the test; its whole output. A process whose output stops for longer than
    a hang and its backtrace take is stuck past helping itself (a lock left held by a fault, the
    process heap's for one): its dialog thread's stack is taken and it is killed."""
    global runs
    runs += 1
    env = {k: v for k, v in os.environ.items() if not k.startswith("QCD_HOSTILE_")}
    env.update(extra)
    env["QCD_HOSTILE_GIVEUP_MS"] = giveup
    log = os.path.join(out, "logs", "run%04d.log" % runs)
    stall = int(giveup) / 1000 + 90
    with open(log, "w") as f:
        p = subprocess.Popen([wine_run, exe, "--gtest_also_run_disabled_tests",
                              "--gtest_filter=HostileRunTest.*"],
                             stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT,
                             env=env, start_new_session=True)
        deadline, size, changed, rc = time.time() + timeout, 0, time.time(), None
        while rc is None:
            time.sleep(0.5)
            rc = p.poll()
            if rc is not None:
                break
            if os.path.getsize(log) != size:
                size, changed = os.path.getsize(log), time.time()
            stalled = time.time() - changed > stall
            if stalled or time.time() > deadline:
                with open(log, errors="replace") as r:
                    m = re.search(r"^hostile: process ([0-9a-f]+)$", r.read(), re.M)
                frames = dialog_thread_stack(m.group(1)) if m else []
                f.write("\nhostile: stalled\nhostile: backtrace\n" + "".join("  %s\n" % x for x in frames))
                f.flush()
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
                rc = "stalled" if stalled else "timeout"
    with open(log, errors="replace") as f:
        text = f.read()
    # A process that died or ended itself left its corpus folder behind.
    m = re.search(r"^hostile: process ([0-9a-f]+)$", text, re.M)
    if m:
        pattern = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*", "Temp",
                               "qcd-preview-%d" % int(m.group(1), 16))
        for folder in glob.glob(pattern):
            shutil.rmtree(folder, ignore_errors=True)
    return rc, text


# The corpus, as the test makes it.
extra = {"QCD_HOSTILE_LIST": "1"}
if only:
    extra["QCD_HOSTILE_ONLY"] = only
rc, text = run(extra, 600)
files = collections.OrderedDict()
for line in text.splitlines():
    if line.startswith("hostile: file\t"):
        _, name, kind, cls, size, detail = line.split("\t", 5)
        files[name] = {"kind": kind, "class": cls, "size": int(size), "detail": detail}
manifest = text[text.find("hostile: corpus"):text.find("hostile: ", text.find("hostile: corpus") + 1)]
if not files:
    sys.exit("hostile: the test listed no files (exit %s); see %s/logs" % (rc, out))
print("hostile: %d files" % len(files), flush=True)

results = {}  # name -> verdict, ms, answer, memory, trace, before (in its process), alone, culprit
DONE = re.compile(r"^hostile: done (\S+) (\d+) ms (\w+)(?: answer (\d+) ms memory (-?\d+) KB)?")


def indented_after(lines, i):
    """The indented lines that follow line i."""
    block = []
    for line in lines[i + 1:]:
        if not line.startswith("  "):
            break
        block.append(line.strip())
    return block


def crash_trace(lines, i):
    """What the platform's debugger printed after line i of a process that died."""
    trace = []
    for line in lines[i + 1:]:
        # The platform's and the C library's last words, then the debugger's frames.
        if "Unhandled" in line or "Assertion" in line or re.match(r"^[a-z_()]+\(\): |^(corrupted|double free|free\(\)|malloc)", line):
            trace.append(line.strip())
        m = re.match(r"^\s*(?:=>)?\s*\d+ 0x[0-9a-f]+ (.*)$", line)
        if m and len(trace) < 16:
            trace.append(compact_frame(m.group(1)))
    return trace


def run_batch(batch, alone=False):
    """Runs `batch` in one process; records what it learnt; returns the names left over."""
    names_file = os.path.join(out, "names.txt")
    with open(names_file, "w") as f:
        f.write("\n".join(batch) + "\n")
    rc, text = run({"QCD_HOSTILE_NAMES": winpath(names_file)},
                   300 + len(batch) * 4 + int(giveup) // 1000 * 3)
    lines = text.splitlines()
    current, listed = None, False
    selected = []  # in this process, in order
    learnt = {}
    for i, line in enumerate(lines):
        if line.startswith("hostile: listed"):
            listed = True
        if line.startswith("hostile: select "):
            current = line.split(" ", 2)[2]
            selected.append(current)
            continue
        m = DONE.match(line)
        if m:
            name = m.group(1)
            r = {"verdict": m.group(3), "ms": int(m.group(2)),
                 "answer": int(m.group(4) or 0), "memory": int(m.group(5) or 0),
                 "trace": indented_after(lines, i), "before": selected[:-1]}
            if r["verdict"] == "hung":
                j = next((k for k in range(i, len(lines)) if lines[k] == "hostile: backtrace"), None)
                if j is not None:
                    r["trace"] = r["trace"] + ["hung in:"] + indented_after(lines, j)
            learnt[name] = r
            current = None
    if current is not None and current not in learnt and rc in ("timeout", "stalled"):
        j = next((k for k in range(len(lines)) if lines[k] == "hostile: backtrace"), None)
        learnt[current] = {"verdict": "hung", "ms": 0, "answer": 0, "memory": 0,
                           "trace": ["the whole process stopped, the test's own thread too (a lock left held?); hung in:"]
                                    + (indented_after(lines, j) if j is not None else []),
                           "before": selected[:-1]}
    if current is not None and current not in learnt:
        learnt[current] = {"verdict": "crashed", "ms": 0, "answer": 0, "memory": 0,
                           "trace": crash_trace(lines, next(i for i, l in enumerate(lines)
                                                            if l == "hostile: select " + current)),
                           "before": selected[:-1], "exit": rc}
    if not listed and not learnt:
        if len(batch) == 1:
            learnt[batch[0]] = {"verdict": "crashed-listing", "ms": 0, "answer": 0, "memory": 0,
                                "trace": crash_trace(lines, 0), "before": [], "exit": rc}
        else:
            return "split"
    for name, r in learnt.items():
        if alone:
            if name == batch[-1]:
                results[name]["alone"] = r["verdict"]
                if r["trace"]:
                    results[name]["alone_trace"] = r["trace"]
        else:
            results.setdefault(name, r)
    left = [n for n in batch if n not in learnt]
    if left and not learnt:
        # Nothing learnt and no crash to blame: give up on the first, so the run goes on.
        results.setdefault(left[0], {"verdict": "unknown", "ms": 0, "answer": 0, "memory": 0,
                                     "trace": ["process ended with %s" % rc], "before": []})
        left = left[1:]
    return left


queue = [[n] for n in files] if each else [list(files)]
started = time.time()
while queue:
    batch = [n for n in queue.pop(0) if n not in results]
    if not batch:
        continue
    left = run_batch(batch)
    if left == "split":
        half = len(batch) // 2
        queue[:0] = [batch[:half], batch[half:]]
        continue
    if left:
        queue.insert(0, left)
    print("hostile: %d of %d done, %d processes, %.0f s" % (len(results), len(files), runs,
                                                             time.time() - started), flush=True)

# Again alone, what may be the work of a file before it: crashes, hangs, unfinished previews,
# and faults outside the platform's named code (in the heap, in the C library: a heap broken
# earlier faults in whoever uses it next).
BAD = ("crashed", "hung", "fault", "caught", "abandoned")
if not each:
    for name, r in list(results.items()):
        first = r["trace"][0] if r["trace"] else ""
        stray = r["verdict"] in ("fault", "caught") and (" at ntdll+" in first or " at 0x" in first)
        if r["verdict"] in ("crashed", "hung", "abandoned", "unknown") or stray:
            run_batch([name], alone=True)
    # Fine alone: which of the files before it in its process, run just before it, does it?
    for name, r in list(results.items()):
        if r.get("alone") in BAD or "alone" not in r or r["verdict"] not in BAD:
            continue
        for before in reversed(r.get("before", [])[-12:]):
            results[name]["alone"] = None
            run_batch([before, name], alone=True)
            if results[name]["alone"] in BAD:
                results[name]["culprit"] = before
                break
        results[name]["alone"] = results[name]["alone"] or "ok"


# Function names for module+offset frames: the platform's PE modules carry line tables.
bases, names = {}, {}


def image_base(path):
    if path not in bases:
        try:
            text = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True,
                                  text=True).stdout
            m = re.search(r"ImageBase\s+([0-9a-fA-F]+)", text)
            bases[path] = int(m.group(1), 16) if m else None
        except OSError:
            bases[path] = None
    return bases[path]


def name_frame(frame):
    m = re.match(r"^(.*?)(\S+)\+0x([0-9a-f]+)(.*)$", frame)
    if not m or "!" in m.group(2):
        return frame
    module, offset = m.group(2), int(m.group(3), 16)
    key = (module, offset)
    if key not in names:
        names[key] = None
        if module.endswith(".so"):
            # Stripped: the nearest exported name would be another function's.
            cmd, approximate = None, True
        else:
            dll = os.path.join(windows_dlls, module + ".dll")
            if module == "qcd_hostile_tests":
                dll = exe
            base = image_base(dll) if os.path.exists(dll) else None
            cmd = ["i686-w64-mingw32-addr2line", "-f", "-e", dll, hex(base + offset)] if base else None
            approximate = False
        if cmd:
            r = subprocess.run(cmd, capture_output=True, text=True).stdout.split("\n")
            if len(r) >= 2 and r[0] != "??":
                where = r[1].split("/")[-1] if r[1] and not r[1].startswith("??") else ""
                names[key] = ("~" if approximate else "") + r[0] + (" " + where if where else "")
    return frame + (" " + names[key] if names[key] else "")


for r in results.values():
    for key in ("trace", "alone_trace"):
        if key in r:
            r[key] = [name_frame(f) for f in r[key]]

# The report.
ORDER = ["crashed-listing", "crashed", "hung", "fault", "abandoned", "caught", "late", "noanswer",
         "slow", "ok", "missing", "unknown"]
ABOUT = {
    "crashed-listing": "the process died while the dialog listed the folder",
    "crashed": "the process died during the selection",
    "hung": "the dialog's thread stopped answering (> %s ms, no WM_NULL answer)" % giveup,
    "fault": "a fault on the dialog's thread, swallowed by the platform; the preview never finished",
    "abandoned": "the preview never finished, no fault seen, the dialog still answered",
    "caught": "a fault was raised and handled on the way; the preview finished",
    "late": "finished after more than 2000 ms",
    "noanswer": "finished, then no WM_NULL answer within 250 ms",
    "slow": "finished in more than 250 ms",
}
report = []
say = report.append
say("Hostile-file run: %d files, %d processes, %.0f s, give-up after %s ms%s" % (
    len(files), runs, time.time() - started, giveup, ", each file alone" if each else ""))
say("")
say(manifest.rstrip())
say("")
kinds = sorted({f["kind"] for f in files.values()})
shown = [v for v in ORDER if any(r["verdict"] == v for r in results.values())]
say("%-6s %6s " % ("kind", "files") + " ".join("%9s" % v[:9] for v in shown))
for kind in kinds + ["all"]:
    rs = [results.get(n, {"verdict": "unknown"}) for n, f in files.items() if kind in ("all", f["kind"])]
    say("%-6s %6d " % (kind, len(rs)) + " ".join("%9d" % sum(r["verdict"] == v for r in rs) for v in shown))
say("")

for verdict in ORDER:
    if verdict in ("ok",):
        continue
    bad = [(n, r) for n, r in results.items() if r["verdict"] == verdict]
    if not bad:
        continue
    say("=" * 100)
    say("%s: %d files -- %s" % (verdict.upper(), len(bad), ABOUT.get(verdict, "")))
    # Where: the first frames, to see which platform code each group dies in.
    where = collections.Counter()
    for n, r in bad:
        trace = r.get("alone_trace") if r.get("alone") == verdict and r.get("alone_trace") else r.get("trace", [])
        faults = [re.sub(r" touching 0x[0-9a-f]+", "", t) for t in trace[:1] if t.startswith("exception")]
        # Else the first frame in the platform's Windows-side code that names a function, past
        # the system-call stubs and the Unix side.
        frames = [f[5:] if f.startswith("from ") else f for f in trace]
        named = [f for f in frames if re.match(r"^[a-z0-9_]+(![^ ]+|\+0x[0-9a-f]+ \S)", f)
                 and f.split("+")[0].split("!")[0] not in ("win32u", "ntdll", "qcd_hostile_tests")]
        key = faults[0] if faults else named[0] if named else frames[0] if frames else ""
        if key:
            where[key] += 1
    if where:
        say("  where (first frame, files):")
        for w, c in where.most_common():
            say("    %4d  %s" % (c, w))
    by = collections.defaultdict(list)
    for n, r in bad:
        by[(files[n]["kind"], files[n]["class"])].append((n, r))
    for (kind, cls), items in sorted(by.items()):
        say("  -- %s / %s: %d" % (kind, cls, len(items)))
        for n, r in sorted(items, key=lambda x: -x[1]["ms"]):
            alone = r.get("alone")
            note = ""
            if r.get("culprit"):
                note = "  [alone: ok; %s when run right after %s]" % (alone, r["culprit"])
            elif alone and alone != verdict:
                note = "  [alone: %s]" % alone
            say("    %-58s %6d ms  %s%s" % (n, r["ms"], files[n]["detail"], note))
            trace = r.get("alone_trace") if alone == verdict and r.get("alone_trace") else r.get("trace", [])
            if verdict not in ("late", "slow", "noanswer"):
                for t in trace[:8]:
                    say("        " + t)
    say("")

slowest = sorted(((r["ms"], n) for n, r in results.items() if r["verdict"] not in ("hung", "crashed")), reverse=True)[:10]
say("slowest finished selections:")
for ms, n in slowest:
    say("  %6d ms  %s  (%s)" % (ms, n, results[n]["verdict"]))
grown = sorted(((r.get("memory", 0), n) for n, r in results.items()), reverse=True)[:10]
say("largest growth of private memory over one selection:")
for kb, n in grown:
    say("  %8d KB  %s" % (kb, n))

text = "\n".join(report) + "\n"
with open(os.path.join(out, "report.txt"), "w") as f:
    f.write(text)
print(text)
print("hostile: report in %s/report.txt, logs in %s/logs" % (out, out))
PY
