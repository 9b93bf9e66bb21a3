#!/usr/bin/env bash
# Writes the sample files that the demo's Open dialog previews and the benchmark times.
#   make_samples.sh DIR            the demo's set
#   make_samples.sh --bench DIR    the demo's set and the large ones the benchmark adds
# A file is written only when it is missing or older than this script and its helper;
# nothing else in DIR is touched.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

bench=0
if [ "${1:-}" = --bench ]; then bench=1; shift; fi
[ $# = 1 ] || { echo "usage: make_samples.sh [--bench] DIR" >&2; exit 2; }
dir=$1
mkdir -p "$dir"

# Each set notes the generator that wrote it.
version=$(cat "$here/make_samples.sh" "$here/sample_files.py" | sha1sum | cut -d' ' -f1)
stale() { [ "$(cat "$dir/.samples-$1" 2>/dev/null)" != "$version" ]; }
written() { echo "$version" >"$dir/.samples-$1"; }

# sample NAME COMMAND...: runs COMMAND with $out set to a temporary name, kept only if it ends
# well, so an interrupted run leaves nothing half written behind.
sample() {
  local name=$1; shift
  [ "$fresh" = 1 ] && [ -f "$dir/$name" ] && return 0
  echo "samples: $name" >&2
  out="$dir/.tmp-$name"
  "$@"
  mv "$out" "$dir/$name"
}

# Photo-like: smooth colour fields with fine grain. A JPEG's decode time follows its entropy,
# so a flat colour would time far faster than a photo; this gives about 3 bits a pixel at
# quality 90, as camera pictures have.
photo() {
  local w=$1 h=$2
  convert -size $((w / 8))x$((h / 8)) -seed 7 plasma:fractal -blur 0x1 -resize "${w}x${h}!" \
    -attenuate 0.35 +noise Gaussian -quality 90 "jpeg:$out"
}
py() { python3 "$here/sample_files.py" "$@"; }

fresh=1; stale demo && fresh=0
sample photo-640x480.jpg photo 640 480
sample photo-4000x3000.jpg photo 4000 3000
sample picture.bmp eval 'convert -size 128x96 -seed 3 plasma:fractal -resize "1024x768!" "bmp3:$out"'
sample drawing.gif eval 'convert -size 640x480 -seed 5 plasma:fractal -colors 256 "gif:$out"'
sample drawing.wmf eval 'py wmf "$out"'
sample drawing.emf eval 'py emf "$out"'
sample notes.txt eval 'py notes "$out"'
sample japanese-utf8.txt eval 'py japanese "$out" utf-8'
sample japanese-sjis.txt eval 'py japanese "$out" cp932'
sample data.bin eval 'py binary "$out"'
# An icon as programs ship them: a 256-pixel PNG image over 32-bit bitmaps, all with alpha.
sample icons.ico eval 'convert -size 64x64 -seed 11 plasma:fractal -blur 0x2 -resize "256x256!" -depth 8 \
  \( +clone -fill black -colorize 100 -fill white -draw "circle 128,128 128,6" \) \
  -alpha off -compose copy_opacity -composite \
  \( -clone 0 -resize 48x48 \) \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 24x24 \) \
  \( -clone 0 -resize 16x16 \) "ico:$out"'
sample cursor.ani eval 'py ani "$out" 8 16'
# A PNG with a transparent surround: the preview lays it over the area's own colour.
sample emblem.png eval 'convert -size 80x60 -seed 13 plasma:fractal -blur 0x1 -resize "480x360!" \
  \( +clone -fill black -colorize 100 -fill white -draw "roundrectangle 20,20 459,339 60,60" \) \
  -alpha off -compose copy_opacity -composite "png32:$out"'
# Microsoft Video 1, which Wine's video player draws; 10 s at 25 frames a second.
sample clip.avi eval 'ffmpeg -loglevel error -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 250 \
  -c:v msvideo1 -pix_fmt rgb555le -f avi -y "$out"'
sample scale.mid eval 'py midi "$out"'
written demo

if [ "$bench" = 1 ]; then
  fresh=1; stale bench && fresh=0
  sample photo-8000x6000.jpg photo 8000 6000
  sample text-10k.txt eval 'py text "$out" 10240'
  sample text-1m.txt eval 'py text "$out" 1048576'
  sample text-100m.txt eval 'py text "$out" 104857600'
  sample text-1m-wide.txt eval 'py text "$out" 1048576 32768'
  for shape in controls short-lines utf16-odd bidi one-line; do
    sample text-$shape.txt eval "py shape \"\$out\" $shape"
  done
  # The newer formats from the same photos, and a photo as a phone stores a portrait.
  for size in 640x480 4000x3000; do
    sample photo-$size.png eval "convert '$dir/photo-$size.jpg' \"png:\$out\""
    sample photo-$size.tif eval "convert '$dir/photo-$size.jpg' -compress lzw \"tiff:\$out\""
  done
  sample photo-4000x3000-turned.jpg eval 'py turned "$dir/photo-4000x3000.jpg" "$out" 6'
  # Photos as cameras store them, with a 160 x 120 thumbnail in their Exif segment.
  for size in 4000x3000 8000x6000; do
    sample photo-$size-camera.jpg eval "convert '$dir/photo-$size.jpg' -resize 160x120! -quality 90 \"jpeg:\$out.thumb\" &&
      py camera '$dir/photo-$size.jpg' \"\$out.thumb\" \"\$out\" && rm \"\$out.thumb\""
  done
  written bench
fi
