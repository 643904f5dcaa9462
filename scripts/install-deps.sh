#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent; run as root.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkgconf git
  libgtest-dev
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libpostproc-dev
  libdvdread-dev libdvdnav-dev lsdvd dvdauthor genisoimage
  libfaad-dev libopencore-amrnb-dev libopencore-amrwb-dev libvo-amrwbenc-dev
  libsamplerate0-dev sndfile-tools
  libtag1-dev
  libsdl2-dev
  libvorbis-dev libogg-dev
  libsparsehash-dev
  qt6-base-dev fonts-dejavu-core libxcb1-dev
  libass-dev
  time bc
  locales
  xvfb xdotool openbox
  desktop-file-utils man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
