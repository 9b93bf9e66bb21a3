#!/usr/bin/env bash
# Times the Open dialog's previews in process (tests/bench/preview_bench.cpp under Wine) on
# generated files, beside the platform operations they wrap and a Linux thumbnailer; then the
# spectrum's tick and VBMP3.dll on the sounds the build wrote for the tests.
#   QCD_BENCH_BUILD  build folder with the Windows binaries (default build/win32)
#   QCD_BENCH_REPS   repetitions of each timing (default 7)
#   QCD_BENCH_ONLY   time just the files whose names contain this text
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${QCD_BENCH_BUILD:-build/win32}
reps=${QCD_BENCH_REPS:-7}
exe="$top/$build/bin/qcd_preview_bench.exe"
files="$top/build/bench-files"

if [ ! -f "$exe" ]; then
  echo "bench: no $exe; run ./run build first" >&2
  exit 1
fi
scripts/make_samples.sh --bench "$files"
# A library without icons: the control itself, under a name the preview takes as a program.
cp "$top/$build/bin/QuorCommonDialogControl.ocx" "$files/.tmp-noicons.dll"
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
sounds="$top/$build/tests/win32/sounds"
export ALSA_CONFIG_PATH="$top/tests/win32/null_audio.conf"
# Wine maps Z: to the root of the file system.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
scripts/testbed.sh run cmake/wine-run "$exe" "$(winpath "$files")" --reps "$reps" \
  --thumbnailer "$(winpath "$thumbs")" --sounds "$(winpath "$sounds")" \
  ${QCD_BENCH_ONLY:+--only "$QCD_BENCH_ONLY"} </dev/null
