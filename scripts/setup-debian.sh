#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Safe to run again: it installs only what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  # native build
  build-essential cmake ninja-build pkg-config git
  libsdl2-dev libgl-dev libglu1-mesa-dev libosmesa6-dev
  libfreetype-dev libfontconfig-dev libx11-dev fonts-comic-neue
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format-14
  # windows cross build and running it
  g++-mingw-w64-i686 wine wine32:i386
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  libasound2:i386 libasound2-plugins:i386
  # display for end-to-end tests, message boxes, screenshots
  xvfb xauth xdotool zenity x11-apps imagemagick procps
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ] && [ -z "${need_update:-}" ]; then
  exit 0
fi
echo "setup: installing ${#missing[@]} Debian packages: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
