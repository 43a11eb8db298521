#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark.
# Safe to run again: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev qt6-tools-dev
  libgl-dev
  # CD access
  libcdio-dev libcdio-paranoia-dev libiso9660-dev
  # encoders
  libmp3lame-dev libvorbis-dev libogg-dev
  libavcodec-dev libavformat-dev libavutil-dev libswresample-dev
  # tags
  libtag1-dev libflac-dev
  # rip checksums
  zlib1g-dev
  # MusicBrainz disc ids
  libdiscid-dev
  # tests
  libgtest-dev libgmock-dev googletest
  ffmpeg pulseaudio pulseaudio-utils python3
  # a private session bus for the desktop notification test
  dbus-daemon
  # tools the benchmarks compare against
  cdparanoia cd-paranoia libcdio-utils lame vorbis-tools flac opus-tools time
  # outside readers of the cue sheets in the tests
  cuetools
  # an outside reckoner of the AccurateRip checksums (accuraterip-checksum) in the tests
  whipper
  # the window under a virtual display
  xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
