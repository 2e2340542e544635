#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Run as root on Debian 12. Packages already present are skipped.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavcodec-dev libavformat-dev libavfilter-dev libswscale-dev libswresample-dev libavutil-dev
  libavcodec-extra
  libsdl2-dev libcanberra-dev
  # tests
  googletest libgtest-dev libgmock-dev
  ffmpeg
  # the shard test runs three shards at once through GNU parallel
  parallel
  # a second reader for the device conformance test (no demuxer shared with FFmpeg)
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  xvfb xauth imagemagick
  # screen-reader test: the accessibility bus and registry, and a real AT-SPI client
  at-spi2-core python3-pyatspi
  # translations: lupdate/lrelease for the build, Qt's own translations for the program
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  dbus-daemon desktop-file-utils appstream librsvg2-bin file
  # the Debian package
  dpkg-dev lintian
  # benchmarks
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All ${#packages[@]} required packages are installed."
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages need root: run this script as root (or with sudo)." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
