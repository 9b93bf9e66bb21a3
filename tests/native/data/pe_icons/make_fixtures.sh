#!/bin/sh
# Rebuilds the program-icon fixtures (not part of the build): icons from ImageMagick and
# make_icons.py, a resource-only library as PE32 and PE32+, one without icon groups, and a
# small program from the cross compiler.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

convert -size 16x16 xc:red red.ico
convert -size 24x24 xc:blue \( -clone 0 -resize 16x16 \) \( -clone 0 -resize 32x32 \) multi.ico
python3 "$here/make_icons.py" .

for name in icons noicons program; do
    i686-w64-mingw32-windres -I. -O res -i "$here/$name.rc" -o $name.res
done
lld-link /nologo /brepro /dll /noentry /machine:x86 /out:"$here/icons32.dll" icons.res
lld-link /nologo /brepro /dll /noentry /machine:x64 /out:"$here/icons64.dll" icons.res
lld-link /nologo /brepro /dll /noentry /machine:x86 /out:"$here/noicons.dll" noicons.res
rm -f "$here"/*.lib
i686-w64-mingw32-windres -I. -i "$here/program.rc" -o program_rc.o
i686-w64-mingw32-gcc -Os -s -nostdlib -Wl,-e,_start -Wl,--no-insert-timestamp \
    -o "$here/program.exe" "$here/program.c" program_rc.o -luser32
