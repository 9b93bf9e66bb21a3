#!/usr/bin/env bash
# Installs what the build and the Wine test bed need, only what is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest python3
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64 libwine-dev
  # Wine plays videos other than AVI (MPEG) through GStreamer: demuxers and decoders, for the
  # 32-bit and the 64-bit side of Wine.
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-plugins-bad:i386
  gstreamer1.0-libav:i386
  gstreamer1.0-plugins-base:amd64 gstreamer1.0-plugins-good:amd64 gstreamer1.0-plugins-bad:amd64
  gstreamer1.0-libav:amd64
  xvfb xauth imagemagick fonts-ipafont-gothic locales
  libgdk-pixbuf2.0-bin
  lame
  ffmpeg
  # The Windows Installer package and the zip of build/dist.
  wixl zip
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ "${need_update:-0}" = 1 ]; then
  $SUDO apt-get update -qq
fi

# The test bed runs Wine under ja_JP.UTF-8 (code page 932). Without that locale in glibc, Wine
# falls back to ASCII for Unix file names and cannot create or open a file whose name has any
# character beyond it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
