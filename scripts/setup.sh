#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Sonoduct need.
# Only what is missing is installed; works as root without sudo, or through sudo otherwise.
# Usage: scripts/setup.sh [bench]   ("bench" adds the benchmark tools)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev
  libasound2-dev libmp3lame-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  clang libclang-rt-14-dev
  # the window: Qt 6 Widgets with its platform plugins (xcb, offscreen) and a font
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  # window tests as a user meets them: a virtual X server, key presses, screenshots
  xvfb xauth xdotool imagemagick
  # the manual page is checked by rendering it
  man-db groff-base
  # the Debian package is built and checked
  dpkg-dev file lintian appstream
  # outside references that tests use to make inputs and check outputs
  sox lame twolame mpg123 ffmpeg time
  # tag readers that check the ID3v2 tags we write
  id3v2 eyed3
  # checkers of the file managers' action files we install
  desktop-file-utils libxml2-utils
  # the Nautilus module of the context menu
  libnautilus-extension-dev
)
if [[ "${1:-}" == bench ]]; then
  # libsox-fmt-mp3: sox reads MP3 for the MP3 conversion benchmark
  packages+=(hyperfine libsox-fmt-mp3 time valgrind)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
else
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
