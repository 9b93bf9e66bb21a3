#!/usr/bin/env bash
# The long soak: the control used for many selections and dialogs while the host's windows,
# GDI objects, kernel handles and private bytes are watched (tests/win32/soak_test.cpp).
#   QCD_SOAK_SELECTIONS  selections in one Open dialog (default here 2000)
#   QCD_SOAK_DIALOGS     Open dialogs in a row (default here 100)
#   QCD_SOAK_ONLY        cycle only through the files whose names contain this text
#   QCD_SOAK_BUILD       build folder with the Windows binaries (default build/win32)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# Media are played: ALSA's null device gives Wine a wave output (no sound card here).
export ALSA_CONFIG_PATH="$top/tests/win32/null_audio.conf"
# What the control gave up on goes to the logs: its trace on Wine's debug-string channel.
export QCD_TRACE=1 WINEDEBUG=-all,warn+seh
build=${QCD_SOAK_BUILD:-build/win32}
exe="$top/$build/bin/qcd_soak_tests.exe"
if [ ! -f "$exe" ]; then
  echo "soak: no $exe; run ./run build first" >&2
  exit 1
fi
export QCD_SOAK_SELECTIONS=${QCD_SOAK_SELECTIONS:-2000}
export QCD_SOAK_DIALOGS=${QCD_SOAK_DIALOGS:-100}
# Each test in a process of its own, as ctest runs them: the counts are the process's.
status=0
for t in HostCounts.* SoakTest.ManySelectionsInOneDialogKeepTheHostFlatInWinesHandleTables \
         SoakTest.ManyDialogsFromOneControlKeepTheHostFlatInWinesHandleTables; do
  timeout 1800 scripts/testbed.sh run cmake/wine-run "$exe" --gtest_filter="$t" || status=1
done
exit $status
