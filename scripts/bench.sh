#!/usr/bin/env bash
# Times the Open dialog's previews in process (tests/bench/preview_bench.cpp under Wine) on
# generated files, beside the platform operations they wrap and a Linux thumbnailer; then the
# spectrum's tick and VBMP3.dll on the sounds the build wrote for the tests. The 32-bit and the
# 64-bit build are timed in the same run on the same files, then compared line by line.
#   QCD_BENCH_BUILDS build folders with the Windows binaries (default "build/win32 build/win64")
#   QCD_BENCH_REPS   repetitions of each timing (default 7)
#   QCD_BENCH_ONLY   time just the files whose names contain this text
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
read -r -a builds <<<"${QCD_BENCH_BUILDS:-build/win32 build/win64}"
reps=${QCD_BENCH_REPS:-7}
files="$top/build/bench-files"

for build in "${builds[@]}"; do
  if [ ! -f "$top/$build/bin/qcd_preview_bench.exe" ]; then
    echo "bench: no $build/bin/qcd_preview_bench.exe; run ./run build first" >&2
    exit 1
  fi
done
scripts/make_samples.sh --bench "$files"
# A library without icons: the control itself, under a name the preview takes as a program.
cp "$top/${builds[0]}/bin/QuorCommonDialogControl.ocx" "$files/.tmp-noicons.dll"
mv "$files/.tmp-noicons.dll" "$files/noicons.dll"

# The thumbnailer as a whole process, start-up included, as a file manager runs it.
thumbs="$files/.thumbnailer.tsv"
python3 - "$files" "$reps" >"$thumbs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
folder, reps = sys.argv[1], int(sys.argv[2])
names = sorted(n for n in os.listdir(folder) if n.endswith(".jpg")) + ["picture.bmp", "drawing.gif"]
with tempfile.TemporaryDirectory() as tmp:
    for name in names:
        cmd = ["gdk-pixbuf-thumbnailer", "-s", "128", os.path.join(folder, name),
               os.path.join(tmp, "thumb.png")]
        subprocess.run(cmd, check=True)  # warm-up: the file and the loaders in the page cache
        times = []
        for _ in range(reps):
            t0 = time.perf_counter()
            subprocess.run(cmd, check=True)
            times.append((time.perf_counter() - t0) * 1000)
        print("%s\t%.3f\t%.3f\t%.3f" % (name, statistics.median(times), min(times), max(times)))
PY

# The sounds the build wrote for the tests; played on ALSA's null device (no sound card here).
export ALSA_CONFIG_PATH="$top/tests/win32/null_audio.conf"
# Wine maps Z: to the root of the file system.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
outputs=()
for build in "${builds[@]}"; do
  out="$top/build/bench-$(basename "$build").txt"
  echo "== $build"
  scripts/testbed.sh run cmake/wine-run "$top/$build/bin/qcd_preview_bench.exe" "$(winpath "$files")" \
    --reps "$reps" --thumbnailer "$(winpath "$thumbs")" --sounds "$(winpath "$top/$build/tests/win32/sounds")" \
    ${QCD_BENCH_ONLY:+--only "$QCD_BENCH_ONLY"} </dev/null | tee "$out"
  outputs+=("$out")
done

# Every timed line of the first build beside the others': medians in ms, and their ratio.
[ "${#outputs[@]}" -ge 2 ] && python3 - "${outputs[@]}" <<'PY'
import re, sys
def medians(path):
    """{(file, what): median} of the timed lines, laid out "%-20s %-34s %9.2f %9.2f %9.2f"; a
    line under a file's first line names no file, a long file name shifts the columns."""
    rows, file = {}, ""
    for text in open(path, encoding="utf-8", errors="replace"):
        if text.startswith("summary"):
            break
        shift = 0
        if text[:1] not in ("", " ", "\n"):
            name = text.split()[0]
            shift = max(0, len(name) - 20)
        try:
            median = float(text[56 + shift:65 + shift])
            float(text[66 + shift:75 + shift])
        except ValueError:
            continue
        if shift or text[:1] != " ":
            file = text.split()[0]
        rows[(file, text[21 + shift:55 + shift].strip())] = median
    return rows
names = [p.rsplit("bench-", 1)[1][:-4] for p in sys.argv[1:]]
tables = [medians(p) for p in sys.argv[1:]]
print("\n%s beside %s (medians, ms; ratio > 1.10 marked)" % (" and ".join(names[1:]), names[0]))
print("%-20s %-34s %9s %9s %6s" % ("file", "what", names[0], names[1], "ratio"))
slower = 0
for key, first in tables[0].items():
    if key not in tables[1]:
        continue
    second = tables[1][key]
    ratio = second / first if first > 0 else 0
    mark = "  slower" if ratio > 1.10 else ""
    slower += bool(mark)
    print("%-20s %-34s %9.2f %9.2f %6.2f%s" % (key[0], key[1], first, second, ratio, mark))
print("%d line(s) of %s more than 10 %% slower than %s" % (slower, names[1], names[0]))
PY
